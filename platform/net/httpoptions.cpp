#include "platform/net/httpoptions.h"

#include <algorithm>

#include "platform/net/httpurl.h"
#include "platform/rtl/exceptions.h"

namespace net::detail {

namespace {

int Positive(int value, int fallback) { return value > 0 ? value : fallback; }

void CheckPrintable(const std::string& text, const char* what) {
    if (!IsPrintableText(text)) throw ESocketError(std::string("Invalid character in ") + what, 0);
}

}  // namespace

void THeaderList::Add(const std::string& line) {
    curl_slist* grown = curl_slist_append(list_, line.c_str());
    if (!grown) throw rtl::EOutOfMemory("Out of memory");
    list_ = grown;
}

void CheckSettings(const THttpClient& client) {
    const TRequestHeaders& request = client.Request;
    const TProxyParams& proxy = client.ProxyParams;
    const std::string& boundIP = client.BoundIP;
    CheckPrintable(request.UserAgent, "User-Agent");
    CheckPrintable(request.Accept, "Accept");
    CheckPrintable(request.ContentType, "Content-Type");
    for (const std::string& line : request.CustomHeaders) CheckPrintable(line, "request header");
    if (!proxy.ProxyServer.empty()) {
        CheckPrintable(proxy.ProxyServer, "proxy server");
        CheckPrintable(proxy.ProxyUsername, "proxy user name");
        CheckPrintable(proxy.ProxyPassword, "proxy password");
        if (proxy.ProxyPort < 1 || proxy.ProxyPort > 65535)
            throw ESocketError("Invalid proxy port " + std::to_string(proxy.ProxyPort), 0);
    }
    if (!boundIP.empty() && !IsNumericAddress(boundIP))
        throw ESocketError("Invalid local address " + boundIP, 0);
}

namespace {

void SetProxy(CURL* easy, const TProxyParams& proxy) {
    // An empty proxy also keeps the environment's proxy variables out.
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy.ProxyServer.c_str());
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
    curl_easy_setopt(easy, CURLOPT_PROXYTYPE, long(CURLPROXY_HTTP));
    curl_easy_setopt(easy, CURLOPT_PROXYPORT, long(proxy.ProxyPort));
    curl_easy_setopt(easy, CURLOPT_PROXYAUTH, long(CURLAUTH_BASIC));
    const bool credentials = !proxy.ProxyServer.empty() && proxy.BasicAuthentication;
    curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, credentials ? proxy.ProxyUsername.c_str() : nullptr);
    curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, credentials ? proxy.ProxyPassword.c_str() : nullptr);
}

void SetBinding(CURL* easy, const std::string& boundIP) {
    const std::string option = "host!" + boundIP;
    curl_easy_setopt(easy, CURLOPT_INTERFACE, boundIP.empty() ? nullptr : option.c_str());  // copied
    const bool ipv4 = !boundIP.empty() && boundIP.find(':') == std::string::npos;
    curl_easy_setopt(easy, CURLOPT_IPRESOLVE, long(ipv4 ? CURL_IPRESOLVE_V4 : CURL_IPRESOLVE_WHATEVER));
}

void SetCallbacks(CURL* easy, TTransferState& state) {
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &TTransferState::HeaderCallback);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &state);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &TTransferState::BodyCallback);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &state);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &TTransferState::PrereqCallback);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, &state);
}

}  // namespace

void ApplyOptions(CURL* easy, const TOptions& o) {
    const THttpClient& c = o.client;
    curl_easy_setopt(easy, CURLOPT_URL, o.url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http");
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, c.HandleRedirects ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, long(std::max(0, c.RedirectMaximum)));
    curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                     long(Positive(c.ConnectTimeout, THttpClient::kDefaultConnectTimeout)));
    curl_easy_setopt(easy, CURLOPT_USERAGENT, c.Request.UserAgent.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, o.headers.Get());
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, o.errorText);
    SetProxy(easy, c.ProxyParams);
    SetBinding(easy, c.BoundIP);
    SetCallbacks(easy, o.state);
}

void BuildHeaders(const TRequestHeaders& request, THeaderList& headers) {
    headers.Add("Accept: " + request.Accept);
    if (!request.ContentType.empty()) headers.Add("Content-Type: " + request.ContentType);
    headers.Add("Connection: close");
    for (const std::string& line : request.CustomHeaders) headers.Add(line);
}

}  // namespace net::detail
