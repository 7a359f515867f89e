#include "platform/net/httpresponse.h"

namespace net {

namespace {

bool SameAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace

std::string TResponseInfo::HeaderValue(std::string_view name) const {
    for (const std::string& line : RawHeaders) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        if (SameAscii(TrimBlanks(std::string_view(line).substr(0, colon)), name))
            return std::string(TrimBlanks(std::string_view(line).substr(colon + 1)));
    }
    return {};
}

}  // namespace net
