#include "platform/rtl/codepage.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace rtl {
namespace {

constexpr char32_t kUndefined = 0xFFFD;

// Code points of cp1251 bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in order.
constexpr std::array<char32_t, 64> kCp1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    kUndefined, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

// Code points of cp866 bytes 0x80..0xFF.
constexpr std::array<char32_t, 128> kCp866High = {
    // 0x80..0x9F: А..Я
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    // 0xA0..0xAF: а..п
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    // 0xB0..0xDF: shades and box drawing
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    // 0xE0..0xEF: р..я
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
    // 0xF0..0xFF
    0x0401, 0x0451, 0x0404, 0x0454, 0x0407, 0x0457, 0x040E, 0x045E,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4, 0x25A0, 0x00A0,
};

constexpr char32_t Cp1251CodePoint(unsigned char c) {
    if (c < 0x80) return c;
    if (c >= 0xC0) return 0x0410 + (c - 0xC0);
    return kCp1251High[c - 0x80];
}

constexpr int Cp1251ByteOf(char32_t cp) {
    if (cp < 0x80) return static_cast<int>(cp);
    if (cp >= 0x0410 && cp <= 0x044F) return static_cast<int>(0xC0 + (cp - 0x0410));
    for (int i = 0; i < 64; ++i)
        if (kCp1251High[i] == cp && cp != kUndefined) return 0x80 + i;
    return -1;
}

constexpr char32_t Cp866CodePoint(unsigned char c) {
    return c < 0x80 ? c : kCp866High[c - 0x80];
}

constexpr int Cp866ByteOf(char32_t cp) {
    if (cp < 0x80) return static_cast<int>(cp);
    for (int i = 0; i < 128; ++i)
        if (kCp866High[i] == cp) return 0x80 + i;
    return -1;
}

// Small letter of a capital, in Unicode terms, for the letters cp1251 holds.
constexpr char32_t LowerCodePoint(char32_t cp) {
    if (cp >= 'A' && cp <= 'Z') return cp + 0x20;
    if (cp >= 0x0410 && cp <= 0x042F) return cp + 0x20;  // А..Я
    if (cp >= 0x0400 && cp <= 0x040F) return cp + 0x50;  // Ѐ..Џ (Ё, Ђ, Є, Ї, Ў ...)
    if (cp == 0x0490) return 0x0491;                     // Ґ
    return cp;
}

using ByteTable = std::array<unsigned char, 256>;

constexpr ByteTable MakeLowerTable() {
    ByteTable t{};
    for (int b = 0; b < 256; ++b) {
        t[b] = static_cast<unsigned char>(b);
        const char32_t cp = Cp1251CodePoint(static_cast<unsigned char>(b));
        const int lower = Cp1251ByteOf(LowerCodePoint(cp));
        if (lower >= 0) t[b] = static_cast<unsigned char>(lower);
    }
    return t;
}

constexpr ByteTable MakeUpperTable(const ByteTable& lower) {
    ByteTable t{};
    for (int b = 0; b < 256; ++b) t[b] = static_cast<unsigned char>(b);
    for (int b = 0; b < 256; ++b)
        if (lower[b] != b) t[lower[b]] = static_cast<unsigned char>(b);
    return t;
}

constexpr ByteTable MakeOemToAnsiTable() {
    ByteTable t{};
    for (int b = 0; b < 256; ++b) {
        const int ansi = Cp1251ByteOf(Cp866CodePoint(static_cast<unsigned char>(b)));
        t[b] = static_cast<unsigned char>(ansi >= 0 ? ansi : '?');
    }
    return t;
}

constexpr ByteTable MakeAnsiToOemTable() {
    ByteTable t{};
    for (int b = 0; b < 256; ++b) {
        const char32_t cp = Cp1251CodePoint(static_cast<unsigned char>(b));
        const int oem = cp == kUndefined ? -1 : Cp866ByteOf(cp);
        t[b] = static_cast<unsigned char>(oem >= 0 ? oem : '?');
    }
    return t;
}

constexpr ByteTable kLower = MakeLowerTable();
constexpr ByteTable kUpper = MakeUpperTable(kLower);
constexpr ByteTable kOemToAnsi = MakeOemToAnsiTable();
constexpr ByteTable kAnsiToOem = MakeAnsiToOemTable();

char Map(const ByteTable& table, char c) {
    return static_cast<char>(table[static_cast<unsigned char>(c)]);
}

std::string MapAll(const ByteTable& table, std::string_view s) {
    std::string out(s.size(), '\0');
    for (size_t i = 0; i < s.size(); ++i) out[i] = Map(table, s[i]);
    return out;
}

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Decodes one UTF-8 character at s[i]. Returns the code point, or kUndefined for an invalid
// sequence; `length` receives the bytes consumed (the maximal valid prefix of a broken sequence,
// at least one byte), so one broken sequence yields one replacement.
char32_t DecodeUtf8(std::string_view s, size_t i, size_t& length, bool& valid) {
    valid = false;
    const unsigned char lead = static_cast<unsigned char>(s[i]);
    length = 1;
    if (lead < 0x80) {
        valid = true;
        return lead;
    }
    int extra;
    char32_t cp;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        cp = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        cp = lead & 0x07;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
    } else {
        return kUndefined;
    }
    for (int k = 1; k <= extra; ++k) {
        if (i + k >= s.size()) return kUndefined;
        const unsigned char c = static_cast<unsigned char>(s[i + k]);
        const bool ok = k == 1 ? (c >= low && c <= high) : IsContinuation(c);
        if (!ok) return kUndefined;
        cp = (cp << 6) | (c & 0x3F);
        length = k + 1;
    }
    valid = true;
    return cp;
}

