// The directory writer: the end records, ZIP64 records and extra blocks it writes, directories of
// real archives written back byte for byte and read again, and writing through volumes.
#include <zlib.h>

#include "archive/ZAConst.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/streams.h"
#include "tests/archive/archiver/fixture.h"

namespace {

std::string Bytes(rtl::TMemoryStream& s)
{
    return std::string(s.Memory(), static_cast<size_t>(s.Size()));
}

uint16_t U16At(const std::string& b, size_t at)
{
    return GetU16(reinterpret_cast<const uint8_t*>(b.data()) + at);
}

uint32_t U32At(const std::string& b, size_t at)
{
    return GetU32(reinterpret_cast<const uint8_t*>(b.data()) + at);
}

// A manager on its own over a memory stream, as the zipdir driver uses one.
struct StandaloneManager {
    explicit StandaloneManager(bool oemNames = true)
    {
        settings.OEMFileNames = oemNames;
        settings.ArchiveStream = &stream;
        manager = std::make_unique<TZADirManager>(&stream, &settings, false);
    }

    // Appends an entry with the given name and no data.
    TDirItem& Add(const std::string& name)
    {
        const int i = manager->CurrentDir.Count();
        manager->CurrentDir.Resize(i + 1);
        TDirItem& item = manager->CurrentDir.ItemAt(i);
        item.Signature = kCentralHeaderSig;
        item.VersionMadeBy = 20;
        item.VersionNeeded = 20;
        item.ExternalAttributes = kAttrArchive;
        manager->CurrentDir.RenameItem(i, name);
        return manager->CurrentDir.ItemAt(i);
    }

