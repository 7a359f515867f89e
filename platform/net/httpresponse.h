// What the HTTP client keeps of the last response: status, headers and announced length.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace net {

struct TResponseInfo {
    int ResponseCode = 0;                 // 0 until a status line arrived
    std::string ResponseText;             // the status line: "HTTP/1.1 200 OK"
    std::vector<std::string> RawHeaders;  // "Name: value" lines of the last response, in order
    int64_t ContentLength = -1;           // -1 when the server did not announce it

    // Value of the first header of that name (ASCII case ignored), blanks trimmed; "" when absent.
    std::string HeaderValue(std::string_view name) const;
    void Clear() { *this = TResponseInfo(); }
};

}  // namespace net
