#include "platform/rtl/codepage.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using rtl::AnsiLowerChar;
using rtl::AnsiUpperChar;

char B(int byte) { return static_cast<char>(byte); }

// Capital/small pairs outside А..Я that cp1251 holds.
const std::vector<std::pair<int, int>> kExtraPairs = {
    {0x80, 0x90},  // Ђ ђ
    {0x81, 0x83},  // Ѓ ѓ
    {0x8A, 0x9A},  // Љ љ
    {0x8C, 0x9C},  // Њ њ
    {0x8D, 0x9D},  // Ќ ќ
    {0x8E, 0x9E},  // Ћ ћ
    {0x8F, 0x9F},  // Џ џ
    {0xA1, 0xA2},  // Ў ў
    {0xA3, 0xBC},  // Ј ј
    {0xA5, 0xB4},  // Ґ ґ
    {0xA8, 0xB8},  // Ё ё
    {0xAA, 0xBA},  // Є є
    {0xAF, 0xBF},  // Ї ї
    {0xB2, 0xB3},  // І і
    {0xBD, 0xBE},  // Ѕ ѕ
};

// Converts with the C library's converter, as an independent reference; "" when it refuses.
std::string Iconv(const char* to, const char* from, const std::string& in, bool* ok) {
    *ok = false;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    std::string inCopy = in;
    std::string out(16, '\0');
    char* src = inCopy.data();
    size_t srcLeft = inCopy.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    *ok = iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1);
    iconv_close(cd);
    out.resize(out.size() - dstLeft);
    return out;
}

TEST(Casing, AsciiRoutinesLeaveOtherBytesAlone) {
    for (int b = 0; b < 256; ++b) {
        const char c = B(b);
        const char lower = b >= 'A' && b <= 'Z' ? B(b + 32) : c;
        const char upper = b >= 'a' && b <= 'z' ? B(b - 32) : c;
        EXPECT_EQ(rtl::AsciiLower(c), lower) << b;
        EXPECT_EQ(rtl::AsciiUpper(c), upper) << b;
    }
    EXPECT_EQ(rtl::LowerCase(rtl::Ru("ABC Фото.HTML")), rtl::Ru("abc Фото.html"));
    EXPECT_EQ(rtl::UpperCase(rtl::Ru("abc фото")), rtl::Ru("ABC фото"));
}

TEST(Casing, EveryCyrillicPair) {
    for (int b = 0xC0; b <= 0xDF; ++b) {
        EXPECT_EQ(AnsiLowerChar(B(b)), B(b + 0x20)) << b;
        EXPECT_EQ(AnsiUpperChar(B(b + 0x20)), B(b)) << b;
        EXPECT_EQ(AnsiUpperChar(B(b)), B(b)) << b;
        EXPECT_EQ(AnsiLowerChar(B(b + 0x20)), B(b + 0x20)) << b;
    }
    for (auto [upper, lower] : kExtraPairs) {
        EXPECT_EQ(AnsiLowerChar(B(upper)), B(lower)) << upper;
        EXPECT_EQ(AnsiUpperChar(B(lower)), B(upper)) << lower;
    }
    EXPECT_EQ(rtl::AnsiUpperCase(rtl::Ru("ёлка Ёж abc")), rtl::Ru("ЁЛКА ЁЖ ABC"));
    EXPECT_EQ(rtl::AnsiLowerCase(rtl::Ru("ЁЛКА ЇЖАК ABC")), rtl::Ru("ёлка їжак abc"));
}

TEST(Casing, NonLettersMapToThemselves) {
    std::set<int> letters;
    for (int b = 'A'; b <= 'Z'; ++b) letters.insert({b, b + 32});
    for (int b = 0xC0; b <= 0xFF; ++b) letters.insert(b);
    for (auto [u, l] : kExtraPairs) letters.insert({u, l});
    for (int b = 0; b < 256; ++b) {
        if (letters.count(b)) continue;
        EXPECT_EQ(AnsiLowerChar(B(b)), B(b)) << b;
        EXPECT_EQ(AnsiUpperChar(B(b)), B(b)) << b;
    }
}

// Lowering in place takes a faster road through runs free of 0x80..0xBF; both roads give the table's letters.
TEST(Casing, LoweringInPlaceAgreesWithTheCopy) {
    std::string all, outside;
    for (int b = 0; b < 256; ++b) all += B(b), outside += (b & 0xC0) == 0x80 ? "" : std::string(1, B(b));
    for (const std::string& text : {all, outside, outside.substr(3) + all + outside}) {
        std::string lowered = text;
        rtl::AnsiLowerInPlace(lowered);
        EXPECT_EQ(lowered, rtl::AnsiLowerCase(text));
    }
}

TEST(Utf8, RuYieldsCp1251Bytes) {
    EXPECT_EQ(rtl::Ru("Файл"), "\xD4\xE0\xE9\xEB");
    EXPECT_EQ(rtl::Ru("Ёё№€"), "\xA8\xB8\xB9\x88");
    EXPECT_EQ(rtl::Ru("plain"), "plain");
}

