#include "platform/net/httptransfer.h"

#include <utility>

namespace net::detail {

namespace {

std::string TrimLineEnd(const char* data, size_t size) {
    while (size > 0 && (data[size - 1] == '\r' || data[size - 1] == '\n')) --size;
    return std::string(data, size);
}

// "HTTP/1.1 404 Not Found" -> 404; 0 when the line is no status line.
int ParseStatusCode(const std::string& line) {
    const size_t space = line.find(' ');
    if (line.compare(0, 5, "HTTP/") != 0 || space == std::string::npos) return 0;
    int code = 0;
    size_t i = space + 1;
    for (int digits = 0; digits < 3; ++digits, ++i) {
        if (i >= line.size() || line[i] < '0' || line[i] > '9') return 0;
        code = code * 10 + (line[i] - '0');
    }
    return code;
}

// Status lines and headers from the network are kept without control bytes.
std::string Printable(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return text;
}

}  // namespace

TTransferState::TTransferState(TSink sink, int64_t maxBodySize)
    : sink_(std::move(sink)), maxBodySize_(maxBodySize) {}

size_t TTransferState::HeaderCallback(char* data, size_t size, size_t count, void* userdata) {
    return static_cast<TTransferState*>(userdata)->OnHeaderLine(data, size * count);
}

size_t TTransferState::BodyCallback(char* data, size_t size, size_t count, void* userdata) {
    return static_cast<TTransferState*>(userdata)->OnBody(data, size * count);
}

int TTransferState::PrereqCallback(void* userdata, char*, char*, int, int) {
    auto* state = static_cast<TTransferState*>(userdata);
    state->Connected = true;
    state->LastActivity = TClock::now();
    return 0;  // CURL_PREREQFUNC_OK
}

size_t TTransferState::OnHeaderLine(const char* data, size_t size) {
    LastActivity = TClock::now();
    headerBytes_ += size;
    std::string line = TrimLineEnd(data, size);
    if (line.compare(0, 5, "HTTP/") == 0) {
        StartResponse(std::move(line));
        return size;
    }
    if (line.empty()) {
        EndHeaders();
        return Abort == TAbort::None ? size : 0;
    }
    if (headerBytes_ > kMaxHeaderBytes || Response.RawHeaders.size() >= kMaxHeaderLines) {
        Abort = TAbort::HeadersTooLarge;
        return 0;
    }
    Response.RawHeaders.push_back(Printable(std::move(line)));
    return size;
}

void TTransferState::StartResponse(std::string statusLine) {
    Response.Clear();
    ErrorBody.clear();
    headerBytes_ = statusLine.size();
    Response.ResponseCode = ParseStatusCode(statusLine);
    Response.ResponseText = Printable(std::move(statusLine));
}

void TTransferState::EndHeaders() {
    const std::string length = Response.HeaderValue("Content-Length");
    int64_t value = length.empty() ? -1 : 0;
    for (char c : length) {
        if (c < '0' || c > '9' || value > (INT64_MAX - 9) / 10) {
            value = -1;
            break;
        }
        value = value * 10 + (c - '0');
    }
    Response.ContentLength = value;
    // An announced body beyond the limit is refused before any of it is read.
    if (IsSuccess() && value > maxBodySize_) Abort = TAbort::BodyTooLarge;
    // The connection of a redirect's target is not up yet; its read time starts when it is.
    if (IsRedirect()) Connected = false;
}

size_t TTransferState::OnBody(const char* data, size_t size) {
    LastActivity = TClock::now();
    if (IsRedirect()) return size;  // the body of a redirect is never wanted
    if (!IsSuccess()) {
        const size_t room = kMaxErrorBody - ErrorBody.size();
        ErrorBody.append(data, size < room ? size : room);
        if (size > room) {
            Abort = TAbort::ErrorBodyFull;
            return 0;
        }
        return size;
    }
    if (static_cast<uint64_t>(size) > static_cast<uint64_t>(maxBodySize_ - BodyReceived)) {
        Abort = TAbort::BodyTooLarge;
        return 0;
    }
    try {
        sink_(data, size);
    } catch (...) {
        SinkError = std::current_exception();
        Abort = TAbort::SinkFailed;
        return 0;
    }
    BodyReceived += static_cast<int64_t>(size);
    return size;
}

}  // namespace net::detail
