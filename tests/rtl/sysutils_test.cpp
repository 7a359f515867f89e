#include "platform/rtl/sysutils.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/rtl/codepage.h"
#include "platform/rtl/exceptions.h"

namespace {

using rtl::Ru;

TEST(PosCopy, PositionsAreOneBased) {
    EXPECT_EQ(rtl::Pos("a", "abca"), 1);
    EXPECT_EQ(rtl::Pos("ca", "abca"), 3);
    EXPECT_EQ(rtl::Pos("x", "abca"), 0);
    EXPECT_EQ(rtl::Pos("", "abc"), 0);
    EXPECT_EQ(rtl::Pos("abcd", "abc"), 0);
    EXPECT_EQ(rtl::Pos(Ru("я"), Ru("моя")), 3);
    EXPECT_EQ(rtl::PosFrom("a", "abca", 2), 4);
    EXPECT_EQ(rtl::PosFrom("a", "abca", 0), 1);
    EXPECT_EQ(rtl::PosFrom("a", "abca", 5), 0);
    EXPECT_EQ(rtl::PosFrom("a", "abca", 99), 0);
}

TEST(PosCopy, CopyBoundaries) {
    EXPECT_EQ(rtl::Copy("hello", 1, 2), "he");
    EXPECT_EQ(rtl::Copy("hello", 4, 100), "lo");
    EXPECT_EQ(rtl::Copy("hello", 5, 1), "o");
    EXPECT_EQ(rtl::Copy("hello", 6, 1), "");
    EXPECT_EQ(rtl::Copy("hello", 0, 2), "he");
    EXPECT_EQ(rtl::Copy("hello", -5, 2), "he");
    EXPECT_EQ(rtl::Copy("hello", 2, 0), "");
    EXPECT_EQ(rtl::Copy("hello", 2, -1), "");
    EXPECT_EQ(rtl::Copy("", 1, 1), "");
    EXPECT_EQ(rtl::Copy("hello", 2, 2147483647), "ello");
}

TEST(PosCopy, DeleteAndInsert) {
    std::string s = "hello";
    rtl::Delete(s, 2, 2);
    EXPECT_EQ(s, "hlo");
    rtl::Delete(s, 3, 10);
    EXPECT_EQ(s, "hl");
    rtl::Delete(s, 0, 1);
    rtl::Delete(s, 3, 1);
    rtl::Delete(s, 1, 0);
    EXPECT_EQ(s, "hl");
    rtl::Insert("e", s, 2);
    EXPECT_EQ(s, "hel");
    rtl::Insert("<", s, -3);
    rtl::Insert(">", s, 100);
    EXPECT_EQ(s, "<hel>");
}

TEST(Trim, RemovesControlBytesAndSpacesOnly) {
    EXPECT_EQ(rtl::Trim(" \t\r\n abc \x01\x1F "), "abc");
    EXPECT_EQ(rtl::Trim("   "), "");
    EXPECT_EQ(rtl::Trim(""), "");
    EXPECT_EQ(rtl::Trim(Ru(" Яблоко ё")), Ru("Яблоко ё"));  // 0xB8 and 0xFF are kept
    EXPECT_EQ(rtl::Trim("\xA0x\xA0"), "\xA0x\xA0");            // no-break space is not a blank
    EXPECT_EQ(rtl::TrimLeft("  a  "), "a  ");
    EXPECT_EQ(rtl::TrimRight("  a  "), "  a");
}

TEST(StrToInt, Accepts) {
    EXPECT_EQ(rtl::StrToInt(" 12"), 12);
    EXPECT_EQ(rtl::StrToInt("+5"), 5);
    EXPECT_EQ(rtl::StrToInt("-0"), 0);
    EXPECT_EQ(rtl::StrToInt("007"), 7);
    EXPECT_EQ(rtl::StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(rtl::StrToInt("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(rtl::StrToInt("$1F"), 31);
    EXPECT_EQ(rtl::StrToInt("0x1f"), 31);
    EXPECT_EQ(rtl::StrToInt("$FFFFFFFF"), -1);
    EXPECT_EQ(rtl::StrToInt64("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(rtl::StrToInt64("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(rtl::StrToInt64("4294967296"), 4294967296LL);
}

TEST(StrToInt, Rejects) {
    for (const char* bad : {"12 ", "", " ", "+", "-", "abc", "1a", "2147483648", "-2147483649",
                            "99999999999999999999", "$", "$100000000", "0x", "1 2", "\t1", "--1"}) {
        EXPECT_THROW(rtl::StrToInt(bad), rtl::EConvertError) << bad;
        EXPECT_EQ(rtl::StrToIntDef(bad, -7), -7) << bad;
    }
    EXPECT_THROW(rtl::StrToInt64("9223372036854775808"), rtl::EConvertError);
    EXPECT_THROW(rtl::StrToInt64("-9223372036854775809"), rtl::EConvertError);
    EXPECT_EQ(rtl::StrToInt64Def("x", 5), 5);
}

TEST(StrToInt, MessageQuotesTheInput) {
    try {
        rtl::StrToInt("abc");
        FAIL();
    } catch (const rtl::EConvertError& e) {
        EXPECT_EQ(e.Message(), "'abc' is not a valid integer value");
    }
}

TEST(IntToStr, DecimalAndHex) {
    EXPECT_EQ(rtl::IntToStr(0), "0");
    EXPECT_EQ(rtl::IntToStr(-42), "-42");
    EXPECT_EQ(rtl::IntToStr(INT64_MIN), "-9223372036854775808");
    EXPECT_EQ(rtl::IntToHex(255, 4), "00FF");
    EXPECT_EQ(rtl::IntToHex(0x12345, 2), "12345");
    EXPECT_EQ(rtl::IntToHex(0, 0), "0");
    EXPECT_EQ(rtl::IntToHex(UINT64_MAX, 1), "FFFFFFFFFFFFFFFF");
}

TEST(StringReplace, FirstOrAll) {
    EXPECT_EQ(rtl::StringReplace("a-b-c", "-", "+", 0), "a+b-c");
    EXPECT_EQ(rtl::StringReplace("a-b-c", "-", "+", rtl::rfReplaceAll), "a+b+c");
    EXPECT_EQ(rtl::StringReplace("a-b-c", "-", "", rtl::rfReplaceAll), "abc");
    EXPECT_EQ(rtl::StringReplace("aaa", "a", "aa", rtl::rfReplaceAll), "aaaaaa");
    EXPECT_EQ(rtl::StringReplace("aaaa", "aa", "b", rtl::rfReplaceAll), "bb");
    EXPECT_EQ(rtl::StringReplace("abc", "", "x", rtl::rfReplaceAll), "abc");
    EXPECT_EQ(rtl::StringReplace("", "a", "x", rtl::rfReplaceAll), "");
    EXPECT_EQ(rtl::StringReplace("abc", "abc", "", 0), "");
    EXPECT_EQ(rtl::StringReplace("abc", "abcd", "", 0), "abc");
}

TEST(StringReplace, IgnoreCaseCoversCyrillic) {
    const auto flags = rtl::rfReplaceAll | rtl::rfIgnoreCase;
    EXPECT_EQ(rtl::StringReplace(Ru("ЁЖ ёж Ёж"), Ru("ёж"), "x", flags), "x x x");
    EXPECT_EQ(rtl::StringReplace("<IMG Src=a>", "src=", "data-src=", flags), "<IMG data-src=a>");
    EXPECT_EQ(rtl::StringReplace(Ru("Їжак"), Ru("ї"), "i", rtl::rfIgnoreCase), Ru("iжак"));
    // The replacement keeps its own case and the untouched text keeps its case.
    EXPECT_EQ(rtl::StringReplace("AbCabc", "B", "x", rtl::rfIgnoreCase), "AxCabc");
}

TEST(StringReplace, LargeInputStaysLinear) {
    std::string page;
    for (int i = 0; i < 200000; ++i) page += "<a href=X>";
    const std::string out = rtl::StringReplace(page, "href=x", "h=", rtl::rfReplaceAll | rtl::rfIgnoreCase);
    EXPECT_EQ(out.size(), page.size() - 200000 * 4);
}

TEST(SmallHelpers, StringOfCharQuotedStrLastDelimiter) {
    EXPECT_EQ(rtl::StringOfChar('0', 3), "000");
    EXPECT_EQ(rtl::StringOfChar('0', -1), "");
    EXPECT_EQ(rtl::QuotedStr("O'Neil"), "'O''Neil'");
    EXPECT_EQ(rtl::QuotedStr(""), "''");
    EXPECT_EQ(rtl::LastDelimiter("\\:.", "C:\\dir\\file.txt"), 12);
    EXPECT_EQ(rtl::LastDelimiter("\\:", "C:\\dir\\file.txt"), 7);
    EXPECT_EQ(rtl::LastDelimiter("/", "file.txt"), 0);
    EXPECT_EQ(rtl::LastDelimiter("", "abc"), 0);
}

TEST(CompareText, AsciiOnly) {
    EXPECT_TRUE(rtl::SameText("Hello", "hELLO"));
    EXPECT_FALSE(rtl::SameText("Hello", "Hell"));
    EXPECT_FALSE(rtl::SameText(Ru("Ёж"), Ru("ёж")));
    EXPECT_EQ(rtl::CompareText("abc", "ABC"), 0);
    EXPECT_LT(rtl::CompareText("abc", "abd"), 0);
    EXPECT_GT(rtl::CompareText("b", "A"), 0);
    EXPECT_LT(rtl::CompareText("ab", "abc"), 0);
    EXPECT_GT(rtl::CompareText("\xE0", "a"), 0);  // bytes compare unsigned
    EXPECT_GT(rtl::CompareStr("a", "B"), 0);
    EXPECT_LT(rtl::CompareStr("A", "\xC0"), 0);
}

TEST(CompareText, AnsiUsesTheFullTable) {
    EXPECT_TRUE(rtl::AnsiSameText(Ru("Ёлка ЇЖАК"), Ru("ёЛКА їжак")));
    EXPECT_FALSE(rtl::AnsiSameText(Ru("Ёлка"), Ru("Елка")));
    EXPECT_EQ(rtl::AnsiCompareText(Ru("ПРИВЕТ"), Ru("привет")), 0);
    EXPECT_LT(rtl::AnsiCompareText(Ru("ель"), Ru("ёж")), 0);
    EXPECT_LT(rtl::AnsiCompareText(Ru("ёж"), Ru("жук")), 0);
    EXPECT_LT(rtl::AnsiCompareText(Ru("аб"), Ru("АБВ")), 0);
}

}  // namespace