TEST(Utf8, EveryDefinedByteRoundTrips) {
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, B(b));
        const std::string utf8 = rtl::Cp1251ToUtf8(one);
        if (b == 0x98) {
            EXPECT_EQ(utf8, "?");
            continue;
        }
        EXPECT_EQ(rtl::Utf8ToCp1251(utf8), one) << b;
    }
}

TEST(Utf8, AgreesWithTheCLibraryConverter) {
    bool ok;
    Iconv("UTF-8", "CP1251", "A", &ok);
    if (!ok) GTEST_SKIP() << "no CP1251 converter installed";
    for (int b = 0; b < 256; ++b) {
        if (b == 0x98) continue;
        const std::string one(1, B(b));
        const std::string expected = Iconv("UTF-8", "CP1251", one, &ok);
        ASSERT_TRUE(ok) << b;
        EXPECT_EQ(rtl::Cp1251ToUtf8(one), expected) << b;
    }
}

TEST(Utf8, MissingCharactersAndBrokenSequencesBecomeQuestionMarks) {
    EXPECT_EQ(rtl::Utf8ToCp1251("a\xE4\xB8\xAD" "b"), "a?b");     // CJK character
    EXPECT_EQ(rtl::Utf8ToCp1251("\xF0\x9F\x98\x80"), "?");         // emoji
    EXPECT_EQ(rtl::Utf8ToCp1251("\x80x"), "?x");                   // stray continuation
    EXPECT_EQ(rtl::Utf8ToCp1251("\xD0"), "?");                     // truncated at the end
    EXPECT_EQ(rtl::Utf8ToCp1251("\xD0" "A"), "?A");                // truncated in the middle
    EXPECT_EQ(rtl::Utf8ToCp1251("\xE2\x82" "A"), "?A");            // valid prefix counts once
    EXPECT_EQ(rtl::Utf8ToCp1251("\xC0\xAF"), "??");                // overlong two-byte form
    EXPECT_EQ(rtl::Utf8ToCp1251("\xE0\x80\x80"), "???");           // overlong three-byte form
    EXPECT_EQ(rtl::Utf8ToCp1251("\xED\xA0\x80"), "???");           // surrogate
    EXPECT_EQ(rtl::Utf8ToCp1251("\xF4\x90\x80\x80"), "????");      // above U+10FFFF
    EXPECT_EQ(rtl::Utf8ToCp1251("\xFF\xFE"), "??");
    EXPECT_EQ(rtl::Utf8ToCp1251(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Oem, CyrillicMapsBothWays) {
    EXPECT_EQ(rtl::OemToAnsi("\x80\x9F\xA0\xAF\xE0\xEF\xF0\xF1"),
              rtl::Ru("АЯапряЁё"));
    EXPECT_EQ(rtl::AnsiToOem(rtl::Ru("Привет, Ёж!")), "\x8F\xE0\xA8\xA2\xA5\xE2, \xF0\xA6!");
    for (int b = 0; b < 0x80; ++b) {
        EXPECT_EQ(rtl::OemToAnsiChar(B(b)), B(b));
        EXPECT_EQ(rtl::AnsiToOemChar(B(b)), B(b));
    }
}

TEST(Oem, EveryMappedCharacterRoundTrips) {
    int mapped = 0;
    for (int b = 0; b < 256; ++b) {
        const char ansi = rtl::OemToAnsiChar(B(b));
        if (ansi == '?' && b != '?') continue;
        ++mapped;
        EXPECT_EQ(rtl::AnsiToOemChar(ansi), B(b)) << b;
    }
    // ASCII, 66 Russian letters, Є є Ї ї Ў ў, ° · № ¤ and the no-break space.
    EXPECT_EQ(mapped, 128 + 66 + 6 + 5);
}

TEST(Oem, CharactersTheOtherPageLacksBecomeQuestionMarks) {
    for (int b = 0xB0; b <= 0xDF; ++b) EXPECT_EQ(rtl::OemToAnsiChar(B(b)), '?') << b;  // box drawing
    EXPECT_EQ(rtl::OemToAnsiChar(B(0xF9)), '?');  // bullet operator
    EXPECT_EQ(rtl::OemToAnsiChar(B(0xFB)), '?');  // square root
    EXPECT_EQ(rtl::OemToAnsiChar(B(0xFE)), '?');  // black square
    for (int b : {0x80, 0x81, 0x88, 0x96, 0x97, 0x98, 0xA3, 0xA5, 0xAB, 0xB2, 0xBD})
        EXPECT_EQ(rtl::AnsiToOemChar(B(b)), '?') << b;
}

TEST(Oem, AgreesWithTheCLibraryConverterWhereBothDefine) {
    bool ok;
    Iconv("CP1251", "CP866", "A", &ok);
    if (!ok) GTEST_SKIP() << "no CP866 converter installed";
    for (int b = 0x80; b < 256; ++b) {
        const std::string expected = Iconv("CP1251", "CP866", std::string(1, B(b)), &ok);
        if (ok) EXPECT_EQ(std::string(1, rtl::OemToAnsiChar(B(b))), expected) << b;
        else EXPECT_EQ(rtl::OemToAnsiChar(B(b)), '?') << b;
    }
}

}  // namespace
