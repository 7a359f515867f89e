#include "platform/net/httpclient.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <utility>

#include "platform/net/httpoptions.h"
#include "platform/net/httptransfer.h"
#include "platform/net/httpurl.h"

namespace net {

using detail::THeaderList;
using detail::TTransferState;
using TClock = TTransferState::TClock;

namespace {

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

struct THttpClient::Handles {
    CURL* easy = nullptr;
    CURLM* multi = nullptr;
    char errorText[CURL_ERROR_SIZE] = {};

    Handles() {
        InitCurlOnce();
        easy = curl_easy_init();
        multi = curl_multi_init();
        if (!easy || !multi) {
            Release();
            throw rtl::EOutOfMemory("Cannot create an HTTP session");
        }
        // The cookie engine, in memory only, for the handle's (so the client's) life.
        curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
    }
    ~Handles() { Release(); }
    void Release() {
        if (multi) curl_multi_cleanup(multi);
        if (easy) curl_easy_cleanup(easy);
        multi = nullptr;
        easy = nullptr;
    }
};

namespace {

// Keeps the easy handle in the multi handle for one request, whatever ends it.
class TAttachment {
public:
    TAttachment(CURLM* multi, CURL* easy) : multi_(multi), easy_(easy) {
        if (curl_multi_add_handle(multi, easy) != CURLM_OK)
            throw ESocketError("Cannot start the request", 0);
    }
    ~TAttachment() { curl_multi_remove_handle(multi_, easy_); }
    TAttachment(const TAttachment&) = delete;
    TAttachment& operator=(const TAttachment&) = delete;

private:
    CURLM* multi_;
    CURL* easy_;
};

bool TakeResult(CURLM* multi, CURLcode& result) {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
        if (message->msg == CURLMSG_DONE) {
            result = message->data.result;
            return true;
        }
    }
    return false;
}

int64_t Milliseconds(TClock::duration d) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
}

std::string CurlMessage(CURLcode code, const char* errorText) {
    return errorText[0] ? std::string(errorText) : std::string(curl_easy_strerror(code));
}

}  // namespace

THttpClient::THttpClient() : handles_(std::make_unique<Handles>()) {}

THttpClient::~THttpClient() = default;

std::string THttpClient::Get(const std::string& url) {
    std::string body;
    Perform(url, [&body](const char* data, size_t size) { body.append(data, size); });
    return body;
}

void THttpClient::Get(const std::string& url, rtl::TStream& dest) {
    Perform(url, [&dest](const char* data, size_t size) {
        dest.WriteBuffer(data, static_cast<int64_t>(size));
    });
}

void THttpClient::Get(const std::string& url, const TBodySink& sink) { Perform(url, sink); }

void THttpClient::Disconnect() {
    if (busy_) Cancel();
}

void THttpClient::Cancel() {
    cancelled_ = true;
    curl_multi_wakeup(handles_->multi);
}

namespace {

// Runs the attached transfer until libcurl ends it or a limit, a cancel or OnWork ends it.
class TTransferLoop {
public:
    TTransferLoop(THttpClient& client, CURLM* multi, TTransferState& state,
                  const std::atomic<bool>& cancelled)
        : client_(client), multi_(multi), state_(state), cancelled_(cancelled) {}

    CURLcode Run() {
        const int interval = std::clamp(client_.WorkInterval, 10, 1000);
        const int pollMs = std::min(interval, 50);
        auto nextWork = start_ + std::chrono::milliseconds(interval);
        for (;;) {
            int running = 0;
            const CURLMcode code = curl_multi_perform(multi_, &running);
            if (code != CURLM_OK) throw ESocketError(curl_multi_strerror(code), 0);
            CURLcode result = CURLE_OK;
            if (TakeResult(multi_, result)) return result;
            CheckLimits();
            const auto now = TClock::now();
            if (client_.OnWork && now >= nextWork) {
                nextWork = now + std::chrono::milliseconds(interval);
                client_.OnWork(client_, state_.BodyReceived, WorkCountMax());
                CheckLimits();
            }
            curl_multi_poll(multi_, nullptr, 0, pollMs, nullptr);
        }
    }

private:
    int64_t WorkCountMax() const {
        const int code = state_.Response.ResponseCode;
        return code >= 200 && code <= 299 ? state_.Response.ContentLength : -1;
    }

