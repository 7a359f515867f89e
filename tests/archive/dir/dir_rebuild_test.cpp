// Damaged archives end in a rebuilt directory or the library's code, never in a crash, a hang or a
// huge allocation; the rebuild itself from local headers.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "archive/ZADirManager.h"
#include "archive/ZAExcept.h"
#include "platform/rtl/streams.h"
#include "zip_builder.h"

namespace {

struct TOpened {
    rtl::TMemoryStream stream;
    TZADirSettings settings;
    std::unique_ptr<TZADirManager> manager;

    TOpened(const std::string& bytes, bool rebuild)
    {
        stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
        settings.ArchiveStream = &stream;
        settings.RebuildDamagedDirectory = rebuild;
        manager = std::make_unique<TZADirManager>(&stream, &settings, false);
    }
};

// Loads with rebuilding on; the result must be the rebuilt directory of the entries' names.
std::vector<std::string> RebuiltNames(const std::string& bytes, int64_t* directoryStart = nullptr)
{
    TOpened a(bytes, true);
    a.manager->LoadDirectory();
    std::vector<std::string> names;
    for (int i = 0; i < a.manager->CurrentDir.Count(); ++i)
        names.push_back(a.manager->CurrentDir.ItemAt(i).FileName);
    if (directoryStart)
        *directoryStart = a.manager->DirectoryStart;
    return names;
}

int CodeWithoutRebuild(const std::string& bytes)
{
    TOpened a(bytes, false);
    try {
        a.manager->LoadDirectory();
    } catch (const EZAException& e) {
        return e.NativeError;
    } catch (const rtl::EStreamError&) {
        return -2;
    }
    return -1;
}

const std::vector<std::string> kNames = {"a.txt", "b/", "b/c.txt"};

TestZip Sample()
{
    return BuildZip({{"a.txt", "alpha"}, {"b/", "", false, false, 0x10}, {"b/c.txt", "gamma gamma"}});
}

// Each class of damage (truncated, flipped central signature, a bad ZIP64 locator, counts and sizes
// beyond the file, extra fields that overrun) ends in a rebuilt directory or the library's own code.
TEST(DirDamaged, FlippedCentralSignatureIsRebuilt)
{
    TestZip zip = Sample();
    zip.bytes[static_cast<size_t>(zip.directoryStart) + 46 + 5] ^= 0x01;  // the second header's 'P'
    int64_t start = 0;
    EXPECT_EQ(RebuiltNames(zip.bytes, &start), kNames);
    EXPECT_EQ(start, static_cast<int64_t>(zip.bytes.size()));
    EXPECT_EQ(CodeWithoutRebuild(zip.bytes), 57);
}

TEST(DirDamaged, EntryCountBeyondTheDirectoryIsRebuiltWithoutSizingFromIt)
{
    TestZip zip = Sample();
    Put16(zip.bytes, zip.endRecordAt + 8, 0xFFFE);
    Put16(zip.bytes, zip.endRecordAt + 10, 0xFFFE);
    EXPECT_EQ(RebuiltNames(zip.bytes), kNames);
    EXPECT_EQ(CodeWithoutRebuild(zip.bytes), 57);
}

TEST(DirDamaged, Zip64CountAndSizeBeyondTheFileAreRebuilt)
{
    for (int field : {32, 40, 48}) {  // total entries, directory size, directory offset
        TestZip zip = BuildZip({{"a.txt", "alpha"}, {"z", "zz"}}, {"", false, "", true});
        Put64(zip.bytes, zip.zip64EndAt + field, 0x4000000000000000ull);
        EXPECT_EQ(RebuiltNames(zip.bytes), (std::vector<std::string>{"a.txt", "z"})) << field;
        Put64(zip.bytes, zip.zip64EndAt + field, 0xFFFFFFFFFFFFFFF0ull);  // negative as signed
        EXPECT_EQ(RebuiltNames(zip.bytes), (std::vector<std::string>{"a.txt", "z"})) << field;
    }
}

TEST(DirDamaged, DirectorySizeBeyondTheFileIsRebuilt)
{
    TestZip zip = Sample();
    Put32(zip.bytes, zip.endRecordAt + 12, 0x7FFFFFF0);
    EXPECT_EQ(RebuiltNames(zip.bytes), kNames);
}

TEST(DirDamaged, DirectoryLongerThanItsEntriesIsRebuilt)
{
    TestZip zip = Sample();
    Put16(zip.bytes, zip.endRecordAt + 10, 2);  // the walk would stop before the directory's end
    EXPECT_EQ(RebuiltNames(zip.bytes), kNames);
}

TEST(DirDamaged, SizesAndOffsetsBeyondTheFileAreRebuilt)
{
    TestZip size = Sample();
    Put32(size.bytes, size.directoryStart + 20, 0x7FFFFFFF);  // first entry's compressed size
    EXPECT_EQ(RebuiltNames(size.bytes), kNames);
    EXPECT_EQ(CodeWithoutRebuild(size.bytes), 57);

    TestZip offset = Sample();
    Put32(offset.bytes, offset.directoryStart + 42, 0x00F00000);  // first entry's local offset
    EXPECT_EQ(RebuiltNames(offset.bytes), kNames);
}

TEST(DirDamaged, Zip64ValueBeyondInt64IsRebuilt)
{
    TestZip zip = BuildZip({{"big", "0123", false, true}}, {"", false, "", true});
    // The ZIP64 block's uncompressed size: after 46 + name (3) + tag and size (4).
    Put64(zip.bytes, zip.directoryStart + 46 + 3 + 4, 0x8000000000000000ull);
    EXPECT_EQ(RebuiltNames(zip.bytes), (std::vector<std::string>{"big"}));
}

TEST(DirDamaged, ExtraLengthRunningIntoTheNextHeaderIsRebuilt)
{
    TestZip zip = Sample();
    Put16(zip.bytes, zip.directoryStart + 30, 0x4000);  // first entry's extra length
    EXPECT_EQ(RebuiltNames(zip.bytes), kNames);
}

TEST(DirDamaged, TruncatedArchiveIsRebuiltFromLocalHeaders)
{
    TestZip zip = BuildZip({{"empty.txt", ""}, {"d/", "", false, false, 0x10}, {"s.bin", "streamed", true},
                            {"last", "last data"}});
    std::string cut = zip.bytes.substr(0, static_cast<size_t>(zip.directoryStart) + 10);
    TOpened a(cut, true);
    a.manager->LoadDirectory();
    TZADirArray& dir = a.manager->CurrentDir;
    ASSERT_EQ(dir.Count(), 4);
    EXPECT_EQ(dir.ItemAt(0).ExternalAttributes, kAttrArchive);  // an empty file stays a file
    EXPECT_EQ(dir.ItemAt(1).ExternalAttributes, kAttrDirectory);
    EXPECT_EQ(dir.ItemAt(2).CompressedSize64(), 8);             // from its data descriptor
    EXPECT_EQ(dir.ItemAt(2).UncompressedSize64(), 8);
    EXPECT_EQ(dir.ItemAt(2).Crc32, Crc("streamed"));
    EXPECT_EQ(dir.ItemAt(2).Signature, kCentralHeaderSig);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(dir.ItemAt(i).LocalHeaderOffset64(), zip.localOffsets[static_cast<size_t>(i)]);
    EXPECT_EQ(a.manager->DirectoryStart, static_cast<int64_t>(cut.size()));

    TOpened off(cut, false);
    EXPECT_FALSE(off.manager->HasEndRecord());
}

TEST(DirDamaged, TruncatedInsideTheDataKeepsEntriesBeforeIt)
{
    TestZip zip = Sample();
    std::string cut = zip.bytes.substr(0, static_cast<size_t>(zip.localOffsets[2]) + 40);  // in the data
    EXPECT_EQ(RebuiltNames(cut), kNames);
    std::string inName = zip.bytes.substr(0, static_cast<size_t>(zip.localOffsets[2]) + 35);
    EXPECT_EQ(RebuiltNames(inName), (std::vector<std::string>{"a.txt", "b/"}));  // a name cut off: no entry
    EXPECT_EQ(RebuiltNames(zip.bytes.substr(0, static_cast<size_t>(zip.localOffsets[2]) + 20)),
              (std::vector<std::string>{"a.txt", "b/"}));
}

TEST(DirDamaged, NoLocalHeaderAnywhereRaises35)
{
    TOpened a(std::string(1000, 'q'), true);
    try {
        a.manager->LoadDirectory();
        ADD_FAILURE();
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError, 35);
        EXPECT_EQ(std::string(e.Message()), "Invalid archive file. - Native error: 00035");
    }
    TOpened empty(std::string(), true);
    EXPECT_THROW(empty.manager->LoadDirectory(), EZAException);
}

