// How a THttpClient's properties become libcurl options for one request: the checks made before
// anything is sent, the request's header lines and the options themselves.
#pragma once

#include <curl/curl.h>

#include <string>

#include "platform/net/httpclient.h"
#include "platform/net/httptransfer.h"

namespace net::detail {

// Header lines of one request; freed when the request ends.
class THeaderList {
public:
    THeaderList() = default;
    ~THeaderList() { curl_slist_free_all(list_); }
    THeaderList(const THeaderList&) = delete;
    THeaderList& operator=(const THeaderList&) = delete;
    void Add(const std::string& line);
    curl_slist* Get() const { return list_; }

private:
    curl_slist* list_ = nullptr;
};

// Everything that reaches a header line or the connection; raises ESocketError.
void CheckSettings(const THttpClient& client);
void BuildHeaders(const TRequestHeaders& request, THeaderList& headers);

struct TOptions {
    const THttpClient& client;
    const std::string& url;  // already escaped
    TTransferState& state;
    const THeaderList& headers;
    char* errorText;         // CURL_ERROR_SIZE bytes
};

// Sets every option on every request: the handle is reused for its cookies, so nothing may be left
// over from the previous request.
void ApplyOptions(CURL* easy, const TOptions& options);

}  // namespace net::detail