    rtl::TMemoryStream stream;
    TZADirSettings settings;
    std::unique_ptr<TZADirManager> manager;
};

TEST(DirWriter, EmptyDirectoryIsTheBareEndRecord)
{
    StandaloneManager m;
    m.manager->SaveDirectory(true);
    EXPECT_EQ(Bytes(m.stream), std::string("PK\x05\x06", 4) + std::string(18, '\0'));
    EXPECT_EQ(m.manager->DirectoryStart, 0);
    EXPECT_FALSE(m.manager->IsZip64);
}

TEST(DirWriter, CommentFollowsTheEndRecord)
{
    StandaloneManager m;
    m.manager->Comment = "abc";
    m.manager->SaveDirectory(true);
    const std::string b = Bytes(m.stream);
    ASSERT_EQ(b.size(), 25u);
    EXPECT_EQ(U16At(b, 20), 3);
    EXPECT_EQ(b.substr(22), "abc");
}

TEST(DirWriter, GivenStreamBecomesTheManagersStream)
{
    StandaloneManager m;
    rtl::TMemoryStream other;
    other.WriteBuffer("data", 4);
    m.manager->SaveDirectory(true, &other);
    EXPECT_EQ(m.manager->Stream, &other);
    EXPECT_EQ(other.Size(), 26);
    EXPECT_EQ(m.manager->DirectoryStart, 4);
    EXPECT_EQ(m.stream.Size(), 0);
}

TEST(DirWriter, Zip64ExtraBlockHoldsOnlyTheAllOnesFields)
{
    StandaloneManager m;
    TDirItem& plain = m.Add("plain.txt");
    plain.CompressedSize = 10;
    TDirItem& big = m.Add("big.bin");
    big.CompressedSize = kNo32;
    big.Zip64CompressedSize = 0x123456789LL;
    // An old ZIP64 block in the list is replaced; other blocks are kept in order.
    big.ExtraFields.push_back({kZip64ExtraTag, 8, std::vector<uint8_t>(8, 0xEE)});
    big.ExtraFields.push_back({0x5455, 5, {1, 2, 3, 4, 5}});
    m.manager->SaveDirectory(true);

    const std::string b = Bytes(m.stream);
    const size_t second = TCentralHeader::Size + 9;
    EXPECT_EQ(U16At(b, 30), 0);  // the plain entry: no extra field
    EXPECT_EQ(U16At(b, second + 28), 7);
    EXPECT_EQ(U16At(b, second + 30), 12 + 9);
    const size_t extra = second + TCentralHeader::Size + 7;
    EXPECT_EQ(U16At(b, extra), 1);
    EXPECT_EQ(U16At(b, extra + 2), 8);
    EXPECT_EQ(GetU64(reinterpret_cast<const uint8_t*>(b.data()) + extra + 4), 0x123456789ULL);
    EXPECT_EQ(U16At(b, extra + 12), 0x5455);
    EXPECT_EQ(U16At(b, extra + 14), 5);
    EXPECT_EQ(b.substr(extra + 16, 5), std::string("\1\2\3\4\5", 5));
}

TEST(DirWriter, NamesGoOutInTheOemCodePageWhenAsked)
{
    const std::string name = rtl::Ru("Привет.txt");
    for (bool oem : {true, false}) {
        StandaloneManager m(oem);
        m.Add(name);
        m.manager->SaveDirectory(true);
        const std::string stored = Bytes(m.stream).substr(TCentralHeader::Size, name.size());
        EXPECT_EQ(stored, oem ? rtl::AnsiToOem(name) : name) << oem;
        EXPECT_EQ(m.manager->CurrentDir.ItemAt(0).FileName, name);
    }
}

TEST(DirWriter, LengthFieldsFollowWhatIsWritten)
{
    StandaloneManager m;
    TDirItem& item = m.Add("name.txt");
    item.Comment = "entry comment";
    item.NameLength = 3;       // stale values from somewhere else
    item.CommentLength = 500;
    m.manager->SaveDirectory(true);
    const std::string b = Bytes(m.stream);
    EXPECT_EQ(U16At(b, 28), 8);
    EXPECT_EQ(U16At(b, 32), 13);
    EXPECT_EQ(b.substr(TCentralHeader::Size, 8), "name.txt");
    EXPECT_EQ(b.substr(TCentralHeader::Size + 8, 13), "entry comment");
    EXPECT_EQ(b.size(), TCentralHeader::Size + 8 + 13 + TEndRecord::Size);
}

class DirWriterFiles : public ArchiverTest {};

// Counts and the ZIP64 records at the 65,535-entry boundary; Python's zipfile reads both.
TEST_F(DirWriterFiles, EntryCountBoundary)
{
    for (int count : {65534, 65535}) {
        StandaloneManager m;
        for (int i = 0; i < count; ++i)
            m.Add("f" + std::to_string(i));
        m.manager->SaveDirectory(true);
        const std::string b = Bytes(m.stream);
        const size_t end = b.size() - TEndRecord::Size;
        ASSERT_EQ(U32At(b, end), kEndRecordSig);
        const uint16_t expected = count == 65534 ? 65534 : 0xFFFF;
        EXPECT_EQ(U16At(b, end + 8), expected);
        EXPECT_EQ(U16At(b, end + 10), expected);
        const bool zip64 = count == 65535;
        EXPECT_EQ(m.manager->IsZip64, zip64);
        EXPECT_EQ(U32At(b, end - TZip64Locator::Size) == kZip64LocatorSig, zip64);
        if (zip64) {
            const size_t rec = end - TZip64Locator::Size - TZip64EndRecord::Size;
            TZip64EndRecord r;
            LoadRecord(reinterpret_cast<const uint8_t*>(b.data()) + rec, r);
            EXPECT_EQ(r.Signature, kZip64EndRecordSig);
            EXPECT_EQ(r.RecordSize, 44u);
            EXPECT_EQ(r.VersionMadeBy, 45);
            EXPECT_EQ(r.TotalEntries, 65535u);
            EXPECT_EQ(r.EntriesOnDisk, 65535u);
            EXPECT_EQ(r.DirectoryOffset, 0u);
            EXPECT_EQ(r.DirectorySize, rec);
            TZip64Locator l;
            LoadRecord(reinterpret_cast<const uint8_t*>(b.data()) + rec + TZip64EndRecord::Size, l);
            EXPECT_EQ(l.EndRecordOffset, rec);
            EXPECT_EQ(l.TotalDisks, 1u);
        }
        const std::string path = Path("count.zip");
        m.stream.SaveToFile(path);
        EXPECT_TRUE(Python("assert len(zipfile.ZipFile(path).infolist()) == " + std::to_string(count), path));
    }
}

TEST_F(DirWriterFiles, DirectoryPastFourGigabytesBringsZip64Records)
{
    const std::string path = Path("sparse.bin");
    TZADirSettings settings;
    rtl::TFileStream stream(path, rtl::fmCreate);
    stream.SetSize(0x100000010LL);  // sparse
    TZADirManager manager(&stream, &settings, false);
    manager.CurrentDir.Resize(1);
    manager.CurrentDir.ItemAt(0).Signature = kCentralHeaderSig;
    manager.CurrentDir.RenameItem(0, "x");
    manager.SaveDirectory(true);
    EXPECT_TRUE(manager.IsZip64);
    EXPECT_EQ(manager.DirectoryStart, 0x100000010LL);
    EXPECT_EQ(manager.EndRecord.DirectoryOffset, kNo32);
    EXPECT_EQ(manager.EndRecord.TotalEntries, 1);
    EXPECT_EQ(manager.Zip64EndRecord.DirectoryOffset, 0x100000010ULL);
    EXPECT_EQ(manager.Zip64EndRecord.DirectorySize, TCentralHeader::Size + 1);
    EXPECT_EQ(stream.Size(), 0x100000010LL + 47 + 56 + 20 + 22);
}

// Archives of Python's zipfile and Info-ZIP zip: the directory written back is byte-identical
// and reads again.
TEST_F(DirWriterFiles, RealDirectoriesAreWrittenBackUnchanged)
{
    std::vector<std::string> archives;
    ASSERT_TRUE(Python("with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as z:\n"
                       "    z.comment = b'archive comment'\n"
                       "    z.writestr('a.txt', 'alpha' * 50)\n"
                       "    i = zipfile.ZipInfo('sub/b.txt', (2020, 5, 17, 10, 30, 4))\n"
                       "    i.comment = b'entry comment'\n"
                       "    z.writestr(i, 'beta')\n"
                       "    z.writestr('sub/', '')\n",
                       Path("py.zip")));
    archives.push_back(Path("py.zip"));
    if (HaveTool("zip")) {
        ASSERT_TRUE(Shell("mkdir -p '" + Path("src/d") + "' && echo one > '" + Path("src/one.txt") +
                        "' && echo two > '" + Path("src/d/two.txt") + "' && cd '" + Path("src") +
                        "' && zip -q -r ../info.zip ."));
        archives.push_back(Path("info.zip"));
    }
    for (const std::string& path : archives) {
        SCOPED_TRACE(path);
        const std::string original = ReadAll(path);
        StandaloneManager m;
        m.stream.LoadFromFile(path);
        m.manager->LoadDirectory();
        const int count = m.manager->CurrentDir.Count();
        ASSERT_GT(count, 1);
        m.stream.SetSize(m.manager->DirectoryStart);
        m.manager->SaveDirectory(true);
        EXPECT_EQ(Bytes(m.stream), original);

        // Over the old directory (not at the end) gives the same bytes.
        m.manager->SaveDirectory(false);
        EXPECT_EQ(Bytes(m.stream), original);

        StandaloneManager again;
        again.stream.LoadFromStream(m.stream);
        again.manager->LoadDirectory();
        ASSERT_EQ(again.manager->CurrentDir.Count(), count);
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(again.manager->CurrentDir.ItemAt(i).FileName, m.manager->CurrentDir.ItemAt(i).FileName);
            EXPECT_EQ(again.manager->CurrentDir.ItemAt(i).Comment, m.manager->CurrentDir.ItemAt(i).Comment);
        }
        EXPECT_EQ(again.manager->Comment, m.manager->Comment);
    }
}