// The rebuild skips over the data of an entry whose size it knows, so a nested archive's headers are
// never taken for top-level entries.
TEST(DirDamaged, RebuildSkipsTheDataOfANestedArchive)
{
    std::string inner = BuildZip({{"inner1", "xx"}, {"inner2", "yy", true}}).bytes;
    TestZip outer = BuildZip({{"first", "1"}, {"nested.zip", inner}, {"streamed.zip", inner, true}, {"last", "2"}});
    std::string cut = outer.bytes.substr(0, static_cast<size_t>(outer.directoryStart));
    EXPECT_EQ(RebuiltNames(cut), (std::vector<std::string>{"first", "nested.zip", "streamed.zip", "last"}));
}

// A header that fails a plausibility test is no entry; the others are kept.
TEST(DirDamaged, ImplausibleLocalHeadersArePassedOver)
{
    struct Case {
        const char* damage;
        std::function<void(std::string&, const TestZip&)> apply;
        std::vector<std::string> names;
    };
    const std::vector<Case> cases = {
        {"extra field too long", [](std::string& b, const TestZip& z) { Put16(b, z.localOffsets[0] + 28, 261); },
         {"b/", "b/c.txt"}},
        {"empty name", [](std::string& b, const TestZip& z) { Put16(b, z.localOffsets[0] + 26, 0); },
         {"b/", "b/c.txt"}},
        {"zero byte in the name", [](std::string& b, const TestZip& z) { b[z.localOffsets[2] + 31] = '\0'; },
         {"a.txt", "b/"}},
    };
    for (const Case& c : cases) {
        TestZip zip = Sample();
        std::string cut = zip.bytes.substr(0, static_cast<size_t>(zip.directoryStart));
        c.apply(cut, zip);
        EXPECT_EQ(RebuiltNames(cut), c.names) << c.damage;
    }
}

