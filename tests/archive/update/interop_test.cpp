// Archives the library writes, read by other tools: python3's zipfile, unzip and 7z (stored,
// deflated at several levels, encrypted with the traditional cipher, ZIP64, many entries, after
// deletes and updates), and split output read back through the library.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/rtl/streams.h"
#include "tests/archive/update/update_fixture.h"

namespace {

// Checks every entry of an archive against the files of the folder with python's zipfile:
// testzip() passes and each entry's bytes equal the file of its name. Prints "ok" on success.
const char* const kPythonCheck = R"(
import sys, zipfile, os
path, folder, pwd = sys.argv[1], sys.argv[2], sys.argv[3].encode() or None
with zipfile.ZipFile(path) as z:
    if pwd: z.setpassword(pwd)
    bad = z.testzip()
    if bad: sys.exit('testzip: ' + bad)
    for info in z.infolist():
        if info.is_dir(): continue
        with open(os.path.join(folder, info.filename), 'rb') as f:
            if z.read(info) != f.read(): sys.exit('differs: ' + info.filename)
print('ok', len(z.infolist()))
)";

class Interop : public UpdateTest {
protected:
    void SetUp() override
    {
        UpdateTest::SetUp();
        if (!HaveTool("python3"))
            GTEST_SKIP() << "python3 is not installed";
        Put("check.py", kPythonCheck);
        Put("files/text.txt", TextBytes(1500000));
        Put("files/noise.bin", RandomBytes(300000, 5));
        Put("files/empty.txt", "");
        Put("files/sub/small.txt", "small");
        files_ = {"files/text.txt", "files/noise.bin", "files/empty.txt", "files/sub/small.txt"};
    }

    // python's zipfile reads back every entry; returns its output ("ok <count>").
    std::string PythonCheck(const std::string& zipName, const std::string& password = "")
    {
        std::string out;
        RunCommand("python3 " + Quote(Path("check.py")) + " " + Quote(Path(zipName)) + " " + Quote(Dir()) + " " +
                Quote(password),
            &out);
        return out;
    }

    void ExpectToolsAccept(const std::string& zipName, const std::string& password = "")
    {
        std::string out;
        if (HaveTool("unzip")) {
            const std::string pw = password.empty() ? "" : " -P " + Quote(password);
            EXPECT_EQ(RunCommand("unzip -t -qq" + pw + " " + Quote(Path(zipName)), &out), 0) << out;
        }
        if (HaveTool("7z")) {
            out.clear();
            const std::string pw = " -p" + Quote(password.empty() ? "-" : password);
            EXPECT_EQ(RunCommand("7z t -bd" + pw + " " + Quote(Path(zipName)), &out), 0) << out;
        }
    }

    std::vector<std::string> files_;
};

}  // namespace

TEST_F(Interop, StoredAndDeflatedArchivesAtSeveralLevels)
{
    for (uint8_t mode : {0, 1, 6, 9}) {
        SCOPED_TRACE(int(mode));
        const std::string name = "level" + std::to_string(mode) + ".zip";
        MakeArchive(name, files_, mode);
        EXPECT_EQ(PythonCheck(name), "ok 4\n");
        ExpectToolsAccept(name);
    }
}

TEST_F(Interop, EncryptedEntriesOpenWithThePassword)
{
    // Python deciphers slowly: smaller files.
    Put("files/text.txt", TextBytes(150000));
    Put("files/noise.bin", RandomBytes(50000, 6));
    for (uint8_t mode : {0, 6}) {
        SCOPED_TRACE(int(mode));
        const std::string name = "secret" + std::to_string(mode) + ".zip";
        MakeArchive(name, files_, mode, "Pa55word");
        EXPECT_EQ(PythonCheck(name, "Pa55word"), "ok 4\n");
        EXPECT_NE(PythonCheck(name, "wrong"), "ok 4\n");
        ExpectToolsAccept(name, "Pa55word");
        if (HaveTool("unzip")) {
            std::string out;
            EXPECT_EQ(RunCommand("unzip -P Pa55word -p " + Quote(Path(name)) + " files/text.txt", &out), 0);
            EXPECT_EQ(out, Get("files/text.txt"));
        }
        // And through the library itself.
        const auto entries = ReadBack(name, "Pa55word");
        ASSERT_EQ(entries.size(), 4u);
        EXPECT_EQ(entries[1].second, Get("files/noise.bin"));
    }
}

TEST_F(Interop, ArchivesAfterDeletesAndUpdates)
{
    MakeArchive("u.zip", files_, 6);
    Put("files/text.txt", TextBytes(2100000));
    Put("files/new.txt", "new");
    TZipArchiver zip;
    zip.FileName = Path("u.zip");
    zip.OpenArchive();
    zip.BeginUpdate();
    zip.DeleteItem(1);
    zip.UpdateItem(0, Path("files/text.txt"));
    zip.AddFile("files/new.txt");
    zip.CloseArchive();
    EXPECT_EQ(PythonCheck("u.zip"), "ok 4\n");
    ExpectToolsAccept("u.zip");
}

