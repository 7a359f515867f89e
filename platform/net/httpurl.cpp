#include "platform/net/httpurl.h"

#include <arpa/inet.h>

#include "platform/net/neterrors.h"

namespace net {

namespace {

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

}  // namespace

bool IsPrintableText(std::string_view text) {
    for (unsigned char c : text)
        if (IsControl(c)) return false;
    return true;
}

std::string EscapeUrl(std::string_view url) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(url.size());
    for (unsigned char c : url) {
        if (IsControl(c)) throw ESocketError("Invalid character in URL", 0);
        if (c == ' ' || c >= 0x80) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

bool IsNumericAddress(std::string_view address) {
    if (address.empty() || address.size() > 64) return false;
    const std::string text(address);
    unsigned char buffer[16];
    return inet_pton(AF_INET, text.c_str(), buffer) == 1 ||
           inet_pton(AF_INET6, text.c_str(), buffer) == 1;
}

}  // namespace net
