// The directory array: growth, empty slots, index checks, the name list kept in step.
#include <gtest/gtest.h>

#include <functional>

#include "archive/ZADirArray.h"
#include "archive/ZAExcept.h"
#include "archive/ZAHashedList.h"

namespace {

int NativeCodeOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EZAException& e) {
        return e.NativeError;
    }
    return -1;
}

TDirItem ItemNamed(const std::string& name, uint16_t tag = 0x5455)
{
    TDirItem item;
    item.FileName = name;
    item.Crc32 = static_cast<uint32_t>(name.size());
    item.ExtraFields.push_back({tag, 3, {1, 2, 3}});
    return item;
}

// An array of the given names, filled as the loader fills one.
void Fill(TZADirArray& array, const std::vector<std::string>& names)
{
    array.Resize(static_cast<int>(names.size()));
    for (size_t i = 0; i < names.size(); ++i) {
        array.ItemAt(static_cast<int>(i)).ExtraFields.push_back({1, 1, {static_cast<uint8_t>(i)}});
        array.RenameItem(static_cast<int>(i), names[i]);
    }
}

TEST(DirArray, CapacityGrowsGeometricallyWhileItemsAreAdded)
{
    TZADirArray array;
    EXPECT_EQ(array.Capacity(), 0);
    std::vector<int> capacities;
    for (int n = 1; n <= 35001; ++n) {
        int before = array.Capacity();
        array.Resize(n);
        if (array.Capacity() != before)
            capacities.push_back(array.Capacity());
    }
    EXPECT_EQ(capacities, (std::vector<int>{1000, 3000, 7000, 15000, 25000, 35000, 45000}));
    EXPECT_EQ(array.GrowStep(), TZADirArray::MaxGrowStep);
}

TEST(DirArray, LargeRequestIsMetExactlyAndZeroReleases)
{
    TZADirArray array;
    array.Resize(5000);
    EXPECT_EQ(array.Capacity(), 5000);
    array.Resize(0);
    EXPECT_EQ(array.Capacity(), 0);
    EXPECT_EQ(array.Count(), 0);
}

// Slots made live by Resize start empty, so a rebuild never sees stale names or ZIP64 values from a
// failed read.
TEST(DirArray, SlotsMadeLiveAgainStartEmpty)
{
    TZADirArray array;
    Fill(array, {"a", "b", "c"});
    array.ItemAt(2).Zip64LocalHeaderOffset = 99;
    array.ItemAt(2).HasZip64Extra = true;
    array.Resize(1);
    EXPECT_EQ(array.NameList().Count(), 1);
    array.Resize(3);
    const TDirItem& slot = array.ItemAt(2);
    EXPECT_TRUE(slot.FileName.empty());
    EXPECT_TRUE(slot.ExtraFields.empty());
    EXPECT_EQ(slot.Zip64LocalHeaderOffset, 0);
    EXPECT_FALSE(slot.HasZip64Extra);
    // The slot takes a new name as the loader gives it.
    array.RenameItem(1, "x");
    array.RenameItem(2, "y");
    EXPECT_EQ(array.IndexOfName("Y"), 2);
}

TEST(DirArray, IndexChecksRaiseTheirCodes)
{
    TZADirArray array;
    Fill(array, {"a", "b", "c"});
    EXPECT_EQ(NativeCodeOf([&] { array.FetchItem(3); }), 2);
    EXPECT_EQ(NativeCodeOf([&] { array.ItemAt(-1); }), 3);
    EXPECT_EQ(NativeCodeOf([&] { array.RemoveItem(3); }), 4);
    EXPECT_EQ(NativeCodeOf([&] { array.StoreItem(3, TDirItem{}); }), 1);
    try {
        array.FetchItem(-1);
        FAIL();
    } catch (const EZAException& e) {
        EXPECT_EQ(std::string(e.Message()), "Index out of bounds - Native error: 00002");
    }
}

TEST(DirArray, StoreItemWithNameListBehindRaises58AndChangesNothing)
{
    TZADirArray array;
    array.Resize(3);
    array.RenameItem(0, "a");
    EXPECT_EQ(NativeCodeOf([&] { array.StoreItem(2, ItemNamed("z")); }), 58);
    EXPECT_TRUE(array.ItemAt(2).FileName.empty());
    EXPECT_EQ(array.NameList().Count(), 1);
}

TEST(DirArray, StoreItemMakesADeepCopyAndSetsTheName)
{
    TZADirArray array;
    Fill(array, {"a", "b"});
    TDirItem item = ItemNamed("New.TXT");
    array.StoreItem(1, item);
    item.ExtraFields[0].Data[0] = 77;
    EXPECT_EQ(array.ItemAt(1).ExtraFields[0].Data[0], 1);
    EXPECT_EQ(array.IndexOfName("new.txt"), 1);
    EXPECT_EQ(array.IndexOfName("b"), -1);
}

// RemoveItem removes the name-list entry at the item's own index.
TEST(DirArray, RemoveItemDropsTheEntryAtItsOwnIndex)
{
    TZADirArray array;
    Fill(array, {"same", "other", "same"});
    array.RemoveItem(2);
    ASSERT_EQ(array.NameList().Count(), 2);
    EXPECT_EQ(array.NameList().Strings(0), "same");
    EXPECT_EQ(array.NameList().Strings(1), "other");
    EXPECT_EQ(array.IndexOfName("same"), 0);
}