TEST_F(Interop, Zip64AlwaysWritesZip64RecordsOtherToolsRead)
{
    MakeArchive("z64.zip", files_, 6, "", zmAlways);
    EXPECT_EQ(PythonCheck("z64.zip"), "ok 4\n");
    ExpectToolsAccept("z64.zip");
    TZipArchiver zip;
    zip.FileName = Path("z64.zip");
    zip.OpenArchiveWithMode(ZA_MODE_READONLY);
    const TDirItem& item = zip.DirManager->CurrentDir.ItemAt(0);
    EXPECT_EQ(item.VersionNeeded, 45);
    EXPECT_EQ(item.CompressedSize, kNo32);
    EXPECT_EQ(item.UncompressedSize, kNo32);
    EXPECT_EQ(item.LocalHeaderOffset, kNo32);
    EXPECT_EQ(item.UncompressedSize64(), 1500000);
    // The local header carries the 20-byte ZIP64 block with both sizes.
    const std::string bytes = Get("z64.zip");
    const size_t local = static_cast<size_t>(item.LocalHeaderOffset64());
    EXPECT_EQ(static_cast<uint8_t>(bytes[local + 4]), 45);
    EXPECT_EQ(static_cast<uint8_t>(bytes[local + 28]), 20);
    EXPECT_EQ(bytes.substr(local + 18, 8), std::string(8, '\xFF'));
}

// Entries written with data descriptors (zipfile writing to a pipe) keep their descriptors when a
// commit copies them, and an archive behind a stub keeps the stub.
TEST_F(Interop, CopiedEntriesKeepDescriptorsAndStubs)
{
    if (!HaveTool("unzip"))
        GTEST_SKIP() << "unzip is needed";
    const std::string zipFile = Quote(Path("d.zip"));
    ASSERT_EQ(RunCommand("python3 -c " +
                         Quote("import zipfile,sys\n"
                               "with zipfile.ZipFile(sys.stdout.buffer,'w',zipfile.ZIP_DEFLATED) as z:\n"
                               "  z.writestr('one.txt','first'*100)\n"
                               "  z.writestr('two.txt','second'*100)\n"
                               "  z.writestr('three.txt','third')\n") +
                         " | cat > " + zipFile),
              0);
    TZipArchiver zip;
    zip.FileName = Path("d.zip");
    zip.OpenArchive();
    ASSERT_NE(zip.DirManager->CurrentDir.ItemAt(1).Flags & 8, 0);
    zip.BeginUpdate();
    zip.DeleteItem(0);
    zip.CloseArchive();
    std::string out;
    EXPECT_EQ(RunCommand("unzip -t " + zipFile, &out), 0) << out;
    EXPECT_EQ(out.find("warning"), std::string::npos) << out;
    out.clear();
    EXPECT_EQ(RunCommand("unzip -p " + zipFile + " two.txt three.txt", &out), 0);
    std::string expected;
    for (int i = 0; i < 100; ++i)
        expected += "second";
    EXPECT_EQ(out, expected + "third");

    MakeArchive("s.zip", files_, 6);
    Put("stubbed.zip", std::string(1000, 'S') + Get("s.zip"));
    zip.FileName = Path("stubbed.zip");
    zip.OpenArchive();
    zip.BeginUpdate();
    zip.DeleteItem(1);
    zip.CloseArchive();
    EXPECT_EQ(Get("stubbed.zip").substr(0, 1000), std::string(1000, 'S'));
    out.clear();
    EXPECT_EQ(RunCommand("unzip -t " + Quote(Path("stubbed.zip")), &out), 0) << out;
    EXPECT_EQ(out.find("warning"), std::string::npos) << out;
    EXPECT_EQ(PythonCheck("stubbed.zip"), "ok 3\n");
}

