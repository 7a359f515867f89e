// THttpClient: an HTTP/1.1 client for whole-body GET requests over libcurl.
//
// Each request opens its own connection and closes it when done. Redirects are followed (at most
// RedirectMaximum), cookies set by any response are kept for the client's life and sent back, the
// proxy may ask for basic authentication, and the socket can be bound to a given local address.
// Only plain "http" addresses are fetched, also as redirect targets.
//
// The call blocks its thread but runs OnWork every WorkInterval milliseconds, also while nothing
// arrives, so a GUI caller can pump its messages there; Cancel() (or Disconnect()) from the event
// ends the request with ERequestCancelled. A connection that cannot be made within ConnectTimeout,
// or a server that sends nothing for ReadTimeout, fails with EConnectTimeout/EReadTimeout; a body
// beyond MaxBodySize fails with EResponseTooLarge. A final status outside 200..299 raises
// EHTTPProtocolException carrying the code (neterrors.h).
//
// One request at a time per client: a Get started from inside OnWork raises ESocketError. The
// client must not be destroyed from inside its own OnWork.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/net/httpresponse.h"
#include "platform/net/neterrors.h"
#include "platform/rtl/streams.h"

namespace net {

struct TProxyParams {
    std::string ProxyServer;  // host name or address; empty: connect directly
    int ProxyPort = 0;        // 1..65535 when ProxyServer is set
    bool BasicAuthentication = false;
    std::string ProxyUsername;
    std::string ProxyPassword;
};

struct TRequestHeaders {
    std::string UserAgent = "Mozilla/4.0 (compatible)";
    std::string Accept = "text/html, */*";
    std::string ContentType;                 // sent when not empty
    std::vector<std::string> CustomHeaders;  // extra "Name: value" lines
};

class THttpClient {
public:
    // WorkCount: body bytes received so far; WorkCountMax: the announced length, or -1.
    using TWorkEvent = std::function<void(THttpClient& Sender, int64_t WorkCount, int64_t WorkCountMax)>;

    static constexpr int kDefaultConnectTimeout = 30000;
    static constexpr int kDefaultReadTimeout = 60000;
    static constexpr int64_t kDefaultMaxBodySize = int64_t(256) << 20;

    THttpClient();
    ~THttpClient();
    THttpClient(const THttpClient&) = delete;
    THttpClient& operator=(const THttpClient&) = delete;

    TRequestHeaders Request;
    TProxyParams ProxyParams;
    std::string BoundIP;              // local address to bind; empty: any
    bool HandleRedirects = true;
    int RedirectMaximum = 15;
    int ConnectTimeout = kDefaultConnectTimeout;  // ms; <= 0 means the default (never unlimited)
    int ReadTimeout = kDefaultReadTimeout;        // ms of silence; <= 0 means the default
    int RequestTimeout = 0;                       // ms for the whole request; <= 0: no limit
    int64_t MaxBodySize = kDefaultMaxBodySize;    // bytes; <= 0 means the default
    int WorkInterval = 50;                        // ms between OnWork calls; clamped to 10..1000
    TWorkEvent OnWork;

    // The whole body of a successful response.
    std::string Get(const std::string& url);
    // Writes the body at dest's position; bytes already written stay there when the request fails.
    void Get(const std::string& url, rtl::TStream& dest);
    // Hands the body to sink piece by piece as it arrives, so no more of it than one piece is held;
    // an exception from sink ends the request and passes out of Get as it is.
    using TBodySink = std::function<void(const char* data, size_t size)>;
    void Get(const std::string& url, const TBodySink& sink);

    // Every request closes its connection, so outside a request there is nothing to close; during
    // one (from OnWork or another thread) it cancels the request like Cancel().
    void Disconnect();
    void Cancel();
    bool Busy() const { return busy_; }

    // The last request's response (also after a failure) and the address it finally came from.
    const TResponseInfo& Response() const { return response_; }
    int ResponseCode() const { return response_.ResponseCode; }
    const std::string& ResponseText() const { return response_.ResponseText; }
    const std::string& URL() const { return effectiveUrl_; }

private:
    struct Handles;
    void Perform(const std::string& url, const TBodySink& sink);

    std::unique_ptr<Handles> handles_;
    TResponseInfo response_;
    std::string effectiveUrl_;
    std::atomic<bool> cancelled_{false};
    bool busy_ = false;
};

}  // namespace net