// A rebuilt directory says so; an entry whose data would run past the stream is kept, to be reported,
// with sizes no check can pass; a header that is no entry is counted.
TEST(DirDamaged, RebuildTellsWhatItCouldNotRecover)
{
    TestZip zip = Sample();
    TOpened whole(zip.bytes, true);
    whole.manager->LoadDirectory();
    EXPECT_FALSE(whole.manager->Rebuilt);
    std::string cut = zip.bytes.substr(0, static_cast<size_t>(zip.directoryStart));
    Put32(cut, zip.localOffsets[1] + 18, 0x7FFFFFFF);  // b/'s compressed size
    Put16(cut, zip.localOffsets[2] + 26, 0);           // b/c.txt's name length
    TOpened a(cut, true);
    a.manager->LoadDirectory();
    EXPECT_TRUE(a.manager->Rebuilt);
    EXPECT_EQ(a.manager->SkippedHeaders, 1);
    ASSERT_EQ(a.manager->CurrentDir.Count(), 2);
    EXPECT_FALSE(a.manager->CurrentDir.ItemAt(0).SizesUnknown);
    EXPECT_EQ(a.manager->CurrentDir.ItemAt(1).FileName, "b/");
    EXPECT_TRUE(a.manager->CurrentDir.ItemAt(1).SizesUnknown);
}

// A streamed entry's sizes are its descriptor's, whatever its local header holds in their place.
TEST(DirDamaged, RebuiltStreamedEntryTakesItsDescriptorOverJunkInItsHeader)
{
    TestZip zip = BuildZip({{"s.txt", "streamed", true}});
    std::string cut = zip.bytes.substr(0, static_cast<size_t>(zip.directoryStart));
    Put32(cut, 18, 0xDEADBEEF);  // the local compressed size
    TOpened a(cut, true);
    a.manager->LoadDirectory();
    ASSERT_EQ(a.manager->CurrentDir.Count(), 1);
    EXPECT_FALSE(a.manager->CurrentDir.ItemAt(0).SizesUnknown);
    EXPECT_EQ(a.manager->CurrentDir.ItemAt(0).CompressedSize64(), 8);
}