TEST_F(Interop, MoreThan65535EntriesGetTheZip64EndRecord)
{
    constexpr int kCount = 65540;
    TZipArchiver zip;
    zip.FileName = Path("many.zip");
    zip.OpenArchive();
    zip.BeginUpdate();
    for (int i = 0; i < kCount; ++i) {
        auto data = std::make_shared<rtl::TMemoryStream>();
        const std::string text = "entry " + std::to_string(i);
        data->WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
        ASSERT_EQ(zip.AddStream("many/" + std::to_string(i) + ".txt", data), i);
    }
    zip.CloseArchive();
    std::string out;
    EXPECT_EQ(RunCommand("python3 -c " +
                      Quote("import zipfile,sys\n"
                            "z=zipfile.ZipFile(sys.argv[1])\n"
                            "n=z.infolist()\n"
                            "assert z.read('many/65539.txt')==b'entry 65539'\n"
                            "assert z.testzip() is None\n"
                            "print(len(n))") +
                      " " + Quote(Path("many.zip")),
                  &out),
              0)
        << out;
    EXPECT_EQ(out, std::to_string(kCount) + "\n");
    const std::string bytes = Get("many.zip");
    EXPECT_NE(bytes.find(std::string("PK\x06\x06", 4)), std::string::npos);
    EXPECT_NE(bytes.find(std::string("PK\x06\x07", 4)), std::string::npos);
}

// A source past 4 GiB (a sparse file of zeros, so the test stays quick) goes into a ZIP64 entry;
// with ZIP64 disabled the commit refuses it and the archive stays as it was.
TEST_F(Interop, LargeSparseFileBecomesAZip64Entry)
{
    constexpr int64_t kSize = (int64_t{1} << 32) + 4096;
    {
        std::ofstream(Path("huge.bin")).close();
        std::filesystem::resize_file(Path("huge.bin"), kSize);
    }
    MakeArchive("small.zip", {"files/empty.txt"}, 1, "", zmDisabled);
    const std::string before = Get("small.zip");
    TZipArchiver refusing;
    int failure = 0;
    refusing.OnProcessFileFailure = [&](TZABaseArchiver*, const std::string&, TZAProcessOperation, int32_t native,
                                        int32_t, const std::string&, TZAAction& action) {
        failure = native;
        action = fxaAbort;
    };
    refusing.FileName = Path("small.zip");
    refusing.Zip64Mode = zmDisabled;
    refusing.OpenArchive();
    refusing.BeginUpdate();
    refusing.AddFile("huge.bin");
    refusing.CloseArchive();
    EXPECT_EQ(failure, 43);
    EXPECT_EQ(Get("small.zip"), before);

    MakeArchive("huge.zip", {"files/sub/small.txt", "huge.bin", "files/empty.txt"}, 1, "", zmAuto);
    std::string out;
    EXPECT_EQ(RunCommand("python3 -c " +
                      Quote("import zipfile,sys\n"
                            "z=zipfile.ZipFile(sys.argv[1])\n"
                            "i=z.getinfo('huge.bin')\n"
                            "assert i.CRC==3094729599, i.CRC  # zlib.crc32 of the 4 GiB + 4 KiB of zeros\n"
                            "assert z.read('files/sub/small.txt')==b'small'\n"
                            "print(i.file_size, z.infolist()[2].header_offset > 0)") +
                      " " + Quote(Path("huge.zip")),
                  &out),
              0)
        << out;
    EXPECT_EQ(out, std::to_string(kSize) + " True\n");
}

TEST_F(Interop, SplitOutputReadsBackThroughTheLibrary)
{
    TZipArchiver zip;
    zip.FileName = Path("split.zip");
    zip.SetSpanningMode(smSplitting);
    zip.SpanningOptions().VolumeSize = vsCustom;
    zip.SpanningOptions().SetCustomVolumeSize(65536);
    zip.SetCompressionMode(6);
    zip.OpenArchive();
    zip.BeginUpdate();
    for (const std::string& file : files_)
        zip.AddFile(file);
    zip.CloseArchive();
    std::vector<std::string> volumes;
    for (const std::string& name : Listing())
        if (name.rfind("split", 0) == 0)
            volumes.push_back(name);
    ASSERT_GT(volumes.size(), 3u) << testing::PrintToString(Listing());
    EXPECT_EQ(volumes.front(), "split.zip");  // the last volume; the others are split_001.zip ...
    for (const std::string& name : volumes)
        EXPECT_LE(std::filesystem::file_size(Path(name)), 65536u) << name;

    TZipArchiver reader;
    reader.FileName = Path("split.zip");
    reader.OpenArchive();
    EXPECT_EQ(reader.SpanningMode(), smSplitting);
    ASSERT_EQ(reader.DirManager->CurrentDir.Count(), 4);
    reader.BaseDir = Path("out");
    reader.ExtractFiles("*.*", 0x3F, "");
    reader.CloseArchive();
    for (const std::string& file : files_)
        EXPECT_EQ(Get("out/" + file), Get(file)) << file;

    // An existing multi-volume archive is not modified: the commit refuses and changes nothing.
    const std::string last = Get("split.zip");
    reader.OpenArchive();
    reader.BeginUpdate();
    reader.DeleteItem(0);
    EXPECT_EQ(NativeErrorOf([&] { reader.CloseArchive(); }), 52);
    EXPECT_EQ(Get("split.zip"), last);
}
