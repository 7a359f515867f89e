#include "archive/ZAHashedList.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/rtl/codepage.h"

namespace {

TEST(TZAStringHashTest, HashKeyRotatesAndXors)
{
    TZAStringHash hash(256);
    EXPECT_EQ(hash.HashKey("ABC"), 1371u);
    EXPECT_EQ(hash.HashKey("ABC") % 256, 91u);
    EXPECT_EQ(hash.HashKey("ABC") % 1000, 371u);
    EXPECT_EQ(hash.HashKey(""), 0u);
    // The rotation wraps: after 16 rounds the first byte is back at bit 0.
    EXPECT_EQ(hash.HashKey(std::string("\x01") + std::string(16, '\0')), 1u);
    EXPECT_EQ(hash.HashKey("\xFF"), 0xFFu);
}

TEST(TZAStringHashTest, AddRemoveLookup)
{
    TZAStringHash hash(7);
    EXPECT_EQ(hash.LookupValue("a"), -1);
    hash.AddKey("a", 1);
    hash.AddKey("h", 2);  // same bucket as "a" among 7
    hash.AddKey("a", 3);  // hides the first "a"
    EXPECT_EQ(hash.LookupValue("a"), 3);
    EXPECT_EQ(hash.LookupValue("h"), 2);
    hash.RemoveKey("a");
    EXPECT_EQ(hash.LookupValue("a"), 1);
    hash.RemoveKey("zz");
    hash.AddKey("a", 4);
    hash.RemoveKey("a", 1);  // the node of one value among equal keys
    EXPECT_EQ(hash.LookupValue("a"), 4);
    hash.RemoveKey("a", 4);
    EXPECT_EQ(hash.LookupValue("a"), -1);
    EXPECT_EQ(hash.LookupValue("h"), 2);
    hash.ClearAll();
    EXPECT_EQ(hash.LookupValue("h"), -1);
    EXPECT_EQ(hash.BucketCount(), 7u);
}

TEST(TZAStringHashTest, LongChainOfEqualKeysIsFreedWithoutRecursion)
{
    auto hash = std::make_unique<TZAStringHash>(1);
    for (int i = 0; i < 300000; ++i)
        hash->AddKey("same", i);
    EXPECT_EQ(hash->LookupValue("same"), 299999);
    hash.reset();
}

TEST(TZAHashedStringListTest, LookupsAndCase)
{
    TZAHashedStringList list;
    EXPECT_EQ(list.IndexOf("x"), -1);
    list.Add("README.TXT");
    list.Add("b");
    EXPECT_EQ(list.IndexOf("readme.txt"), 0);
    EXPECT_EQ(list.IndexOf("c"), -1);
    list.Add(rtl::Ru("ЖУРНАЛ"));
    EXPECT_EQ(list.IndexOf(rtl::Ru("журнал")), 2);  // appended while the hash is valid

    list.SetCaseSensitive(true);
    EXPECT_EQ(list.IndexOf("readme.txt"), -1);
    EXPECT_EQ(list.IndexOf("README.TXT"), 0);
}

TEST(TZAHashedStringListTest, DeleteReplaceAndDuplicates)
{
    TZAHashedStringList list;
    list.Add("a");
    list.Add("b");
    list.Add("c");
    list.Delete(0);
    EXPECT_EQ(list.IndexOf("c"), 1);
    EXPECT_EQ(list.IndexOf("a"), -1);

    list.ReplaceAt(0, "x");
    EXPECT_EQ(list.IndexOf("b"), -1);
    EXPECT_EQ(list.IndexOf("x"), 0);
    EXPECT_EQ(list.Strings(0), "x");

    list.Add("c");  // equal strings: the last appended wins
    EXPECT_EQ(list.IndexOf("c"), 2);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.IndexOf("c"), -1);
    list.Add("c");
    EXPECT_EQ(list.IndexOf("c"), 0);
}