char32_t DecodeUtf8(std::string_view s, size_t i, size_t& length) {
    bool valid;
    return DecodeUtf8(s, i, length, valid);
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::string Ru(std::string_view utf8) { return Utf8ToCp1251(utf8); }

std::string Utf8ToCp1251(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        size_t length;
        const char32_t cp = DecodeUtf8(utf8, i, length);
        out += CodePointToCp1251(cp);
        i += length;
    }
    return out;
}

std::string Cp1251ToUtf8(std::string_view cp1251) {
    std::string out;
    out.reserve(cp1251.size() * 2);
    for (char c : cp1251) {
        const char32_t cp = Cp1251ToCodePoint(static_cast<unsigned char>(c));
        AppendUtf8(out, cp == kUndefined ? U'?' : cp);
    }
    return out;
}

char32_t Cp1251ToCodePoint(unsigned char c) { return Cp1251CodePoint(c); }
char32_t Cp866ToCodePoint(unsigned char c) { return Cp866CodePoint(c); }

bool NextUtf8Char(std::string_view utf8, size_t& i, char32_t& cp) {
    size_t length;
    bool valid;
    cp = DecodeUtf8(utf8, i, length, valid);
    i += length;
    return valid;
}

bool IsValidUtf8(std::string_view s) {
    char32_t cp;
    for (size_t i = 0; i < s.size();)
        if (!NextUtf8Char(s, i, cp)) return false;
    return true;
}

char CodePointToCp1251(char32_t cp) {
    const int b = cp == kUndefined ? -1 : Cp1251ByteOf(cp);
    return static_cast<char>(b >= 0 ? b : '?');
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 0x20) : c; }
char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : c; }

std::string LowerCase(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = AsciiLower(c);
    return out;
}

std::string UpperCase(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = AsciiUpper(c);
    return out;
}

char AnsiLowerChar(char c) { return Map(kLower, c); }
char AnsiUpperChar(char c) { return Map(kUpper, c); }
std::string AnsiLowerCase(std::string_view s) { return MapAll(kLower, s); }
std::string AnsiUpperCase(std::string_view s) { return MapAll(kUpper, s); }

// Sixteen bytes at a time: where none lies in 0x80..0xBF, the only capitals are A..Z and А..Я, each
// 0x20 below its small letter, so the block is lowered with a few vector operations. Blocks holding
// one of the scattered letters of that range, and the last bytes, go through the table.
void AnsiLowerInPlace(std::span<char> s) {
    using Block = unsigned char __attribute__((vector_size(16)));
    using Byte = unsigned char;
    char* p = s.data();
    const size_t n = s.size();
    size_t i = 0;
    for (; i + sizeof(Block) <= n; i += sizeof(Block)) {
        Block v;
        std::memcpy(&v, p + i, sizeof v);
        const Block scattered = (Block)(Block(v - Byte(0x80)) < Byte(0x40));
        uint64_t halves[2];
        std::memcpy(halves, &scattered, sizeof halves);
        if ((halves[0] | halves[1]) != 0) {
            for (size_t k = i; k < i + sizeof(Block); ++k) p[k] = Map(kLower, p[k]);
            continue;
        }
        const Block capital =
            (Block)(Block(v - Byte('A')) < Byte(26)) | (Block)(Block(v - Byte(0xC0)) < Byte(32));
        v |= capital & Byte(0x20);
        std::memcpy(p + i, &v, sizeof v);
    }
    for (; i < n; ++i) p[i] = Map(kLower, p[i]);
}

char OemToAnsiChar(char c) { return Map(kOemToAnsi, c); }
char AnsiToOemChar(char c) { return Map(kAnsiToOem, c); }
std::string OemToAnsi(std::string_view oem) { return MapAll(kOemToAnsi, oem); }
std::string AnsiToOem(std::string_view ansi) { return MapAll(kAnsiToOem, ansi); }

}  // namespace rtl
