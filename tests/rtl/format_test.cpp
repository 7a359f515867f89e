#include "platform/rtl/format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/rtl/codepage.h"
#include "platform/rtl/exceptions.h"

namespace {

using rtl::Format;

TEST(Format, Integers) {
    EXPECT_EQ(Format("%d", {42}), "42");
    EXPECT_EQ(Format("%d", {-42}), "-42");
    EXPECT_EQ(Format("%d", {INT64_MIN}), "-9223372036854775808");
    EXPECT_EQ(Format("%d", {int64_t{5000000000}}), "5000000000");
    EXPECT_EQ(Format("%d", {UINT64_MAX}), "18446744073709551615");
    EXPECT_EQ(Format("%u", {7u}), "7");
    EXPECT_EQ(Format("%u", {-1}), "4294967295");
    EXPECT_EQ(Format("%u", {int64_t{-1}}), "18446744073709551615");
    EXPECT_EQ(Format("%u", {short{-1}}), "65535");
    EXPECT_EQ(Format("%x", {255}), "FF");
    EXPECT_EQ(Format("%X", {0xABCDu}), "ABCD");
    EXPECT_EQ(Format("%x", {-1}), "FFFFFFFF");
    EXPECT_EQ(Format("%D", {3}), "3");
}

TEST(Format, WidthAndPrecision) {
    EXPECT_EQ(Format("%5d", {12}), "   12");
    EXPECT_EQ(Format("%-5d|", {12}), "12   |");
    EXPECT_EQ(Format("%05d", {12}), "   12");  // no zero flag: "05" is a width
    EXPECT_EQ(Format("%5d", {123456}), "123456");
    EXPECT_EQ(Format("%.3u", {1u}), "001");
    EXPECT_EQ(Format("%.3u", {1234u}), "1234");
    EXPECT_EQ(Format("%.2d", {7}), "07");
    EXPECT_EQ(Format("%.3d", {-5}), "-005");
    EXPECT_EQ(Format("%6.3d", {-5}), "  -005");
    EXPECT_EQ(Format("%.4x", {0xA}), "000A");
    EXPECT_EQ(Format("%-5s|", {"ab"}), "ab   |");
    EXPECT_EQ(Format("%5s", {"ab"}), "   ab");
    EXPECT_EQ(Format("%.2s", {"abcdef"}), "ab");
    EXPECT_EQ(Format("%4.2s|", {"abcdef"}), "  ab|");
    EXPECT_EQ(Format("%*d", {4, 7}), "   7");
    EXPECT_EQ(Format("%.*s", {1, "xyz"}), "x");
}

TEST(Format, StringsAndLiterals) {
    const std::string name = rtl::Ru("Файл");
    EXPECT_EQ(Format("%s: %s", {"pack", name}), "pack: " + name);
    EXPECT_EQ(Format("100%%", {}), "100%");
    EXPECT_EQ(Format("%s%%%d", {std::string_view("a"), 1}), "a%1");
    EXPECT_EQ(Format("[%s]", {'c'}), "[c]");
    EXPECT_EQ(Format("[%s]", {static_cast<const char*>(nullptr)}), "[]");
    EXPECT_EQ(Format("no args", {}), "no args");
    EXPECT_EQ(Format("%d", {1, 2, 3}), "1");  // extra arguments are ignored
    EXPECT_EQ(Format(std::string_view("a\0%d", 4), {5}), std::string("a\0" "5", 3));
}

TEST(Format, IndexedArguments) {
    EXPECT_EQ(Format("%1:s %0:s", {"a", "b"}), "b a");
    EXPECT_EQ(Format("%1:s %s", {"a", "b", "c"}), "b c");
    EXPECT_EQ(Format("%0:s%0:s", {"ab"}), "abab");
}

TEST(Format, EveryMismatchRaises) {
    EXPECT_THROW(Format("%d", {}), rtl::EConvertError);            // too few
    EXPECT_THROW(Format("%d %d", {1}), rtl::EConvertError);
    EXPECT_THROW(Format("%d", {"12"}), rtl::EConvertError);        // string for a number
    EXPECT_THROW(Format("%u", {"12"}), rtl::EConvertError);
    EXPECT_THROW(Format("%x", {"12"}), rtl::EConvertError);
    EXPECT_THROW(Format("%s", {12}), rtl::EConvertError);          // number for a string
    EXPECT_THROW(Format("%q", {1}), rtl::EConvertError);           // unknown type
    EXPECT_THROW(Format("%f", {1}), rtl::EConvertError);
    EXPECT_THROW(Format("%n", {1}), rtl::EConvertError);
    EXPECT_THROW(Format("%", {1}), rtl::EConvertError);            // "%" at the end
    EXPECT_THROW(Format("%5", {1}), rtl::EConvertError);
    EXPECT_THROW(Format("%.", {1}), rtl::EConvertError);
    EXPECT_THROW(Format("%5:d", {1}), rtl::EConvertError);         // index past the arguments
    EXPECT_THROW(Format("%*d", {"x", 1}), rtl::EConvertError);     // "*" needs an integer
    EXPECT_THROW(Format("%*d", {-3, 1}), rtl::EConvertError);
    EXPECT_THROW(Format("%99999999999d", {1}), rtl::EConvertError);  // absurd width
}

TEST(Format, MismatchMessageNamesTheFormat) {
    try {
        Format("%d items", {"x"});
        FAIL();
    } catch (const rtl::EConvertError& e) {
        EXPECT_EQ(e.Message(), "Format '%d items' invalid or incompatible with argument");
    }
}

TEST(Format, CharArgumentSurvivesCopies) {
    rtl::FormatArg a('z');
    rtl::FormatArg b(a);
    rtl::FormatArg c("x");
    c = b;
    EXPECT_EQ(b.text(), "z");
    EXPECT_EQ(c.text(), "z");
    EXPECT_NE(c.text().data(), a.text().data());
}

}  // namespace
