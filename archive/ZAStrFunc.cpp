// Character tables and the limited compares built on them.
#include "archive/ZAStrFunc.h"

#include <cstdlib>
#include <vector>

#include "platform/rtl/codepage.h"

// clang-format off
const std::array<uint8_t, 256> TurkishRanks = {
    0x00,0x02,0x03,0x04,0x05,0x06,0x07,0x08,0x09,0x0a,0x0b,0x0c,0x0d,0x0e,0x0f,0x10,
    0x11,0x12,0x13,0x14,0x15,0x16,0x17,0x18,0x19,0x1a,0x1b,0x1c,0x1d,0x1e,0x1f,0x20,
    0x01,0x21,0x22,0x23,0x24,0x25,0x26,0x27,0x28,0x29,0x2a,0x2b,0x2c,0x2d,0x2e,0x2f,
    0x30,0x31,0x32,0x33,0x34,0x35,0x36,0x37,0x38,0x39,0x3a,0x3b,0x3c,0x3d,0x3e,0x3f,
    0x40,0x48,0x52,0x54,0x58,0x5e,0x64,0x66,0x6a,0x70,0x78,0x7a,0x7c,0x7e,0x81,0x88,
    0x90,0x92,0x94,0x96,0x9b,0xa0,0xa7,0xa9,0xab,0xae,0xb0,0xb1,0xb2,0xb3,0xb4,0xb5,
    0xb6,0x41,0x51,0x53,0x57,0x59,0x63,0x65,0x69,0x75,0x77,0x79,0x7b,0x7d,0x7f,0x83,
    0x8f,0x91,0x93,0x95,0x9a,0x9c,0xa6,0xa8,0xaa,0xac,0xaf,0xb7,0xb8,0xb9,0xba,0xbb,
    0xf8,0xf9,0xbc,0xbd,0xbe,0xbf,0xc0,0xc1,0xc2,0xc3,0xc4,0xc5,0xc6,0xfa,0xfb,0xfc,
    0xfd,0xc7,0xc8,0xc9,0xca,0xcb,0xcc,0xcd,0xce,0xcf,0xd0,0xd1,0xd2,0xfe,0xff,0xd3,
    0xd4,0xd5,0xd6,0xd7,0xd8,0xd9,0xda,0xdb,0xdc,0xdd,0xde,0xdf,0xe0,0xe1,0xe2,0xe3,
    0xe4,0xe5,0xe6,0xe7,0xe8,0xe9,0xea,0xeb,0xec,0xed,0xee,0xef,0xf0,0xf1,0xf2,0xf3,
    0x4a,0x4c,0x4b,0x4d,0x50,0x49,0x4e,0x56,0x62,0x5f,0x60,0x61,0x74,0x71,0x72,0x73,
    0x68,0x82,0x8b,0x89,0x8a,0x8c,0x8e,0xf4,0xf5,0xa3,0xa1,0xa2,0xa5,0x76,0x99,0x97,
    0x43,0x45,0x44,0x46,0x4f,0x42,0x47,0x55,0x5d,0x5a,0x5b,0x5c,0x6f,0x6e,0x6d,0x6c,
    0x67,0x80,0x85,0x84,0x86,0x87,0x8d,0xf6,0xf7,0x9e,0x9f,0x9d,0xa4,0x6b,0x98,0xad,
};
// clang-format on