// Counts reads, to see the copy's chunking.
class TCountingStream : public rtl::TMemoryStream {
public:
    int64_t Read(void* buffer, int64_t count) override
    {
        reads.push_back(count);
        return TMemoryStream::Read(buffer, count);
    }
    std::vector<int64_t> reads;
};

TEST_F(DirWriterFiles, CopyWithVolumesCopiesExactlyCountInMillionByteReads)
{
    TCountingStream source;
    source.SetSize(2'000'000);
    source.SetPosition(0);
    rtl::TMemoryStream target;
    rtl::TStream* stream = &target;
    TZipArchiver zip;
    std::vector<std::pair<TZAProgressPhase, double>> events;
    zip.OnCopyTempFileProgress = [&](TZABaseArchiver*, double progress, TZAProgressPhase phase, bool&) {
        events.emplace_back(phase, progress);
    };
    bool cancel = false;
    EXPECT_EQ(zip.CopyWithVolumes(source, stream, true, nullptr, -1, 1'500'000, cancel, zip.VolumeInfo), 0);
    EXPECT_EQ(target.Size(), 1'500'000);
    EXPECT_EQ(source.reads, (std::vector<int64_t>{1'000'000, 500'000}));
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0], std::make_pair(ppStart, 0.0));
    EXPECT_EQ(events[1].first, ppProcess);
    EXPECT_NEAR(events[1].second, 66.67, 0.01);
    EXPECT_EQ(events[2], std::make_pair(ppProcess, 100.0));
    EXPECT_EQ(events[3], std::make_pair(ppEnd, 100.0));
}

TEST_F(DirWriterFiles, CopyCancelStaysVisibleAfterTheClosingEvent)
{
    rtl::TMemoryStream source;
    source.SetSize(3'000'000);
    source.SetPosition(0);
    rtl::TMemoryStream target;
    rtl::TStream* stream = &target;
    TZipArchiver zip;
    zip.OnCopyTempFileProgress = [&](TZABaseArchiver*, double, TZAProgressPhase phase, bool& c) {
        if (phase == ppProcess)
            c = true;
    };
    bool cancel = false;
    zip.CopyWithVolumes(source, stream, true, nullptr, -1, -1, cancel, zip.VolumeInfo);
    EXPECT_TRUE(cancel);
    EXPECT_EQ(target.Size(), 1'000'000);
}

TEST_F(DirWriterFiles, ShortWriteRaisesCode46)
{
    class TFull : public rtl::TMemoryStream {
    public:
        int64_t Write(const void* b, int64_t n) override { return TMemoryStream::Write(b, std::min<int64_t>(n, 3)); }
    } full;
    rtl::TStream* stream = &full;
    TZipArchiver zip;
    EXPECT_EQ(NativeErrorOf([&] { zip.WriteOrFail("abcdef", 6, nullptr, -1, zip.VolumeInfo, stream); }), 46);
    EXPECT_EQ(NativeErrorOf([&] { zip.WriteOrFail("abc", 3, nullptr, -1, zip.VolumeInfo, stream); }), -1);
}

// A split archive written through the volumes: every volume within its limit, the last one under
// the archive's own name, the whole readable by Info-ZIP, Python and this library.
class SplitWriting : public ArchiverTest {
protected:
    struct Entry {
        std::string name;
        std::string data;
    };

    // Writes each entry stored (local header, name, data) through the volumes and records it.
    void WriteEntries(TZipArchiver& zip, const std::vector<Entry>& entries)
    {
        TZADirManager& m = *zip.DirManager;
        for (const Entry& e : entries) {
            TLocalHeader local;
            local.Signature = kLocalHeaderSig;
            local.VersionNeeded = 20;
            local.ModTime = 0x5000;
            local.ModDate = 0x5021;
            local.Crc32 = static_cast<uint32_t>(
                crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size())));
            local.CompressedSize = local.UncompressedSize = static_cast<uint32_t>(e.data.size());
            local.NameLength = static_cast<uint16_t>(e.name.size());
            uint8_t header[TLocalHeader::Size];
            StoreRecord(local, header);
            zip.WriteOrFail(header, sizeof header, nullptr, local.NameLength, zip.VolumeInfo, m.Stream);
            const int64_t offset = m.Stream->Position() - static_cast<int64_t>(TLocalHeader::Size);
            const int32_t disk = zip.VolumeInfo.VolumeNumber;
            zip.WriteOrFail(e.name.data(), local.NameLength, nullptr, -1, zip.VolumeInfo, m.Stream);
            zip.WriteOrFail(e.data.data(), static_cast<int32_t>(e.data.size()), nullptr, -1, zip.VolumeInfo,
                            m.Stream);

            const int i = m.CurrentDir.Count();
            m.CurrentDir.Resize(i + 1);
            TDirItem& item = m.CurrentDir.ItemAt(i);
            item.Signature = kCentralHeaderSig;
            item.VersionMadeBy = item.VersionNeeded = 20;
            item.ModTime = local.ModTime;
            item.ModDate = local.ModDate;
            item.Crc32 = local.Crc32;
            item.CompressedSize = item.UncompressedSize = local.CompressedSize;
            item.DiskNumberStart = static_cast<uint16_t>(disk);
            item.ExternalAttributes = kAttrArchive;
            item.LocalHeaderOffset = static_cast<uint32_t>(offset);
            m.CurrentDir.RenameItem(i, e.name);
        }
    }
};