TEST(DirArray, RemovingTheFirstItemClosesTheGap)
{
    TZADirArray array;
    Fill(array, {"a", "b", "c"});
    array.RemoveItem(0);
    ASSERT_EQ(array.Count(), 2);
    EXPECT_EQ(array.ItemAt(0).FileName, "b");
    EXPECT_EQ(array.ItemAt(1).ExtraFields.back().Data[0], 2);
    EXPECT_EQ(array.IndexOfName("c"), 1);
    array.Resize(3);
    EXPECT_TRUE(array.ItemAt(2).FileName.empty());
    EXPECT_TRUE(array.ItemAt(2).ExtraFields.empty());
}

TEST(DirArray, RenameKeepsIndexLookupsRightForDuplicateAndEmptyNames)
{
    TZADirArray array;
    // Two nameless entries and duplicates load without a name-list conflict.
    Fill(array, {"", "", "dup", "DUP"});
    EXPECT_EQ(array.NameList().Count(), 4);
    array.RenameItem(3, "fresh");
    EXPECT_EQ(array.IndexOfName("fresh"), 3);
    EXPECT_EQ(array.IndexOfName("dup"), 2);
}

// A name finds its exact match before one alike but for case; many items leave in one pass with the
// name list in step, and none when an index is bad.
TEST(DirArray, LookupsPreferTheExactNameAndRemovalsKeepNamesInStep)
{
    TZADirArray array;
    Fill(array, {"a", "Twin", "b", "twin", "c", "TWIN"});
    EXPECT_EQ((std::vector<int>{array.IndexOfName("Twin"), array.IndexOfName("twin"), array.IndexOfName("tWIN")}),
              (std::vector<int>{1, 3, 5}));
    EXPECT_EQ(array.IndexesNamed("twin"), std::vector<int>{3});
    EXPECT_EQ(NativeCodeOf([&] { array.RemoveItems({0, 6}); }), 4);
    array.RemoveItems({0, 3, 5});
    ASSERT_EQ(array.Count(), 3);
    EXPECT_EQ(array.ItemAt(2).FileName, "c");
    EXPECT_EQ(array.NameList().Strings(0), "twin");
    EXPECT_EQ(array.IndexOfName("twin"), 0);
    EXPECT_EQ(array.IndexOfName("C"), 2);
}

TEST(DirArray, RenameWithTheNameListOutOfStepRaises59)
{
    TZADirArray array;
    array.Resize(3);
    array.RenameItem(0, "a");
    EXPECT_EQ(NativeCodeOf([&] { array.RenameItem(2, "c"); }), 59);
    array.NameList().ReplaceAt(0, "zzz");
    EXPECT_EQ(NativeCodeOf([&] { array.RenameItem(0, "b"); }), 59);
    EXPECT_EQ(array.ItemAt(0).FileName, "a");
}

TEST(DirArray, CopyFromIsIndependentOfItsSource)
{
    TZADirArray source;
    Fill(source, {"a", "b", "c"});
    TZADirArray copy;
    Fill(copy, {"old"});
    copy.CopyFrom(source);
    ASSERT_EQ(copy.Count(), 3);
    EXPECT_EQ(copy.IndexOfName("c"), 2);
    copy.RemoveItem(0);
    copy.ItemAt(0).ExtraFields[0].Data[0] = 42;
    EXPECT_EQ(source.Count(), 3);
    EXPECT_EQ(source.ItemAt(1).ExtraFields[0].Data[0], 1);
    EXPECT_EQ(source.IndexOfName("a"), 0);
}

TEST(DirArray, FetchedCopyOutlivesChangesToTheArray)
{
    TZADirArray array;
    Fill(array, {"a"});
    TDirItem copy = array.FetchItem(0);
    array.Clear();
    array.Resize(0);
    ASSERT_EQ(copy.ExtraFields.size(), 1u);
    EXPECT_EQ(copy.ExtraFields[0].Data.size(), 1u);
    EXPECT_EQ(copy.FileName, "a");
}

TEST(DirArray, ClearKeepsCapacityAndClearMarksTouchesLiveItemsOnly)
{
    TZADirArray array;
    Fill(array, {"a", "b"});
    array.ItemAt(0).MarkedForProcessing = 1;
    array.ItemAt(1).MarkedForProcessing = 1;
    array.ClearMarks();
    EXPECT_EQ(array.ItemAt(0).MarkedForProcessing, 0);
    EXPECT_EQ(array.ItemAt(1).MarkedForProcessing, 0);
    array.Clear();
    EXPECT_EQ(array.Count(), 0);
    EXPECT_EQ(array.Capacity(), 1000);
    EXPECT_EQ(array.NameList().Count(), 0);
}

TEST(DirArray, SixtyFourBitValuesAndOffsets)
{
    TDirItem item;
    item.CompressedSize = kNo32;
    item.Zip64CompressedSize = 0x123456789LL;
    item.UncompressedSize = 5;
    EXPECT_EQ(item.CompressedSize64(), 0x123456789LL);
    EXPECT_EQ(item.UncompressedSize64(), 5);
    item.SetLocalHeaderOffset64(100);
    EXPECT_EQ(item.LocalHeaderOffset, 100u);
    item.SetLocalHeaderOffset64(0x100000000LL);
    EXPECT_EQ(item.LocalHeaderOffset, kNo32);
    EXPECT_EQ(item.LocalHeaderOffset64(), 0x100000000LL);
    item.SetLocalHeaderOffset64(7);  // an offset once in the ZIP64 value stays there
    EXPECT_EQ(item.LocalHeaderOffset64(), 7);
}

}  // namespace