namespace {

constexpr std::array<uint8_t, 256> MakeTurkishUpper()
{
    std::array<uint8_t, 256> t{};
    for (int c = 0; c < 256; ++c)
        t[c] = static_cast<uint8_t>(c);
    t[0x20] = 0x00;  // sic: the stored table maps the blank to the zero byte
    for (int c = 0x61; c <= 0x7A; ++c)
        t[c] = static_cast<uint8_t>(c - 0x20);
    t[0x69] = 0xDD;  // i -> dotted capital I
    for (int c = 0xE0; c <= 0xF6; ++c)
        t[c] = static_cast<uint8_t>(c - 0x20);
    for (int c = 0xF9; c <= 0xFC; ++c)
        t[c] = static_cast<uint8_t>(c - 0x20);
    t[0xFD] = 0x49;  // dotless i -> I
    t[0xFE] = 0xDE;
    return t;
}

// The cp1251 collation: the zero byte, control characters, blanks, other signs in code order,
// digits, Latin letters (small before capital), Cyrillic letters in alphabetical order with the
// letters of the neighbouring alphabets beside their closest Russian letter.
std::array<uint16_t, 256> MakeCp1251SortKeys()
{
    std::vector<uint8_t> order;
    std::array<bool, 256> placed{};
    auto place = [&](unsigned char c) {
        if (!placed[c]) {
            placed[c] = true;
            order.push_back(c);
        }
    };
    auto isLetterOrDigit = [](unsigned char c) {
        return (c >= '0' && c <= '9') || rtl::AnsiUpperChar(static_cast<char>(c)) != static_cast<char>(c) ||
               rtl::AnsiLowerChar(static_cast<char>(c)) != static_cast<char>(c);
    };
    place(0);
    for (int c = 1; c < 0x20; ++c)
        place(static_cast<unsigned char>(c));
    place(0x7F);
    place(0x98);
    place(0x20);
    place(0xA0);
    for (int c = 0x21; c < 256; ++c)
        if (!isLetterOrDigit(static_cast<unsigned char>(c)))
            place(static_cast<unsigned char>(c));
    for (int c = '0'; c <= '9'; ++c)
        place(static_cast<unsigned char>(c));
    for (int c = 'a'; c <= 'z'; ++c) {
        place(static_cast<unsigned char>(c));
        place(static_cast<unsigned char>(c - 0x20));
    }
    const std::string cyrillic = rtl::Ru(
        "аАбБвВгГґҐдДђЂѓЃеЕёЁєЄжЖзЗѕЅиИіІїЇйЙјЈкКлЛљЉмМнНњЊоОпПрРсСтТћЋќЌуУўЎфФхХцЦчЧџЏшШщЩъЪыЫьЬэЭюЮяЯ");
    for (char c : cyrillic)
        place(static_cast<unsigned char>(c));
    for (int c = 0; c < 256; ++c)  // anything left (none expected) sorts last, in code order
        place(static_cast<unsigned char>(c));

    std::array<uint16_t, 256> keys{};
    for (size_t i = 0; i < order.size(); ++i)
        keys[order[i]] = static_cast<uint16_t>(i);
    return keys;
}

const std::array<uint16_t, 256>& Cp1251SortKeys()
{
    static const std::array<uint16_t, 256> keys = MakeCp1251SortKeys();
    return keys;
}

uint32_t ReadUserLocale()
{
    const char* env = std::getenv("TOME_LCID");
    if (env != nullptr && *env != '\0') {
        char* end = nullptr;
        const unsigned long value = std::strtoul(env, &end, 0);
        if (end != nullptr && *end == '\0' && value > 0 && value <= 0xFFFFFFFFul)
            return static_cast<uint32_t>(value);
    }
    return LocaleRussian;
}

TZACharTables BuildCharTables(uint32_t lcid)
{
    TZACharTables t;
    if (lcid == LocaleTurkish) {
        t.RankTable = TurkishRanks;
    } else {
        // The rank of c is the number of characters the locale sorts before it.
        for (int c = 0; c < 256; ++c) {
            int below = 0;
            for (int d = 0; d < 256; ++d)
                if (LocaleCompareChars(lcid, static_cast<unsigned char>(d), static_cast<unsigned char>(c)) < 0)
                    ++below;
            t.RankTable[c] = static_cast<uint8_t>(below);
        }
    }
    std::array<bool, 256> seen{};
    for (int c = 0; c < 256; ++c) {
        t.RankInverse[t.RankTable[c]] = static_cast<uint8_t>(c);
        seen[t.RankTable[c]] = true;
    }
    t.UseRankTables = true;
    for (bool s : seen)
        if (!s) {
            t.UseRankTables = false;
            break;
        }
    if (t.UseRankTables)
        for (int c = 0; c < 256; ++c)
            t.UpperTable[t.RankTable[c]] = t.RankTable[LocaleUpperChar(lcid, static_cast<unsigned char>(c))];
    return t;
}

struct TCharState {
    uint32_t Locale = ReadUserLocale();
    TZACharTables Tables = BuildCharTables(Locale);
};

TCharState& CharState()
{
    static TCharState state;
    return state;
}

std::string_view UpToZero(std::string_view s)
{
    const size_t zero = s.find('\0');
    return zero == std::string_view::npos ? s : s.substr(0, zero);
}

// The steps shared by the two limited compares; mapped is null for the exact compare.
int CompareLimited(std::string_view a, std::string_view b, int n, const std::array<uint8_t, 256>* mapped)
{
    a = UpToZero(a);
    b = UpToZero(b);
    if (n <= 0)
        return 0;
    if (a.empty())
        return b.empty() ? 0 : -1;
    if (b.empty())
        return 1;
    const size_t shorter = std::min(a.size(), b.size());
    const size_t count = static_cast<size_t>(n) > shorter ? shorter + 1 : static_cast<size_t>(n);
    for (size_t i = 0; i < count; ++i) {
        // Past the end of a string stands its terminating zero.
        const uint8_t x = i < a.size() ? static_cast<uint8_t>(a[i]) : 0;
        const uint8_t y = i < b.size() ? static_cast<uint8_t>(b[i]) : 0;
        if (x == y)
            continue;
        if (mapped == nullptr)
            return x - y;
        const uint8_t ux = (*mapped)[x];
        const uint8_t uy = (*mapped)[y];
        if (ux != uy)
            return ux - uy;
    }
    return 0;
}

// The locale's own comparison of two strings over at most n characters (used when the ranks do
// not form a permutation).
int LocaleCompareStrings(std::string_view a, std::string_view b, int n, bool ignoreCase)
{
    const uint32_t lcid = UserLocale();
    a = UpToZero(a).substr(0, static_cast<size_t>(std::max(n, 0)));
    b = UpToZero(b).substr(0, static_cast<size_t>(std::max(n, 0)));
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (ignoreCase) {
            x = LocaleUpperChar(lcid, x);
            y = LocaleUpperChar(lcid, y);
        }
        const int order = LocaleCompareChars(lcid, x, y);
        if (order != 0)
            return order;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

const std::array<uint8_t, 256> TurkishUpper = MakeTurkishUpper();

int LocaleCompareChars(uint32_t lcid, unsigned char a, unsigned char b)
{
    if (lcid == LocaleTurkish)
        return static_cast<int>(TurkishRanks[a]) - static_cast<int>(TurkishRanks[b]);
    const auto& keys = Cp1251SortKeys();
    return static_cast<int>(keys[a]) - static_cast<int>(keys[b]);
}

unsigned char LocaleUpperChar(uint32_t lcid, unsigned char c)
{
    if (lcid == LocaleTurkish)
        return TurkishUpper[c];
    return static_cast<unsigned char>(rtl::AnsiUpperChar(static_cast<char>(c)));
}

uint32_t UserLocale()
{
    return CharState().Locale;
}

void SetUserLocaleForTests(uint32_t lcid)
{
    TCharState& state = CharState();
    state.Locale = lcid;
    state.Tables = BuildCharTables(lcid);
}

const TZACharTables& CharTables()
{
    return CharState().Tables;
}

int CompareBytesLimited(std::string_view a, std::string_view b, int n)
{
    return CompareLimited(a, b, n, nullptr);
}

int CompareTextLimited(std::string_view a, std::string_view b, int n)
{
    return CompareLimited(a, b, n, &CharTables().UpperTable);
}

int CompareCharsExact(std::string_view a, std::string_view b, int n)
{
    if (!CharTables().UseRankTables)
        return LocaleCompareStrings(a, b, n, false);
    return CompareBytesLimited(CollationOrderOf(a), CollationOrderOf(b), n);
}

int CompareCharsNoCase(std::string_view a, std::string_view b, int n)
{
    if (!CharTables().UseRankTables)
        return LocaleCompareStrings(a, b, n, true);
    return CompareTextLimited(CollationOrderOf(a), CollationOrderOf(b), n);
}

void ToCollationOrder(char* buffer)
{
    if (buffer == nullptr)
        return;
    const auto& ranks = CharTables().RankTable;
    for (; *buffer != '\0'; ++buffer)
        *buffer = static_cast<char>(ranks[static_cast<unsigned char>(*buffer)]);
}

void FromCollationOrder(char* buffer)
{
    if (buffer == nullptr)
        return;
    const auto& inverse = CharTables().RankInverse;
    for (; *buffer != '\0'; ++buffer)
        *buffer = static_cast<char>(inverse[static_cast<unsigned char>(*buffer)]);
}

std::string CollationOrderOf(std::string_view s)
{
    std::string out(UpToZero(s));
    ToCollationOrder(out.data());
    return out;
}

std::string CodesOfCollationOrder(std::string_view s)
{
    std::string out(UpToZero(s));
    FromCollationOrder(out.data());
    return out;
}