TEST(DirDamaged, RebuildReadsZip64LocalExtrasAndLongDescriptors)
{
    // Local header with all-ones sizes and a ZIP64 extra, then a 24-byte descriptor.
    std::string data = "zip64 streamed payload";
    std::string out;
    std::string header(30, '\0');
    Put32(header, 0, kLocalHeaderSig);
    Put16(header, 4, 45);
    Put16(header, 6, kFlagDataDescriptor);
    Put32(header, 18, kNo32);
    Put32(header, 22, kNo32);
    Put16(header, 26, 1);
    Put16(header, 28, 20);
    std::string extra(20, '\0');
    Put16(extra, 0, 1);
    Put16(extra, 2, 16);
    out = header + "z" + extra + data;
    std::string descriptor(24, '\0');
    Put32(descriptor, 0, kDataDescriptorSig);
    Put32(descriptor, 4, Crc(data));
    Put64(descriptor, 8, data.size());
    Put64(descriptor, 16, data.size());
    out += descriptor;
    out += BuildZip({{"after", "1"}}).bytes.substr(0, 30 + 5 + 1);  // next local header, name and data
    TOpened a(out, true);
    a.manager->LoadDirectory();
    ASSERT_EQ(a.manager->CurrentDir.Count(), 2);
    const TDirItem& z = a.manager->CurrentDir.ItemAt(0);
    EXPECT_EQ(z.UncompressedSize64(), static_cast<int64_t>(data.size()));
    EXPECT_EQ(z.CompressedSize64(), static_cast<int64_t>(data.size()));
    EXPECT_EQ(z.Crc32, Crc(data));
    EXPECT_EQ(a.manager->CurrentDir.ItemAt(1).LocalHeaderOffset64(), static_cast<int64_t>(out.size()) - 36);
}

TEST(DirDamaged, RebuildOfManyStreamedEntriesStaysLinear)
{
    std::vector<TestEntry> entries;
    for (int i = 0; i < 20000; ++i)
        entries.push_back({"f" + std::to_string(i), std::string(static_cast<size_t>(i % 50), 'd'), true});
    TestZip zip = BuildZip(entries);
    std::string cut = zip.bytes.substr(0, static_cast<size_t>(zip.directoryStart));
    TOpened a(cut, true);
    a.manager->LoadDirectory();
    ASSERT_EQ(a.manager->CurrentDir.Count(), 20000);
    EXPECT_EQ(a.manager->CurrentDir.ItemAt(19999).CompressedSize64(), 19999 % 50);
}

TEST(DirDamaged, CompressedSizesAddingUpBeyondTheFileRaise57WithoutRebuild)
{
    TestZip zip = Sample();
    TOpened a(zip.bytes, false);
    a.manager->LoadDirectory();
    a.manager->CurrentDir.ItemAt(0).CompressedSize = 0xF0000000;
    EXPECT_THROW(a.manager->CheckTotalSize(), EZAException);
}

// Every truncation and every single-byte change of a small archive (ZIP64 records, a descriptor, a
// stub) ends in a directory or in one of the library's errors, with rebuilding on and off.
TEST(DirDamaged, EveryTruncationAndByteChangeEndsCleanly)
{
    std::vector<TestEntry> entries = {{"a", "alpha"}, {"s", "streamed", true}, {"z", "zip64", false, true},
                                      {"d/", "", false, false, 0x10}};
    TestZip zip = BuildZip(entries, {"stub", false, "c", true});
    auto attempt = [](const std::string& bytes, bool rebuild) {
        TOpened a(bytes, rebuild);
        try {
            a.manager->HasEndRecord();
            a.manager->LoadDirectory();
            for (int i = 0; i < a.manager->CurrentDir.Count(); ++i)
                EXPECT_GE(a.manager->CurrentDir.ItemAt(i).LocalHeaderOffset64(), 0);
        } catch (const EZAException&) {
        } catch (const rtl::EStreamError&) {
        }
    };
    for (size_t cut = 0; cut < zip.bytes.size(); ++cut) {
        attempt(zip.bytes.substr(0, cut), true);
        attempt(zip.bytes.substr(0, cut), false);
    }
    for (size_t at = 0; at < zip.bytes.size(); ++at) {
        for (uint8_t value : {uint8_t{0x00}, uint8_t{0xFF}, uint8_t{0x7F}}) {
            std::string bytes = zip.bytes;
            bytes[at] = static_cast<char>(value);
            attempt(bytes, true);
            attempt(bytes, false);
        }
    }
}

}  // namespace