// ReplaceAt removes the node of that index, not the first node with an equal key.
TEST(TZAHashedStringListTest, ReplaceAtRemovesTheNodeOfItsOwnIndex)
{
    TZAHashedStringList list;
    list.Add("a");
    list.Add("a");
    ASSERT_EQ(list.IndexOf("a"), 1);  // builds the hash
    list.ReplaceAt(0, "b");
    EXPECT_EQ(list.IndexOf("a"), 1);
    EXPECT_EQ(list.IndexOf("b"), 0);
    list.ReplaceAt(1, "c");
    EXPECT_EQ(list.IndexOf("a"), -1);
    EXPECT_EQ(list.IndexOf("c"), 1);
}

TEST(TZAHashedStringListTest, BadIndicesRaiseAndLeaveTheListAlone)
{
    TZAHashedStringList list;
    list.Add("a");
    list.Add("b");
    ASSERT_EQ(list.IndexOf("b"), 1);
    EXPECT_THROW(list.ReplaceAt(2, "z"), EStringListError);
    EXPECT_THROW(list.ReplaceAt(-1, "z"), EStringListError);
    EXPECT_THROW(list.Delete(2), EStringListError);
    EXPECT_THROW(list.Delete(-1), EStringListError);
    EXPECT_THROW(list.Strings(5), EStringListError);
    try {
        list.Delete(7);
    } catch (const EStringListError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (7)");
    }
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.IndexOf("a"), 0);
    EXPECT_EQ(list.IndexOf("b"), 1);
    EXPECT_EQ(list.IndexOf("z"), -1);
}

TEST(TZAHashedStringListTest, IndexOfName)
{
    TZAHashedStringList list;
    list.Add("ab=2");
    list.Add("a=1");
    list.Add("plain");
    list.Add("=empty");
    EXPECT_EQ(list.IndexOfName("a"), 1);
    EXPECT_EQ(list.IndexOfName("AB"), 0);
    EXPECT_EQ(list.IndexOfName("plain"), -1);
    EXPECT_EQ(list.IndexOfName(""), 3);
    list.Add("a=3");
    EXPECT_EQ(list.IndexOfName("a"), 4);
    list.Delete(0);
    EXPECT_EQ(list.IndexOfName("ab"), -1);
    EXPECT_EQ(list.IndexOfName("a"), 3);
}

TEST(TZAHashedStringListTest, ValueHashGrowsWithTheList)
{
    TZAHashedStringList list;
    for (int i = 0; i < 10; ++i)
        list.Add("f" + std::to_string(i));
    EXPECT_EQ(list.ValueHashBucketCount(), 0u);
    EXPECT_EQ(list.IndexOf("f3"), 3);
    EXPECT_EQ(list.ValueHashBucketCount(), 1000u);
    while (list.Count() < 5000)
        list.Add("f" + std::to_string(list.Count()));
    EXPECT_EQ(list.ValueHashBucketCount(), 1000u);
    list.Add("f5000");  // the 5001st string drops the table
    EXPECT_EQ(list.ValueHashBucketCount(), 0u);
    EXPECT_EQ(list.IndexOf("f4999"), 4999);
    EXPECT_EQ(list.ValueHashBucketCount(), 5001u);
    for (int i = 0; i < list.Count(); ++i)
        ASSERT_EQ(list.IndexOf("F" + std::to_string(i)), i);
}

// The value hash is rebuilt with a bucket count that fits the list.
TEST(TZAHashedStringListTest, StaleValueHashIsResizedOnRebuild)
{
    TZAHashedStringList list;
    list.Add("first");
    ASSERT_EQ(list.IndexOf("first"), 0);
    list.Delete(0);  // stale from here: appends no longer update it nor check its size
    for (int i = 0; i < 20000; ++i)
        list.Add("n" + std::to_string(i));
    EXPECT_EQ(list.IndexOf("n19999"), 19999);
    EXPECT_GE(list.ValueHashBucketCount() * 5, static_cast<uint32_t>(list.Count()));
}

}  // namespace