    void CheckLimits() const {
        if (cancelled_) throw ERequestCancelled("Request cancelled", 0);
        const auto now = TClock::now();
        const int read = client_.ReadTimeout > 0 ? client_.ReadTimeout : THttpClient::kDefaultReadTimeout;
        if (state_.Connected && Milliseconds(now - state_.LastActivity) > read)
            throw EReadTimeout("Read timed out", 0);
        if (client_.RequestTimeout > 0 && Milliseconds(now - start_) > client_.RequestTimeout)
            throw EReadTimeout("Request timed out", 0);
    }

    THttpClient& client_;
    CURLM* multi_;
    TTransferState& state_;
    const std::atomic<bool>& cancelled_;
    const TClock::time_point start_ = TClock::now();
};

[[noreturn]] void RaiseAbort(const TTransferState& state, int64_t maxBody) {
    switch (state.Abort) {
        case TTransferState::TAbort::SinkFailed:
            std::rethrow_exception(state.SinkError);
        case TTransferState::TAbort::HeadersTooLarge:
            throw EResponseTooLarge("Response headers too large", 0);
        default:
            throw EResponseTooLarge("Response body larger than " + std::to_string(maxBody) + " bytes", 0);
    }
}

void RaiseOnFailure(CURLcode result, const TTransferState& state, const char* errorText, int64_t maxBody) {
    using TAbort = TTransferState::TAbort;
    const TResponseInfo& response = state.Response;
    if (state.Abort != TAbort::None && state.Abort != TAbort::ErrorBodyFull) RaiseAbort(state, maxBody);
    if (result == CURLE_TOO_MANY_REDIRECTS)
        throw ETooManyRedirects(response.ResponseText, response.ResponseCode, std::string());
    if (result == CURLE_OPERATION_TIMEDOUT) {
        if (state.Connected) throw EReadTimeout(CurlMessage(result, errorText), result);
        throw EConnectTimeout(CurlMessage(result, errorText), result);
    }
    if (result != CURLE_OK && state.Abort != TAbort::ErrorBodyFull)
        throw ESocketError(CurlMessage(result, errorText), result);
    if (response.ResponseCode < 200 || response.ResponseCode > 299)
        throw EHTTPProtocolException(response.ResponseText, response.ResponseCode, state.ErrorBody);
}

}  // namespace

void THttpClient::Perform(const std::string& url, const TBodySink& sink) {
    if (busy_) throw ESocketError("A request is already running", 0);
    response_.Clear();
    effectiveUrl_ = url;
    const std::string wireUrl = EscapeUrl(url);
    detail::CheckSettings(*this);

    busy_ = true;
    cancelled_ = false;
    struct TBusyGuard {
        bool& busy;
        ~TBusyGuard() { busy = false; }
    } busyGuard{busy_};

    const int64_t maxBody = MaxBodySize > 0 ? MaxBodySize : kDefaultMaxBodySize;
    TTransferState state(sink, maxBody);
    THeaderList headers;
    detail::BuildHeaders(Request, headers);
    handles_->errorText[0] = '\0';
    detail::ApplyOptions(handles_->easy,
                         detail::TOptions{*this, wireUrl, state, headers, handles_->errorText});

    CURLcode result = CURLE_OK;
    try {
        TAttachment attachment(handles_->multi, handles_->easy);
        result = TTransferLoop(*this, handles_->multi, state, cancelled_).Run();
    } catch (...) {
        response_ = state.Response;
        throw;
    }
    response_ = state.Response;
    char* finalUrl = nullptr;
    if (curl_easy_getinfo(handles_->easy, CURLINFO_EFFECTIVE_URL, &finalUrl) == CURLE_OK && finalUrl)
        effectiveUrl_ = finalUrl;
    RaiseOnFailure(result, state, handles_->errorText, maxBody);
}

}  // namespace net