TEST_F(SplitWriting, VolumesStayWithinTheirLimitAndJoinIntoAValidArchive)
{
    std::vector<Entry> entries;
    for (int i = 0; i < 400; ++i) {
        std::string data(static_cast<size_t>(100 + (i * 37) % 900), '\0');
        for (size_t k = 0; k < data.size(); ++k)
            data[k] = static_cast<char>('a' + (i + k) % 26);
        entries.push_back({"folder_" + std::to_string(i % 7) + "/entry_with_a_long_name_" + std::to_string(i) + ".txt",
                           data});
    }
    TZipArchiver zip;
    zip.SetSpanningMode(smSplitting);
    zip.SpanningOptions().AdvancedNaming = false;
    zip.SpanningOptions().VolumeSize = vsCustom;
    zip.SpanningOptions().SetCustomVolumeSize(65536);
    zip.FileName = Path("split.zip");
    zip.OpenArchive();
    EXPECT_EQ(zip.CurrentVolumeName, Path("split.Z01"));
    WriteEntries(zip, entries);
    zip.DirManager->SaveDirectory(true);
    const int volumes = zip.VolumeInfo.VolumeNumber + 1;
    zip.CloseArchive();

    ASSERT_GE(volumes, 4);
    EXPECT_TRUE(Exists(Path("split.zip")));
    EXPECT_FALSE(Exists(Path("split.Z" + std::string(volumes < 10 ? "0" : "") + std::to_string(volumes))));
    for (int v = 1; v < volumes; ++v) {
        const std::string name = Path("split.Z" + std::string(v < 10 ? "0" : "") + std::to_string(v));
        ASSERT_TRUE(Exists(name)) << name;
        EXPECT_LE(ReadAll(name).size(), 65536u) << name;
    }
    EXPECT_LE(ReadAll(Path("split.zip")).size(), 65536u + 22u);  // end records are never split

    // Read back through this library's own volume handling.
    TZipArchiver reader;
    reader.FileName = Path("split.zip");
    reader.BaseDir = Path("out") + "/";
    reader.OpenArchive();
    EXPECT_EQ(reader.SpanningMode(), smSplitting);
    ASSERT_EQ(reader.DirManager->CurrentDir.Count(), static_cast<int>(entries.size()));
    reader.ExtractFiles("*.*", 10431, "");
    reader.CloseArchive();
    for (const Entry& e : entries)
        ASSERT_EQ(ReadAll(Path("out/" + e.name)), e.data) << e.name;

    if (!HaveTool("zip"))
        GTEST_SKIP() << "zip is not installed";
    for (int v = 1; v < volumes; ++v) {
        const std::string n = std::string(v < 10 ? "0" : "") + std::to_string(v);
        ASSERT_TRUE(Shell("mv '" + Path("split.Z" + n) + "' '" + Path("split.z" + n) + "'"));
    }
    ASSERT_TRUE(Shell("cd '" + Dir() + "' && zip -q -s 0 split.zip --out joined.zip"));
    EXPECT_TRUE(Python("z = zipfile.ZipFile(path)\n"
                       "assert z.testzip() is None\n"
                       "assert len(z.infolist()) == 400\n",
                       Path("joined.zip")));
}

}  // namespace
