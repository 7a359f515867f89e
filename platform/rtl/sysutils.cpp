#include "platform/rtl/sysutils.h"

#include <algorithm>
#include <cerrno>
#include <string>

#include "platform/rtl/codepage.h"
#include "platform/rtl/exceptions.h"

namespace rtl {
namespace {

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 0x20; }

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Parses an integer of `bits` (32 or 64) bits. Decimal input must fit the signed range; hex input
// ("$1F", "0x1F") may use the whole unsigned range and is taken as the bit pattern, as the class
// library does ("$FFFFFFFF" is -1 for a 32-bit integer).
bool ParseInteger(std::string_view s, int bits, int64_t& value) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    int base = 10;
    if (i < s.size() && s[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == s.size()) return false;
    const uint64_t signedMax = (uint64_t{1} << (bits - 1)) - 1;
    const uint64_t max = base == 16 ? (bits == 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1)
                                    : signedMax + (negative ? 1 : 0);
    uint64_t magnitude = 0;
    for (; i < s.size(); ++i) {
        const int digit = base == 16 ? HexDigitValue(s[i]) : (s[i] >= '0' && s[i] <= '9' ? s[i] - '0' : -1);
        if (digit < 0) return false;
        if (magnitude > (max - static_cast<uint64_t>(digit)) / static_cast<uint64_t>(base)) return false;
        magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    }
    const uint64_t pattern = negative ? 0 - magnitude : magnitude;
    value = bits == 64 ? static_cast<int64_t>(pattern)
                       : static_cast<int64_t>(static_cast<int32_t>(static_cast<uint32_t>(pattern)));
    return true;
}

[[noreturn]] void RaiseNotInteger(std::string_view s) {
    throw EConvertError("'" + std::string(s) + "' is not a valid integer value");
}

// Compares two strings byte by byte after mapping each byte through `key`.
template <typename Key>
int CompareMapped(std::string_view a, std::string_view b, Key key) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int ka = key(a[i]);
        const int kb = key(b[i]);
        if (ka != kb) return ka - kb;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

int AsciiKey(char c) { return static_cast<unsigned char>(AsciiUpper(c)); }

// Sort key over the cp1251 upper case: Ё sorts right after Е, as in the alphabet.
int AnsiKey(char c) {
    const unsigned char u = static_cast<unsigned char>(AnsiUpperChar(c));
    if (u == 0xA8) return 0xC5 * 2 + 1;
    return u * 2;
}

}  // namespace

int Pos(std::string_view sub, std::string_view s) { return PosFrom(sub, s, 1); }

int PosFrom(std::string_view sub, std::string_view s, int start) {
    if (sub.empty()) return 0;
    const size_t from = start < 1 ? 0 : static_cast<size_t>(start) - 1;
    if (from >= s.size()) return 0;
    const size_t at = s.find(sub, from);
    return at == std::string_view::npos ? 0 : static_cast<int>(at + 1);
}

std::string Copy(std::string_view s, int index, int count) {
    if (index < 1) index = 1;
    if (count <= 0 || static_cast<size_t>(index) > s.size()) return {};
    return std::string(s.substr(static_cast<size_t>(index) - 1, static_cast<size_t>(count)));
}

void Delete(std::string& s, int index, int count) {
    if (index < 1 || count <= 0 || static_cast<size_t>(index) > s.size()) return;
    s.erase(static_cast<size_t>(index) - 1, static_cast<size_t>(count));
}

void Insert(std::string_view sub, std::string& s, int index) {
    size_t at = index < 1 ? 0 : static_cast<size_t>(index) - 1;
    if (at > s.size()) at = s.size();
    s.insert(at, sub);
}

std::string TrimLeft(std::string_view s) {
    size_t b = 0;
    while (b < s.size() && IsBlankOrControl(s[b])) ++b;
    return std::string(s.substr(b));
}

std::string TrimRight(std::string_view s) {
    size_t e = s.size();
    while (e > 0 && IsBlankOrControl(s[e - 1])) --e;
    return std::string(s.substr(0, e));
}

