// Reading the central directory: end records, ZIP64, stubs in front, names and extra fields.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "archive/ZADirManager.h"
#include "archive/ZAExcept.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/streams.h"
#include "zip_builder.h"

namespace {

// A manager over an archive held in memory.
struct TOpened {
    rtl::TMemoryStream stream;
    TZADirSettings settings;
    std::unique_ptr<TZADirManager> manager;

    explicit TOpened(const std::string& bytes, bool rebuild = true)
    {
        stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
        settings.ArchiveStream = &stream;
        settings.RebuildDamagedDirectory = rebuild;
        manager = std::make_unique<TZADirManager>(&stream, &settings, false);
    }
    TZADirArray& dir() { return manager->CurrentDir; }
    const TDirItem& item(int i) { return manager->CurrentDir.ItemAt(i); }
};

std::unique_ptr<TOpened> Load(const std::string& bytes, bool rebuild = true)
{
    auto opened = std::make_unique<TOpened>(bytes, rebuild);
    opened->manager->LoadDirectory();
    return opened;
}

constexpr uint16_t kUnix = 0x031E, kDos = 20;  // "version made by" of those hosts

TestEntry Named(const std::string& raw, uint16_t flags, uint16_t madeBy)
{
    TestEntry e{raw, "x"};
    e.flags = flags, e.madeBy = madeBy;
    return e;
}

int LoadCode(const std::string& bytes, bool rebuild = true)
{
    try {
        Load(bytes, rebuild);
    } catch (const EZAException& e) {
        return e.NativeError;
    }
    return -1;
}

std::vector<TestEntry> ThreeEntries()
{
    return {{"readme.txt", "hello"}, {"docs/", "", false, false, 0x10}, {"docs/a.txt", "some text here"}};
}

TEST(DirManager, PlainArchiveKeepsItsOffsets)
{
    TestZip zip = BuildZip(ThreeEntries(), {"", false, "archive comment"});
    auto a = Load(zip.bytes);
    ASSERT_EQ(a->dir().Count(), 3);
    EXPECT_EQ(a->manager->PrefixSize, 0);
    EXPECT_EQ(a->manager->DirectoryStart, zip.directoryStart);
    EXPECT_EQ(a->manager->Comment, "archive comment");
    EXPECT_EQ(a->manager->EndRecord.TotalEntries, 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(a->item(i).LocalHeaderOffset64(), zip.localOffsets[i]);
    EXPECT_EQ(a->item(0).FileName, "readme.txt");
    EXPECT_EQ(a->item(0).Crc32, Crc("hello"));
    EXPECT_EQ(a->dir().IndexOfName("DOCS/A.TXT"), 2);
}

// The stub shift is the actual directory start minus the recorded one, checked by a local header
// signature at the first entry's shifted offset, and applied to the 64-bit offsets of every entry.
TEST(DirManager, StubInFrontShiftsEveryOffsetFoldersIncluded)
{
    std::string stub(5000, 'S');
    stub.replace(100, 4, "PK\x03\x04");  // a stray signature in the stub is not taken
    TestZip zip = BuildZip(ThreeEntries(), {stub, false, ""});
    auto a = Load(zip.bytes);
    ASSERT_EQ(a->dir().Count(), 3);
    EXPECT_EQ(a->manager->PrefixSize, 5000);
    EXPECT_EQ(a->manager->OffsetShift, 5000);
    EXPECT_FALSE(a->manager->EntriesInFront);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(a->item(i).LocalHeaderOffset64(), zip.localOffsets[i]) << i;
}

// The last entry's size may reach into the directory (read up to it); any other's is damage.
TEST(DirManager, SizeOfTheLastEntryReachingIntoTheDirectoryIsCut)
{
    TestZip zip = BuildZip(ThreeEntries());
    Put32(zip.bytes, zip.directoryStart + 2 * 46 + 10 + 5 + 20, 100);  // docs/a.txt's compressed size
    auto a = Load(zip.bytes);
    EXPECT_FALSE(a->manager->Rebuilt);
    EXPECT_TRUE(a->item(2).SizeCut && !a->item(0).SizeCut);
    Put32(zip.bytes, zip.directoryStart + 20, 200);  // readme.txt's, before the others
    EXPECT_TRUE(Load(zip.bytes)->manager->Rebuilt);
}

TEST(DirManager, StubWithOffsetsCountedFromTheFileAddsNothing)
{
    TestZip zip = BuildZip(ThreeEntries(), {std::string(5000, 'S'), true, ""});
    auto a = Load(zip.bytes);
    EXPECT_EQ(a->manager->PrefixSize, 5000);
    EXPECT_EQ(a->manager->OffsetShift, 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(a->item(i).LocalHeaderOffset64(), zip.localOffsets[i]);
}

TEST(DirManager, StubBeforeAFolderAndDataDescriptorEntries)
{
    std::vector<TestEntry> entries = {{"dir/", "", false, false, 0x10}, {"a.bin", "streamed data", true}};
    TestZip zip = BuildZip(entries, {std::string(777, 'x'), false, ""});
    auto a = Load(zip.bytes);
    EXPECT_EQ(a->item(0).LocalHeaderOffset64(), zip.localOffsets[0]);
    EXPECT_EQ(a->item(1).LocalHeaderOffset64(), zip.localOffsets[1]);
    EXPECT_EQ(a->item(1).CompressedSize64(), 13);
}

TEST(DirManager, StubFoundBySearchWhenTheDirectoryOffsetWasAdjustedAlone)
{
    std::string stub(3000, 'S');
    stub.replace(10, 4, "PK\x03\x04");  // a signature that does not agree with the first entry
    TestZip zip = BuildZip(ThreeEntries(), {stub, false, ""});
    Put32(zip.bytes, zip.endRecordAt + 16, static_cast<uint32_t>(zip.directoryStart));
    auto a = Load(zip.bytes, false);
    EXPECT_EQ(a->manager->OffsetShift, 3000);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(a->item(i).LocalHeaderOffset64(), zip.localOffsets[i]);
}

TEST(DirManager, EmptyArchiveWithDataInFront)
{
    TestZip zip = BuildZip({}, {std::string(300, 'z'), false, ""});
    auto a = Load(zip.bytes);
    EXPECT_EQ(a->dir().Count(), 0);
    EXPECT_EQ(a->manager->PrefixSize, 300);
}

TEST(DirManager, LongestCommentIsFoundAndFalseSignaturesInItAreRejected)
{
    std::string comment(65535, 'c');
    comment.replace(10, 4, "PK\x05\x06");             // fails its length test
    comment.replace(65535 - 30, 4, "PK\x05\x06");     // nearest the end, tried first
    TestZip zip = BuildZip(ThreeEntries(), {"", false, comment});
    auto a = Load(zip.bytes);
    EXPECT_EQ(a->manager->Comment, comment);
    EXPECT_EQ(a->dir().Count(), 3);
    EXPECT_EQ(a->manager->DirectoryStart, zip.directoryStart);
}

TEST(DirManager, CommentShorterThanRecordedMeansNoEndRecord)
{
    TestZip zip = BuildZip(ThreeEntries(), {"", false, "comment"});
    std::string cut = zip.bytes.substr(0, zip.bytes.size() - 1);
    TOpened a(cut, false);
    EXPECT_FALSE(a.manager->HasEndRecord());
    a.settings.RebuildDamagedDirectory = true;
    EXPECT_TRUE(a.manager->HasEndRecord());
    a.manager->LoadDirectory();  // rebuilt from the local headers
    EXPECT_EQ(a.dir().Count(), 3);
    EXPECT_EQ(a.manager->DirectoryStart, static_cast<int64_t>(cut.size()));
}

TEST(DirManager, Zip64RecordsAndExtraValues)
{
    std::vector<TestEntry> entries = {{"big.bin", "0123456789", false, true}, {"small", "x"}};
    TestZip zip = BuildZip(entries, {"", false, "", true});
    auto a = Load(zip.bytes);
    EXPECT_TRUE(a->manager->IsZip64);
    EXPECT_EQ(a->manager->Zip64EndRecord.TotalEntries, 2u);
    EXPECT_EQ(a->manager->DirectoryStart, zip.directoryStart);
    const TDirItem& big = a->item(0);
    EXPECT_TRUE(big.HasZip64Extra);
    EXPECT_EQ(big.UncompressedSize, kNo32);
    EXPECT_EQ(big.Zip64UncompressedSize, 10);
    EXPECT_EQ(big.Zip64CompressedSize, 10);
    EXPECT_EQ(big.Zip64LocalHeaderOffset, 0);
    ASSERT_EQ(big.ExtraFields.size(), 1u);
    EXPECT_EQ(big.ExtraFields[0].Tag, 1);
    EXPECT_EQ(big.ExtraFields[0].Size, 24);
    EXPECT_EQ(a->item(1).LocalHeaderOffset64(), zip.localOffsets[1]);
}

TEST(DirManager, Zip64ArchiveWithStubFindsItsEndRecordBeforeTheLocator)
{
    std::vector<TestEntry> entries = {{"big.bin", "0123456789", false, true}};
    TestZip zip = BuildZip(entries, {std::string(1000, 's'), false, "", true});
    auto a = Load(zip.bytes);
    ASSERT_EQ(a->dir().Count(), 1);
    EXPECT_EQ(a->item(0).LocalHeaderOffset64(), 1000);
}

TEST(DirManager, LocatorWithoutZip64EndRecordRaises40)
{
    TestZip zip = BuildZip(ThreeEntries(), {"", false, "", true});
    Put32(zip.bytes, zip.zip64EndAt, 0x12345678);
    EXPECT_EQ(LoadCode(zip.bytes, true), 40);
    EXPECT_EQ(LoadCode(zip.bytes, false), 40);
    TestZip far = BuildZip(ThreeEntries(), {"", false, "", true});
    Put64(far.bytes, far.locatorAt + 8, 0x7FFFFFFFFFFFFFF0ull);  // offset beyond the file
    Put32(far.bytes, far.zip64EndAt, 0);
    EXPECT_EQ(LoadCode(far.bytes), 40);
}

TEST(DirManager, AllOnesEntryCountWithoutZip64IsRebuilt)
{
    TestZip zip = BuildZip(ThreeEntries());
    Put16(zip.bytes, zip.endRecordAt + 10, 0xFFFF);
    auto a = Load(zip.bytes);
    EXPECT_EQ(a->dir().Count(), 3);
    EXPECT_EQ(a->manager->DirectoryStart, static_cast<int64_t>(zip.bytes.size()));
}

// A zero byte ends no name: cut there, "ab" and "ab\0cd" would show as one.
TEST(DirManager, OemNamesAreConvertedAndAZeroByteIsEscaped)
{
    std::string oemName = "\x8f\xe0\xa8\xa2\xa5\xe2.txt";  // "Привет.txt" in cp866
    std::string zeroName("ab\0cd", 5);
    TestZip zip = BuildZip({{oemName, "1"}, {zeroName, "2"}, {"ab", "3"}});
    auto a = Load(zip.bytes);
    EXPECT_EQ(a->item(0).FileName, rtl::Ru("Привет.txt"));
    EXPECT_EQ(a->item(1).FileName, "ab<U+0000>cd");
    EXPECT_EQ(a->item(2).FileName, "ab");
    a->settings.OEMFileNames = false;
    a->manager->LoadDirectory();
    EXPECT_EQ(a->item(0).FileName, oemName);
}

// Names in UTF-8, flagged or (from hosts outside DOS and Windows) not, or in cp866; a character
// cp1251 lacks is escaped one to one, so no two names meet.
TEST(DirManager, NamesAreReadInTheFormTheyAreStoredIn)
{
    const struct {
        std::string raw;
        uint16_t flags, madeBy;
        std::string name;  // UTF-8
        bool lossy;
    } cases[] = {
        {"\xd0\x9f\xd1\x80\xd0\xb8.txt", kFlagUtf8Name, kDos, "При.txt", false},
        {"\xd0\x9f\xd1\x80\xd0\xb8.txt", 0, kUnix, "При.txt", false},
        {"\xe2\xa5\xac.txt", 0, kDos, "тем.txt", false},  // cp866, also well-formed UTF-8
        {"\xe2\xa5\xac.txt", 0, kUnix, "<U+296C>.txt", true},
        {"\x8f\xe0\xa8.txt", 0, kUnix, "При.txt", false},  // cp866, not UTF-8
        {"\xce.txt", 0, kDos, "<U+256C>.txt", true},       // cp866 box drawing
        {"\xe6\x97\xa5.txt", kFlagUtf8Name, kDos, "<U+65E5>.txt", true},
        {"\xe6\x97\xa5.txt", 0, kUnix, "<U+65E5>.txt", true},
        {"<\xe6\x97\xa5>.txt", 0, kUnix, "<U+003C><U+65E5>>.txt", true},
        {"<U+65E5>.txt", 0, kUnix, "<U+003C>U+65E5>.txt", false},  // reads as an escape
        {"<e9>-<b>.txt", 0, kDos, "<U+003C>e9>-<U+003C>b>.txt", false},
        {"<b>.txt", 0, kUnix, "<b>.txt", false},
        {"\xe6\x97.txt", kFlagUtf8Name, kUnix, "<E6><97>.txt", true},
        {"\xf0\x9f\x98\x80?", kFlagUtf8Name, kUnix, "<U+1F600>?", true},
    };
    for (const auto& c : cases) {
        auto a = Load(BuildZip({Named(c.raw, c.flags, c.madeBy)}).bytes);
        EXPECT_EQ(rtl::Cp1251ToUtf8(a->item(0).FileName), c.name) << c.name;
        EXPECT_EQ(a->item(0).NameLossy, c.lossy) << c.name;
        EXPECT_EQ(a->item(0).StoredName, c.raw) << c.name;
    }
}

// Names of other bytes never show alike, whichever comes first: a name read from a code page that
// meets a UTF-8 one gives way, every character outside ASCII and every "<" written with eight digits.
TEST(DirManager, EntriesShowOneNameOnlyForTheSameBytes)
{
    const TestEntry raw = Named("\xe9<.txt", 0, kUnix), utf8 = Named("\xd1\x89<.txt", 0, kUnix),
                    flagged = Named("\xd1\x89<.txt", kFlagUtf8Name, kDos), dos = Named("\xb0", 0, kDos),
                    shade = Named("\xe2\x96\x91", kFlagUtf8Name, kDos);
    const std::string rawShown = "<U+00000449><U+0000003C>.txt";  // UTF-8
    const std::pair<std::vector<TestEntry>, std::vector<std::string>> cases[] = {
        {{raw, utf8}, {rawShown, "щ<.txt"}},
        {{utf8, raw, raw, flagged}, {"щ<.txt", rawShown, rawShown, "щ<.txt"}},
        {{dos, shade}, {"<U+00002591>", "<U+2591>"}},
    };
    for (const auto& [entries, shown] : cases) {
        auto a = Load(BuildZip(entries).bytes);
        std::vector<std::string> names;
        for (int i = 0; i < a->dir().Count(); ++i) names.push_back(rtl::Cp1251ToUtf8(a->item(i).FileName));
        EXPECT_EQ(names, shown);
    }
}

// An extra field whose blocks overrun its length stops parsing at the field's end.
TEST(DirManager, ExtraBlocksThatOverrunTheFieldAreCut)
{
    TestEntry e{"a", "data"};
    e.centralExtra = std::string("\x55\x54\x10\x00" "abc", 7);  // claims 16 bytes, has 3
    TestEntry f{"b", "data"};
    f.centralExtra = std::string("\x0a\x00\x01\x00" "z" "\x01\x00", 7);  // two bytes left over
    f.data = "more";
    auto a = Load(BuildZip({e, f}, {"", false, "tail"}).bytes);
    ASSERT_EQ(a->item(0).ExtraFields.size(), 1u);
    EXPECT_EQ(a->item(0).ExtraFields[0].Size, 3);
    EXPECT_EQ(std::string(a->item(0).ExtraFields[0].Data.begin(), a->item(0).ExtraFields[0].Data.end()), "abc");
    ASSERT_EQ(a->item(1).ExtraFields.size(), 1u);
    EXPECT_EQ(a->item(1).FileName, "b");
    EXPECT_EQ(a->manager->Comment, "tail");
}

TEST(DirManager, ShortZip64BlockLeavesTheFieldAllOnes)
{
    TestEntry e{"a", "data"};
    e.centralExtra = std::string("\x01\x00\x04\x00" "abcd", 8);
    TestZip zip = BuildZip({e});
    // Mark the compressed size as living in the ZIP64 block, which is too short for it.
    Put32(zip.bytes, zip.directoryStart + 20, kNo32);
    auto a = Load(zip.bytes, false);
    EXPECT_TRUE(a->item(0).HasZip64Extra);
    EXPECT_EQ(a->item(0).CompressedSize, kNo32);
    EXPECT_EQ(a->item(0).Zip64CompressedSize, 0);
}

TEST(DirManager, WriteStubCopiesTheFileAndChecksTheFirstVolume)
{
    auto path = std::filesystem::temp_directory_path() / ("zadir_stub_" + std::to_string(::getpid()));
    {
        std::ofstream(path, std::ios::binary) << std::string(4096, 'M');
    }
    rtl::TMemoryStream stream;
    TZADirSettings settings;
    settings.ArchiveStream = &stream;
    settings.SFXStub = path.string();
    TZADirManager manager(&stream, &settings, true);
    EXPECT_EQ(stream.Size(), 4096);
    EXPECT_EQ(manager.PrefixSize, 4096);

    settings.Spanned = true;
    settings.FirstVolumeLimit = 4000;
    try {
        TZADirManager tooSmall(&stream, &settings, true);
        ADD_FAILURE();
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError, 47);
    }
    std::filesystem::remove(path);
}

TEST(DirManager, ResetEndRecordLeavesAnEmptyRecordWithItsSignature)
{
    rtl::TMemoryStream stream;
    TZADirSettings settings;
    settings.ArchiveStream = &stream;
    TZADirManager manager(&stream, &settings, false);
    EXPECT_EQ(manager.EndRecord.Signature, kEndRecordSig);
    EXPECT_EQ(manager.EndRecord.TotalEntries, 0);
    EXPECT_FALSE(manager.DetachedStream);
    TZADirManager detached(&stream, nullptr, false);
    EXPECT_TRUE(detached.DetachedStream);
}

// A host whose archive is split over volumes held in memory.
struct TVolumeHost : TZADirSettings {
    std::vector<std::unique_ptr<rtl::TMemoryStream>> volumes;
    std::vector<int> requested;
    void DirOpenVolume(int32_t number, int32_t) override
    {
        requested.push_back(number);
        ArchiveStream = volumes.at(static_cast<size_t>(number)).get();
    }
};

TEST(DirManager, SpannedDirectoryIsReadAcrossVolumes)
{
    // Volume 0 holds the data and the first central header; volume 1 the rest and the end record.
    TestZip zip = BuildZip({{"one", "1111"}, {"two", "2222"}});
    int64_t split = zip.directoryStart + 46 + 3;  // after the first header and its name
    std::string first = zip.bytes.substr(0, static_cast<size_t>(split));
    std::string second = zip.bytes.substr(static_cast<size_t>(split));
    // The end record on the last disk: this disk 1, directory from disk 0.
    int64_t endAt = zip.endRecordAt - split;
    Put16(second, endAt + 4, 1);
    Put16(second, endAt + 6, 0);
    TVolumeHost host;
    for (const std::string* part : {&first, &second}) {
        host.volumes.push_back(std::make_unique<rtl::TMemoryStream>());
        host.volumes.back()->WriteBuffer(part->data(), static_cast<int64_t>(part->size()));
    }
    host.Spanned = true;
    host.ArchiveStream = host.volumes[1].get();
    TZADirManager manager(host.ArchiveStream, &host, false);
    manager.LoadDirectory();
    EXPECT_EQ(host.requested, (std::vector<int>{0, 1}));
    ASSERT_EQ(manager.CurrentDir.Count(), 2);
    EXPECT_EQ(manager.CurrentDir.ItemAt(1).FileName, "two");
    EXPECT_EQ(manager.DirectoryStart, zip.directoryStart);
}

TEST(DirManager, SpannedArchiveIsNeverRebuilt)
{
    TestZip zip = BuildZip(ThreeEntries());
    TOpened a(zip.bytes.substr(0, zip.bytes.size() - 22));
    a.settings.Spanned = true;
    try {
        a.manager->LoadDirectory();
        ADD_FAILURE();
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError, 44);
    }
}

}  // namespace
