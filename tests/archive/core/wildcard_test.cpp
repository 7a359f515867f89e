#include <gtest/gtest.h>

#include <random>
#include <string>

#include "archive/ZAStrFunc.h"
#include "locale_fixture.h"
#include "tests/archive/core/wildcard_reference.h"

namespace {

using WildcardTest = LocaleTest;

struct Case {
    const char* name;
    const char* mask;
    bool ignoreCase;
    bool expected;
};

TEST_F(WildcardTest, RulesOfTheMatcher)
{
    const Case cases[] = {
        {"", "*", false, true},            {"", "", false, true},
        {"a", "", false, false},           {"", "a", false, false},
        {"a", "a**", false, false},        {"ab", "a**", false, true},
        {"", "**", false, false},          {"x", "**", false, true},
        {"a", "a*", false, true},          {"abc", "*.*", false, true},
        {"", "*.*", false, true},          {"abc", "*.", false, false},
        {"abc.", "*.", false, true},       {"a", "a?", false, false},
        {"ab", "a?", false, true},         {"", "?", false, false},
        {"a", "*?", false, true},          {"", "*?", false, false},
        {"README.TXT", "readme.txt", true, true},
        {"README.TXT", "readme.txt", false, false},
        {"readme.txt", "*.TXT", true, true},
        {"dir\\sub\\file.pas", "*\\sub\\*.pas", false, true},
        {"file.pas", "*.pa", false, false},
        {"aXbXc", "a*b*c", false, true},   {"ab", "a*b*c", false, false},
        {"abcabc", "*abc", false, true},   {"a.b.c", "*.c", false, true},
        {"x", "x*.*", false, false},       {"x.", "x*.*", false, true},
        {"abc", "**.*", false, true},      {"", "**.*", false, false},
        {"xab", "x**.*", false, true},     {"x", "x**.*", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchWildcard(c.name, c.mask, c.ignoreCase), c.expected)
            << '"' << c.name << "\" against \"" << c.mask << "\" ignoreCase " << c.ignoreCase;
        EXPECT_EQ(WildcardReference(c.name, c.mask, c.ignoreCase), c.expected) << c.name << " / " << c.mask;
    }
}

TEST_F(WildcardTest, ZeroByteEndsNameAndMask)
{
    EXPECT_TRUE(MatchWildcard(std::string_view("ab\0cd", 5), "ab", false));
    EXPECT_TRUE(MatchWildcard("ab", std::string_view("a?\0zz", 5), false));
}

TEST_F(WildcardTest, SingleCharactersAgreeWithTheLocaleCompares)
{
    for (uint32_t locale : {LocaleRussian, LocaleTurkish}) {
        SetUserLocaleForTests(locale);
        for (int a = 1; a < 256; ++a)
            for (int b = 1; b < 256; ++b) {
                if (a == '*' || a == '?' || b == '*' || b == '?')
                    continue;
                const std::string name(1, static_cast<char>(a));
                const std::string mask(1, static_cast<char>(b));
                ASSERT_EQ(MatchWildcard(name, mask, true), CompareCharsNoCase(name, mask, 1) == 0)
                    << locale << ' ' << a << ' ' << b;
                ASSERT_EQ(MatchWildcard(name, mask, false), a == b);
            }
    }
}

// The matcher gives every result the literal recursive walk gives, without its exponential time.
TEST_F(WildcardTest, AgreesWithTheRecursiveWalkOnRandomInputs)
{
    std::mt19937 random(20261209);
    const std::string nameChars = "aAbB.iI\xDD\xFDx";
    const std::string maskChars = nameChars + "**??";
    auto randomString = [&](const std::string& alphabet, int maxLength) {
        std::string s(random() % (maxLength + 1), ' ');
        for (char& c : s)
            c = alphabet[random() % alphabet.size()];
        return s;
    };
    for (uint32_t locale : {LocaleRussian, LocaleTurkish}) {
        SetUserLocaleForTests(locale);
        int matches = 0;
        for (int round = 0; round < 40000; ++round) {
            const std::string name = randomString(nameChars, 8);
            std::string mask = round % 50 == 0 ? "*.*" : randomString(maskChars, 7);
            if (round % 10 == 1)
                mask += "*.*";  // reached by the recursion only
            const bool ignoreCase = round % 2 == 0;
            const bool expected = WildcardReference(name, mask, ignoreCase);
            matches += expected;
            ASSERT_EQ(MatchWildcard(name, mask, ignoreCase), expected)
                << "locale " << locale << " name \"" << name << "\" mask \"" << mask << "\" ignoreCase "
                << ignoreCase;
        }
        EXPECT_GT(matches, 2000);  // both outcomes are well represented
        EXPECT_LT(matches, 38000);
    }
}

TEST_F(WildcardTest, PathologicalMaskOnALongNameFinishes)
{
    const std::string name(10000, 'a');
    EXPECT_FALSE(MatchWildcard(name, "*a*a*a*a*a*a*a*a*b", false));
    EXPECT_TRUE(MatchWildcard(name + "b", "*a*a*a*a*a*a*a*a*b", true));
    EXPECT_FALSE(MatchWildcard(name, "*?*?*?*?*?*?*?*?*?*?*c*", false));
}

}  // namespace