std::string Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlankOrControl(s[b])) ++b;
    while (e > b && IsBlankOrControl(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

bool TryStrToInt64(std::string_view s, int64_t& value) {
    return ParseInteger(s, 64, value);
}

bool TryStrToInt(std::string_view s, int& value) {
    int64_t v;
    if (!ParseInteger(s, 32, v)) return false;
    value = static_cast<int>(v);
    return true;
}

int StrToInt(std::string_view s) {
    int v;
    if (!TryStrToInt(s, v)) RaiseNotInteger(s);
    return v;
}

int64_t StrToInt64(std::string_view s) {
    int64_t v;
    if (!TryStrToInt64(s, v)) RaiseNotInteger(s);
    return v;
}

int StrToIntDef(std::string_view s, int def) {
    int v;
    return TryStrToInt(s, v) ? v : def;
}

int64_t StrToInt64Def(std::string_view s, int64_t def) {
    int64_t v;
    return TryStrToInt64(s, v) ? v : def;
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

std::string IntToHex(uint64_t value, int digits) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    do {
        out += kHex[value & 0xF];
        value >>= 4;
    } while (value != 0);
    if (digits > 0 && out.size() < static_cast<size_t>(digits)) out.append(static_cast<size_t>(digits) - out.size(), '0');
    std::reverse(out.begin(), out.end());
    return out;
}

std::string StringReplace(std::string_view s, std::string_view oldPattern, std::string_view newPattern,
                          TReplaceFlags flags) {
    if (oldPattern.empty()) return std::string(s);
    // Case-blind search runs over upper-cased copies; casing keeps every byte in place, so the
    // positions found there are positions in s.
    std::string upperText, upperPattern;
    std::string_view text = s, pattern = oldPattern;
    if (flags & rfIgnoreCase) {
        upperText = AnsiUpperCase(s);
        upperPattern = AnsiUpperCase(oldPattern);
        text = upperText;
        pattern = upperPattern;
    }
    std::string out;
    out.reserve(s.size());
    size_t from = 0;
    while (from <= s.size()) {
        const size_t at = text.find(pattern, from);
        if (at == std::string_view::npos) break;
        out.append(s.substr(from, at - from));
        out.append(newPattern);
        from = at + pattern.size();
        if (!(flags & rfReplaceAll)) break;
    }
    out.append(s.substr(std::min(from, s.size())));
    return out;
}

std::string StringOfChar(char c, int count) {
    return count <= 0 ? std::string() : std::string(static_cast<size_t>(count), c);
}

std::string QuotedStr(std::string_view s) {
    std::string out = "'";
    for (char c : s) {
        out += c;
        if (c == '\'') out += '\'';
    }
    out += '\'';
    return out;
}

int LastDelimiter(std::string_view delimiters, std::string_view s) {
    const size_t at = s.find_last_of(delimiters);
    return at == std::string_view::npos ? 0 : static_cast<int>(at + 1);
}

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareText(a, b) == 0;
}

int CompareText(std::string_view a, std::string_view b) { return CompareMapped(a, b, AsciiKey); }

bool AnsiSameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && AnsiCompareText(a, b) == 0;
}

int AnsiCompareText(std::string_view a, std::string_view b) { return CompareMapped(a, b, AnsiKey); }

int CompareStr(std::string_view a, std::string_view b) {
    return CompareMapped(a, b, [](char c) { return static_cast<int>(static_cast<unsigned char>(c)); });
}

std::string SysErrorMessage(int error) {
    switch (error) {
        case ENOENT: return Ru("Не удается найти указанный файл.");
        case ENOTDIR: return Ru("Системе не удается найти указанный путь.");
        case EACCES:
        case EPERM:
        case EISDIR: return Ru("Отказано в доступе.");
        case ENOSPC: return Ru("Недостаточно места на диске.");
        case EROFS: return Ru("Носитель защищен от записи.");
        case EEXIST: return Ru("Файл существует.");
        case EMFILE:
        case ENFILE: return Ru("Системе не удается открыть файл.");
        case ENAMETOOLONG: return Ru("Имя файла или его расширение имеет неверную длину.");
        default: return Ru("Ошибка ввода-вывода (") + std::to_string(error) + ").";
    }
}

}  // namespace rtl
