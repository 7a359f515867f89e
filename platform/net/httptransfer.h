// The running state of one request, fed by libcurl's callbacks and read by the client's loop:
// status line and headers of each response in turn, body bytes routed to the caller (success) or
// kept as the error text (failure status), limits and the time of the last byte.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>

#include "platform/net/httpresponse.h"

namespace net::detail {

class TTransferState {
public:
    using TClock = std::chrono::steady_clock;
    using TSink = std::function<void(const char*, size_t)>;

    enum class TAbort { None, BodyTooLarge, HeadersTooLarge, ErrorBodyFull, SinkFailed };

    static constexpr size_t kMaxHeaderLines = 256;
    static constexpr size_t kMaxHeaderBytes = 64 * 1024;
    static constexpr size_t kMaxErrorBody = 64 * 1024;

    TTransferState(TSink sink, int64_t maxBodySize);

    // Signatures libcurl expects; userdata is the TTransferState.
    static size_t HeaderCallback(char* data, size_t size, size_t count, void* userdata);
    static size_t BodyCallback(char* data, size_t size, size_t count, void* userdata);
    static int PrereqCallback(void* userdata, char*, char*, int, int);

    TResponseInfo Response;
    std::string ErrorBody;           // body of a failure status, cut to kMaxErrorBody
    int64_t BodyReceived = 0;        // bytes handed to the sink
    TAbort Abort = TAbort::None;
    std::exception_ptr SinkError;    // what the sink raised, rethrown by the client
    bool Connected = false;          // a connection is up and the request is on its way
    TClock::time_point LastActivity = TClock::now();

private:
    size_t OnHeaderLine(const char* data, size_t size);
    size_t OnBody(const char* data, size_t size);
    void StartResponse(std::string statusLine);
    void EndHeaders();
    bool IsSuccess() const { return Response.ResponseCode >= 200 && Response.ResponseCode <= 299; }
    bool IsRedirect() const { return Response.ResponseCode >= 300 && Response.ResponseCode <= 399; }

    TSink sink_;
    int64_t maxBodySize_;
    size_t headerBytes_ = 0;
};

}  // namespace net::detail
