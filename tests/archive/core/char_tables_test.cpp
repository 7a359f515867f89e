#include <gtest/gtest.h>

#include <set>
#include <string>

#include "archive/ZAStrFunc.h"
#include "locale_fixture.h"
#include "platform/rtl/codepage.h"

namespace {

using CharTablesTest = LocaleTest;

unsigned char Cp(const char* utf8)
{
    return static_cast<unsigned char>(rtl::Ru(utf8).at(0));
}

bool IsPermutation(const std::array<uint8_t, 256>& table)
{
    return std::set<uint8_t>(table.begin(), table.end()).size() == 256;
}

TEST_F(CharTablesTest, Cp1251RanksFormAPermutationWithItsInverse)
{
    const TZACharTables& t = CharTables();
    EXPECT_TRUE(t.UseRankTables);
    EXPECT_TRUE(IsPermutation(t.RankTable));
    for (int c = 0; c < 256; ++c)
        EXPECT_EQ(t.RankInverse[t.RankTable[c]], c);
    EXPECT_EQ(t.RankTable[0], 0);
    // The upper-case table maps ranks to ranks of the cp1251 capitals.
    for (int c = 0; c < 256; ++c)
        EXPECT_EQ(t.UpperTable[t.RankTable[c]],
                  t.RankTable[static_cast<unsigned char>(rtl::AnsiUpperChar(static_cast<char>(c)))]);
}

TEST_F(CharTablesTest, Cp1251CollationOrder)
{
    const auto before = [](unsigned char a, unsigned char b) { return LocaleCompareChars(LocaleRussian, a, b) < 0; };
    EXPECT_TRUE(before(' ', '!'));
    EXPECT_TRUE(before('!', '0'));
    EXPECT_TRUE(before('9', 'a'));
    EXPECT_TRUE(before('a', 'A'));
    EXPECT_TRUE(before('A', 'b'));
    EXPECT_TRUE(before('Z', Cp("а")));
    EXPECT_TRUE(before(Cp("е"), Cp("ё")));
    EXPECT_TRUE(before(Cp("Ё"), Cp("ж")));
    EXPECT_TRUE(before(Cp("ю"), Cp("Я")));
    // Compares by rank order, not by code: 'a' (0x61) sorts before 'B' (0x42).
    EXPECT_LT(CompareCharsExact("a", "B", 1), 0);
    EXPECT_GT(CompareBytesLimited("a", "B", 1), 0);
}

TEST_F(CharTablesTest, Cp1251CaseRules)
{
    EXPECT_EQ(CompareCharsNoCase(rtl::Ru("ёжИк"), rtl::Ru("ЁЖик"), 4), 0);
    EXPECT_NE(CompareCharsExact(rtl::Ru("ёжИк"), rtl::Ru("ЁЖик"), 4), 0);
    EXPECT_EQ(CompareCharsNoCase("ReadMe.TXT", "readme.txt", 100), 0);
    EXPECT_EQ(CompareCharsNoCase("i", "I", 1), 0);
    EXPECT_NE(CompareCharsNoCase("i", "\xDD", 1), 0);
    EXPECT_EQ(CompareCharsNoCase(rtl::Ru("ї"), rtl::Ru("Ї"), 1), 0);
    EXPECT_LT(CompareCharsNoCase("abc", "ABD", 3), 0);
    EXPECT_EQ(CompareCharsExact("abcX", "abcY", 3), 0);
}

TEST_F(CharTablesTest, LimitedByteCompares)
{
    EXPECT_GT(CompareBytesLimited("abc", "ab", 10), 0);
    EXPECT_LT(CompareBytesLimited("ab", "abc", 10), 0);
    EXPECT_EQ(CompareBytesLimited("abc", "abd", 2), 0);
    EXPECT_LT(CompareBytesLimited("abc", "abd", 3), 0);
    EXPECT_EQ(CompareBytesLimited("", "a", 5), -1);
    EXPECT_EQ(CompareBytesLimited("a", "", 5), 1);
    EXPECT_EQ(CompareBytesLimited("", "", 5), 0);
    EXPECT_EQ(CompareBytesLimited("a", "b", 0), 0);
    EXPECT_EQ(CompareBytesLimited(std::string_view("ab\0x", 4), "ab", 10), 0);  // zero ends a string
    EXPECT_EQ(CompareBytesLimited("\xFF", "\x01", 1), 0xFE);                    // bytes are unsigned
    EXPECT_EQ(CompareTextLimited(CollationOrderOf("Abc"), CollationOrderOf("aBC"), 3), 0);
}

TEST_F(CharTablesTest, CollationOrderRoundTrip)
{
    std::string all;
    for (int c = 1; c < 256; ++c)
        all += static_cast<char>(c);
    const std::string ranks = CollationOrderOf(all);
    ASSERT_EQ(ranks.size(), all.size());
    EXPECT_EQ(CodesOfCollationOrder(ranks), all);
    std::string buffer = "Zz";
    ToCollationOrder(buffer.data());
    EXPECT_EQ(static_cast<unsigned char>(buffer[0]), CharTables().RankTable['Z']);
    FromCollationOrder(buffer.data());
    EXPECT_EQ(buffer, "Zz");
    ToCollationOrder(static_cast<char*>(nullptr));
    FromCollationOrder(static_cast<char*>(nullptr));
}

TEST_F(CharTablesTest, TurkishStoredTables)
{
    EXPECT_TRUE(IsPermutation(TurkishRanks));
    EXPECT_EQ(TurkishRanks[0x20], 0x01);
    EXPECT_EQ(TurkishRanks[0x69], 0x75);
    EXPECT_EQ(TurkishRanks[0xFF], 0xAD);
    EXPECT_EQ(TurkishUpper[0x20], 0x00);
    EXPECT_EQ(TurkishUpper[0x61], 0x41);
    EXPECT_EQ(TurkishUpper[0x69], 0xDD);
    EXPECT_EQ(TurkishUpper[0x7A], 0x5A);
    EXPECT_EQ(TurkishUpper[0xE7], 0xC7);
    EXPECT_EQ(TurkishUpper[0xFA], 0xDA);
    EXPECT_EQ(TurkishUpper[0xFD], 0x49);
    EXPECT_EQ(TurkishUpper[0xFE], 0xDE);
    for (int c : {0x00, 0x41, 0x49, 0x7B, 0x9A, 0xDD, 0xF7, 0xF8, 0xFF})
        EXPECT_EQ(TurkishUpper[c], c) << c;
}

TEST_F(CharTablesTest, TurkishLocaleCaseRules)
{
    SetUserLocaleForTests(LocaleTurkish);
    EXPECT_EQ(UserLocale(), LocaleTurkish);
    const TZACharTables& t = CharTables();
    EXPECT_TRUE(t.UseRankTables);
    EXPECT_EQ(t.RankTable, TurkishRanks);
    EXPECT_NE(CompareCharsNoCase("i", "I", 1), 0);
    EXPECT_EQ(CompareCharsNoCase("i", "\xDD", 1), 0);
    EXPECT_EQ(CompareCharsNoCase("\xFD", "I", 1), 0);
    EXPECT_NE(CompareCharsNoCase("\xFD", "i", 1), 0);
    EXPECT_EQ(CompareCharsNoCase("K\xDDTAP", "kitap", 5), 0);
    EXPECT_NE(CompareCharsNoCase("KITAP", "kitap", 5), 0);
    EXPECT_EQ(CompareCharsNoCase("\xE7", "\xC7", 1), 0);
    EXPECT_NE(CompareCharsExact("i", "\xDD", 1), 0);
    EXPECT_FALSE(MatchWildcard("I", "i", true));
    EXPECT_TRUE(MatchWildcard("\xDD", "i", true));
    EXPECT_TRUE(MatchWildcard("DOSYA.TXT", "dos*.txt", false) == false);
    EXPECT_TRUE(MatchWildcard("D\xDDZ\xDDN.TXT", "diz*.txt", true));

    SetUserLocaleForTests(LocaleRussian);
    EXPECT_EQ(CompareCharsNoCase("i", "I", 1), 0);
    EXPECT_TRUE(MatchWildcard("I", "i", true));
}

}  // namespace
