#include "platform/web/address.h"

#include "platform/rtl/codepage.h"
#include "platform/rtl/paths.h"

#include <cctype>

namespace web {
namespace {

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (rtl::AsciiLower(s[i]) != rtl::AsciiLower(prefix[i])) return false;
    }
    return true;
}

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && StartsWithNoCase(s.substr(s.size() - suffix.size()), suffix);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "scheme:" with a scheme of at least two letters (one letter is a drive).
bool HasScheme(std::string_view s) {
    size_t colon = s.find(':');
    if (colon == std::string_view::npos || colon < 2) return false;
    if (!std::isalpha(static_cast<unsigned char>(s[0]))) return false;
    for (size_t i = 1; i < colon; ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
    }
    return true;
}

struct UriParts {
    std::string_view path;
    std::string_view tail;  // "?query#fragment", as written
};

// Splits the part after "file:" into the path and its query/fragment; drops "//" and "localhost".
UriParts SplitFileUri(std::string_view uri) {
    std::string_view rest = uri.substr(5);
    size_t tailAt = rest.find_first_of("?#");
    UriParts parts{rest.substr(0, tailAt),
                   tailAt == std::string_view::npos ? std::string_view() : rest.substr(tailAt)};
    if (parts.path.substr(0, 2) == "//") {
        std::string_view afterSlashes = parts.path.substr(2);
        size_t slash = afterSlashes.find('/');
        std::string_view host = afterSlashes.substr(0, slash);
        if (host.empty() || (host.size() == 9 && StartsWithNoCase(host, "localhost"))) {
            parts.path = slash == std::string_view::npos ? std::string_view("/") : afterSlashes.substr(slash);
        }
    }
    return parts;
}

// Turns any spelling of a file address's path into a Windows-style full name without the drive.
std::string NormalisePath(std::string_view path) {
    std::string s(path);
    for (char& c : s) {
        if (c == '/') c = '\\';
    }
    size_t drive = s.find_first_not_of('\\');
    if (drive != std::string::npos && drive + 1 < s.size() && s[drive + 1] == ':' &&
        std::isalpha(static_cast<unsigned char>(s[drive]))) {
        s.erase(0, drive + 2);  // "C:\x" and "/C:/x" (a file URL's spelling) alike
    }
    size_t lead = s.find_first_not_of('\\');
    if (lead == std::string::npos) return "\\";
    if (lead > 1) s.erase(0, lead - 1);
    return s;
}

std::string FileUriFromWindowsPath(std::string_view winPath, std::string_view tail) {
    std::string full = rtl::IsFullPath(winPath) ? NormalisePath(winPath) : rtl::ExpandFileName(winPath);
    std::string native = rtl::ToNativePath(NormalisePath(full));
    std::string uri = "file://" + PercentEncodePath(native);
    uri += rtl::Cp1251ToUtf8(tail);
    return uri;
}

}  // namespace

std::string PercentDecode(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string PercentEncodePath(std::string_view path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (char ch : path) {
        unsigned char c = static_cast<unsigned char>(ch);
        bool keep = std::isalnum(c) || std::string_view("-._~/!$&'()*+,;=:@").find(ch) != std::string_view::npos;
        if (c >= 0x80) keep = false;
        if (keep) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

bool IsFileUri(std::string_view uri) { return StartsWithNoCase(uri, "file:"); }

bool IsMailtoUri(std::string_view uri) { return StartsWithNoCase(uri, "mailto:"); }

std::string FileUriToNativePath(std::string_view uri) {
    if (!IsFileUri(uri)) return "";
    return PercentDecode(SplitFileUri(uri).path);
}

bool IsComposedPageUri(std::string_view uri) {
    return IsFileUri(uri) && EndsWithNoCase(SplitFileUri(uri).path, ".tmp");
}

std::string DisplayAddress(std::string_view uri) {
    if (!IsFileUri(uri)) return rtl::Utf8ToCp1251(uri);
    UriParts parts = SplitFileUri(uri);
    std::string path = rtl::FromNativePath(PercentDecode(parts.path));
    return path + rtl::Utf8ToCp1251(PercentDecode(parts.tail));
}

std::string LoadableUri(std::string_view address) {
    if (IsFileUri(address)) {
        std::string_view rest = address.substr(5);
        while (!rest.empty() && (rest[0] == '/' || rest[0] == '\\') && rest.size() > 1 &&
                      (rest[1] == '/' || rest[1] == '\\')) {
            rest.remove_prefix(1);
        }
        size_t tailAt = rest.find_first_of("?#");
        std::string_view path = rest.substr(0, tailAt);
        std::string_view tail = tailAt == std::string_view::npos ? std::string_view() : rest.substr(tailAt);
        if (StartsWithNoCase(path, "/localhost/") || StartsWithNoCase(path, "\\localhost\\")) path.remove_prefix(10);
        return FileUriFromWindowsPath(path.empty() ? std::string_view("\\") : path, tail);
    }
    if (HasScheme(address)) return rtl::Cp1251ToUtf8(address);
    if (address.empty()) return "about:blank";
    size_t tailAt = address.find_first_of("?#");
    std::string_view tail = tailAt == std::string_view::npos ? std::string_view() : address.substr(tailAt);
    return FileUriFromWindowsPath(address.substr(0, tailAt), tail);
}

}  // namespace web
