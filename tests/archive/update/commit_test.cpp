// Batches and commits: adding, updating, deleting and renaming entries, the stored names, and the
// guarantee that a commit which fails, is cancelled or aborted leaves the old archive as it was.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "archive/ZAStrFunc.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/fscalls.h"
#include "platform/rtl/streams.h"
#include "tests/archive/update/update_fixture.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

class Commit : public UpdateTest {
protected:
    void SetUp() override
    {
        UpdateTest::SetUp();
        Put("a.txt", TextBytes(50000));
        Put("b.bin", RandomBytes(30000, 1));
        Put("c.txt", "third");
        MakeArchive("t.zip", {"a.txt", "b.bin", "c.txt"});
        original_ = Get("t.zip");
    }

    // Opens t.zip and starts a batch.
    void Open(TZipArchiver& zip)
    {
        zip.FileName = Path("t.zip");
        zip.OpenArchive();
        zip.BeginUpdate();
    }

    // The archive is byte for byte the one made in SetUp, and no temporary file was left behind.
    void ExpectUntouched()
    {
        EXPECT_EQ(Get("t.zip"), original_);
        EXPECT_EQ(Listing(), (std::vector<std::string>{"a.txt", "b.bin", "c.txt", "t.zip"}));
    }

    int64_t OffsetOf(const std::string& zipName, int index)
    {
        TZipArchiver zip;
        zip.FileName = Path(zipName);
        zip.OpenArchiveWithMode(ZA_MODE_READONLY);
        return zip.DirManager->CurrentDir.ItemAt(index).LocalHeaderOffset64();
    }

    std::string original_;
};

// Raises a stream error once pos bytes were read.
class TFailingStream : public rtl::TMemoryStream {
public:
    TFailingStream(const std::string& bytes, int64_t failAt) : failAt_(failAt)
    {
        WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    }
    int64_t Read(void* buffer, int64_t count) override
    {
        if (Position() + count > failAt_)
            throw rtl::EReadError("Stream read error");
        return rtl::TMemoryStream::Read(buffer, count);
    }

private:
    int64_t failAt_;
};

}  // namespace

TEST_F(Commit, AddedFilesAndFoldersReadBackThroughTheLibrary)
{
    Put("sub/d.txt", "");
    std::filesystem::create_directories(Path("empty"));
    TZipArchiver zip;
    Open(zip);
    EXPECT_EQ(zip.AddFile("sub/d.txt"), 3);
    EXPECT_EQ(zip.AddFile("empty"), 4);
    zip.EndUpdate();
    EXPECT_EQ(zip.PendingUpdateCount, 0);
    const TDirItem folder = zip.DirManager->CurrentDir.ItemAt(4);
    EXPECT_EQ(folder.FileName, "empty/");
    EXPECT_EQ(folder.CompressionMethod, 0);
    EXPECT_EQ(folder.Crc32, 0u);
    EXPECT_EQ(folder.Flags, 2);
    zip.CloseArchive();

    const Entries entries = ReadBack("t.zip");
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0], (std::pair<std::string, std::string>{"a.txt", Get("a.txt")}));
    EXPECT_EQ(entries[1].second, Get("b.bin"));
    EXPECT_EQ(entries[2].second, "third");
    EXPECT_EQ(entries[3], (std::pair<std::string, std::string>{"sub/d.txt", ""}));
    EXPECT_EQ(entries[4].first, "empty/");
}

TEST_F(Commit, AppendingKeepsTheOldEntriesInPlace)
{
    const int64_t before = OffsetOf("t.zip", 2);
    Put("d.txt", "fourth");
    TZipArchiver zip;
    Open(zip);
    zip.AddFile("d.txt");
    zip.CloseArchive();
    EXPECT_EQ(OffsetOf("t.zip", 2), before);
    const std::string now = Get("t.zip");
    const size_t entriesEnd = static_cast<size_t>(OffsetOf("t.zip", 3));
    EXPECT_EQ(now.substr(0, entriesEnd), original_.substr(0, entriesEnd));
    EXPECT_EQ(ReadBack("t.zip")[3].second, "fourth");
}

TEST_F(Commit, DeletingRewritesFromTheFirstChangedEntry)
{
    const int64_t cOffset = OffsetOf("t.zip", 2);
    TZipArchiver zip;
    Open(zip);
    zip.DeleteItem(1);
    zip.CloseArchive();
    const Entries entries = ReadBack("t.zip");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].second, Get("a.txt"));
    EXPECT_EQ(entries[1], (std::pair<std::string, std::string>{"c.txt", "third"}));
    EXPECT_LT(OffsetOf("t.zip", 1), cOffset);  // moved down over the deleted entry

    // Deleting the last entry leaves the others; deleting everything leaves an empty archive.
    Open(zip);
    zip.DeleteItem(1);
    zip.EndUpdate();
    zip.BeginUpdate();
    zip.DeleteItem(0);
    zip.CloseArchive();
    EXPECT_TRUE(ReadBack("t.zip").empty());
    EXPECT_EQ(Get("t.zip").size(), 22u);
}

TEST_F(Commit, UpdatingAnEntryReplacesOnlyItsData)
{
    Put("c.txt", "third, longer now");
    TZipArchiver zip;
    Open(zip);
    TDirItem& item = zip.UpdateItem(2, Path("c.txt"));
    EXPECT_EQ(item.FileName, "c.txt");
    EXPECT_EQ(item.PendingOperation, poUpdate);
    zip.CloseArchive();
    const Entries entries = ReadBack("t.zip");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[2].second, "third, longer now");
    EXPECT_EQ(entries[0].second, Get("a.txt"));

    Open(zip);
    EXPECT_EQ(NativeErrorOf([&] { zip.UpdateItem(3, Path("c.txt")); }), 24);
    zip.EndUpdate();
    EXPECT_EQ(NativeErrorOf([&] { zip.UpdateItem(0, Path("c.txt")); }), 25);
    EXPECT_EQ(NativeErrorOf([&] { zip.AddFile("c.txt"); }), 25);
}

TEST_F(Commit, ProcessFilesUpdatesEntriesWhoseDiskFileIsNewer)
{
    std::filesystem::create_directories(Path("src"));
    Put("src/a.txt", "new a");
    Put("src/c.txt", "new c");
    // c.txt on disk is older than the entry: omIfNewer leaves it alone.
    std::filesystem::last_write_time(Path("src/c.txt"), std::filesystem::file_time_type::clock::now() -
                                                             std::chrono::hours(24 * 400));
    std::filesystem::last_write_time(Path("src/a.txt"), std::filesystem::file_time_type::clock::now() +
                                                             std::chrono::hours(48));
    TZipArchiver zip;
    Open(zip);
    zip.Options().OverwriteMode = omIfNewer;
    zip.BaseDir = Path("src");
    zip.MarkFiles("*.*", 0x3F, "");
    zip.ProcessFiles(poUpdate);
    zip.EndUpdate();
    zip.CloseArchive();
    const Entries entries = ReadBack("t.zip");
    EXPECT_EQ(entries[0].second, "new a");
    EXPECT_EQ(entries[1].second, Get("b.bin"));
    EXPECT_EQ(entries[2].second, "third");
}

TEST_F(Commit, ProcessFilesDeletesMarkedEntries)
{
    TZipArchiver zip;
    Open(zip);
    zip.MarkFiles("*.txt", 0x3F, "");
    zip.ProcessFiles(poDelete);
    zip.CloseArchive();
    const Entries entries = ReadBack("t.zip");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].first, "b.bin");
    EXPECT_EQ(entries[0].second, Get("b.bin"));
}

TEST_F(Commit, RenamedEntryKeepsItsData)
{
    TZipArchiver zip;
    Open(zip);
    TZADirArray& dir = zip.DirManager->CurrentDir;
    dir.ItemAt(0).PreviousFileName = "a.txt";
    dir.RenameItem(0, "docs/renamed.txt");
    dir.ItemAt(0).Modified = true;
    dir.ItemAt(0).PendingOperation = poRename;
    zip.CloseArchive();
    const Entries entries = ReadBack("t.zip");
    EXPECT_EQ(entries[0], (std::pair<std::string, std::string>{"docs/renamed.txt", Get("a.txt")}));
    EXPECT_EQ(entries[2].second, "third");
}

// Record-only changes (a rename, a comment) are refused too where the file holds bytes no entry owns.
TEST_F(Commit, RecordChangesAreRefusedOverBytesNoEntryOwns)
{
    original_ += "trailing bytes of another file";
    Put("t.zip", original_);
    for (const uint8_t operation : {poRename, poChangeComment}) {
        TZipArchiver zip;
        Open(zip);
        ASSERT_TRUE(zip.DirManager->Rebuilt);
        TDirItem& item = zip.DirManager->CurrentDir.ItemAt(1);
        item.Comment = "changed", item.Modified = true, item.PendingOperation = operation;
        EXPECT_EQ(NativeErrorOf([&] { zip.CommitUpdate(); }), 35);
        zip.CloseArchive();
        ExpectUntouched();
    }
}

// A failed commit never damages the archive: whatever breaks, the old file stays byte for byte.
TEST_F(Commit, AFailureMidwayLeavesTheOldArchive)
{
    TZipArchiver zip;
    Open(zip);
    zip.DeleteItem(0);  // the commit rewrites from the first entry
    const int index = zip.AddStream("big.txt", std::make_shared<TFailingStream>(TextBytes(3000000), 1500000));
    ASSERT_EQ(index, 2);
    EXPECT_THROW(zip.CommitUpdate(), rtl::EReadError);
    EXPECT_EQ(zip.DirManager->CurrentDir.Count(), 3);  // the directory is the stored one again
    EXPECT_EQ(zip.DirManager->CurrentDir.ItemAt(0).FileName, "a.txt");
    zip.CloseArchive();
    ExpectUntouched();
    EXPECT_EQ(ReadBack("t.zip").size(), 3u);
}

TEST_F(Commit, AbortInTheFailureEventLeavesTheOldArchive)
{
    std::string seen;
    TZipArchiver zip;
    zip.OnProcessFileFailure = [&](TZABaseArchiver*, const std::string& name, TZAProcessOperation, int32_t native,
                                   int32_t, const std::string&, TZAAction& action) {
        seen = name + " " + std::to_string(native);
        action = fxaAbort;
    };
    Open(zip);
    const int index = zip.AddFile("a.txt");
    ASSERT_EQ(index, 0);  // the existing entry is refreshed
    zip.DirManager->CurrentDir.ItemAt(0).SourceFileName = Path("missing.txt");
    zip.CloseArchive();
    EXPECT_EQ(seen, "a.txt 33");  // an update is reported by its entry name
    ExpectUntouched();
}

// Two files whose names differ only in case (or a trailing dot) would fill one entry: the second is refused through the
// failure event with code 23, naming both; going on leaves the first added.
TEST_F(Commit, AFileWhoseEntryAnotherFileOfTheBatchFillsIsRefused)
{
    Put("A.txt", "capital");
    for (TZAAction answer : {fxaIgnore, fxaAbort}) {
        std::string seen;
        TZipArchiver zip;
        zip.OnProcessFileFailure = [&](TZABaseArchiver*, const std::string& name, TZAProcessOperation, int32_t native,
                                       int32_t, const std::string& message, TZAAction& action) {
            seen = name + " " + std::to_string(native) + " " + message;
            action = answer;
        };
        Open(zip);
        ASSERT_EQ(zip.AddFile("A.txt"), 0);
        EXPECT_EQ(zip.AddFile(Path("A.txt")), 0);  // the same file again
        EXPECT_TRUE(seen.empty());
        if (answer == fxaIgnore) {
            EXPECT_EQ(zip.AddFile("a.txt"), -1);
        } else {
            EXPECT_THROW(zip.AddFile("a.txt"), EZAException);
            zip.DropPendingUpdate();
        }
        EXPECT_NE(seen.find("a.txt 23 "), std::string::npos) << seen;
        EXPECT_NE(seen.find("/A.txt\""), std::string::npos) << seen;
        zip.CloseArchive();
    }
    const Entries entries = ReadBack("t.zip");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0], (std::pair<std::string, std::string>{"A.txt", "capital"}));
}

TEST_F(Commit, CancelBeforeTheDirectoryLeavesTheOldArchive)
{
    TZipArchiver zip;
    int calls = 0;
    zip.OnFileProgress = [&](TZABaseArchiver*, const std::string&, double, TZAProcessOperation, TZAProgressPhase,
                             bool& cancel) { cancel = ++calls == 3; };
    Open(zip);
    zip.DeleteItem(0);
    Put("d.txt", TextBytes(100000));
    zip.AddFile("d.txt");
    zip.AddFile("c.txt");
    zip.CloseArchive();
    EXPECT_GE(calls, 3);
    Put("d.txt", "");
    std::filesystem::remove(Path("d.txt"));
    ExpectUntouched();

    // Cancelled in the opening progress event: nothing at all happens.
    TZipArchiver other;
    other.OnOverallProgress = [](TZABaseArchiver*, double, TZAProcessOperation, TZAProgressPhase, bool& cancel) {
        cancel = true;
    };
    Open(other);
    other.DeleteItem(2);
    other.CloseArchive();
    ExpectUntouched();
}

TEST_F(Commit, IgnoredFailuresDropNewEntriesAndKeepUpdatedOnes)
{
    TZipArchiver zip;
    int failures = 0;
    zip.OnProcessFileFailure = [&](TZABaseArchiver*, const std::string&, TZAProcessOperation, int32_t, int32_t,
                                   const std::string&, TZAAction& action) {
        ++failures;
        action = fxaIgnore;
    };
    Put("d.txt", "fourth");
    Put("e.txt", "fifth");
    Open(zip);
    zip.UpdateItem(0, Path("a.txt"));
    zip.DirManager->CurrentDir.ItemAt(0).SourceFileName = Path("gone.txt");
    zip.AddFile("d.txt");
    zip.AddFile("e.txt");
    std::filesystem::remove(Path("d.txt"));
    zip.CloseArchive();
    EXPECT_EQ(failures, 2);
    const Entries entries = ReadBack("t.zip");
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].second, Get("a.txt"));
    EXPECT_EQ(entries[3], (std::pair<std::string, std::string>{"e.txt", "fifth"}));
}

TEST_F(Commit, RetryWritesTheEntryAgainAtTheSamePlace)
{
    // The first pass over the stream comes up short after two blocks were written; the retry
    // must replace those bytes, not follow them.
    class TFlakyStream : public rtl::TMemoryStream {
    public:
        int64_t Read(void* buffer, int64_t count) override
        {
            if (failing_ && Position() >= 1200000) {
                failing_ = false;
                return 0;
            }
            return rtl::TMemoryStream::Read(buffer, count);
        }

    private:
        bool failing_ = true;
    };
    const std::string data = RandomBytes(2000000, 9);
    auto flaky = std::make_shared<TFlakyStream>();
    flaky->WriteBuffer(data.data(), static_cast<int64_t>(data.size()));

    TZipArchiver zip;
    std::vector<int> failures;
    zip.OnProcessFileFailure = [&](TZABaseArchiver*, const std::string&, TZAProcessOperation, int32_t native,
                                   int32_t, const std::string&, TZAAction& action) {
        failures.push_back(native);
        action = fxaRetry;
    };
    Open(zip);
    zip.AddStream("x.bin", flaky);
    flaky.reset();
    zip.CloseArchive();
    EXPECT_EQ(failures, std::vector<int>{34});
    const Entries entries = ReadBack("t.zip");
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[3].second, data);
    // Nothing of the failed attempt is left between the entry and the directory.
    TZipArchiver reader;
    reader.FileName = Path("t.zip");
    reader.OpenArchiveWithMode(ZA_MODE_READONLY);
    const TDirItem& before = reader.DirManager->CurrentDir.ItemAt(2);
    const TDirItem& item = reader.DirManager->CurrentDir.ItemAt(3);
    EXPECT_EQ(item.LocalHeaderOffset64(), before.LocalHeaderOffset64() + 30 + 5 + before.CompressedSize64());
    EXPECT_EQ(reader.DirManager->DirectoryStart, item.LocalHeaderOffset64() + 30 + 5 + item.CompressedSize64());
}

TEST_F(Commit, MovedFilesAreDeletedOnlyOnceTheArchiveHoldsThem)
{
    Put("m.txt", "moved");
    Put("n.txt", "stays");
    TZipArchiver zip;
    zip.OnProcessFileFailure = [](TZABaseArchiver*, const std::string&, TZAProcessOperation, int32_t, int32_t,
                                  const std::string&, TZAAction& action) { action = fxaAbort; };
    Open(zip);
    zip.AddFile("n.txt", poMove);
    zip.DirManager->CurrentDir.ItemAt(3).SourceFileName = Path("absent.txt");
    zip.CloseArchive();
    EXPECT_TRUE(std::filesystem::exists(Path("n.txt")));
    EXPECT_EQ(Get("t.zip"), original_);

    Open(zip);
    zip.AddFile("m.txt", poMove);
    zip.CloseArchive();
    EXPECT_FALSE(std::filesystem::exists(Path("m.txt")));
    EXPECT_EQ(ReadBack("t.zip")[3].second, "moved");
}

TEST_F(Commit, ProgressEventsNameEachEntryWrittenAnew)
{
    Put("d.txt", "fourth");
    std::vector<std::string> log;
    TZipArchiver zip;
    zip.OnOverallProgress = [&](TZABaseArchiver*, double progress, TZAProcessOperation op, TZAProgressPhase phase,
                                bool&) {
        if (phase != ppProcess)
            log.push_back("overall " + std::to_string(int(op)) + " " + std::to_string(int(progress)));
    };
    zip.OnFileProgress = [&](TZABaseArchiver*, const std::string& name, double progress, TZAProcessOperation op,
                             TZAProgressPhase phase, bool&) {
        if (phase != ppProcess)
            log.push_back(name + " " + std::to_string(int(op)) + " " + std::to_string(int(progress)));
    };
    Open(zip);
    zip.UpdateItem(1, Path("b.bin"));
    zip.AddFile("d.txt");
    zip.CloseArchive();
    const std::vector<std::string> expected = {"overall 3 0", "b.bin 3 0", "b.bin 3 100", "d.txt 0 0",
                                               "d.txt 0 100", "overall 3 100"};
    EXPECT_EQ(log, expected);
    EXPECT_EQ(zip.ProcessedFileCount, 2);
    EXPECT_EQ(zip.ProcessedFileNo, 3);  // the copied c.txt counts too
}

TEST_F(Commit, ADroppedBatchGivesBackTheStoredDirectory)
{
    TZipArchiver zip;
    Open(zip);
    zip.DeleteItem(0);
    zip.DropPendingUpdate();
    ASSERT_EQ(zip.DirManager->CurrentDir.Count(), 3);
    EXPECT_EQ(zip.DirManager->CurrentDir.ItemAt(0).FileName, "a.txt");
    zip.CloseArchive();
    ExpectUntouched();
}

namespace {

// The two writers of an archive file: a commit deleting one entry, and a one-entry archive in memory
// moved to the file.
void CommitTo(TZipArchiver& zip, const std::string& name)
{
    zip.FileName = name;
    zip.OpenArchive();
    zip.BeginUpdate();
    zip.DeleteItem(2);
    zip.CloseArchive();
}

void MoveFromMemoryTo(TZipArchiver& zip, const std::string& name)
{
    zip.SetInMemory(true);
    zip.OpenArchive();
    zip.BeginUpdate();
    zip.AddStream("m.txt", std::make_shared<TFailingStream>("in memory", 1 << 30));
    zip.EndUpdate();
    zip.FileName = name;
    zip.SetInMemory(false);
    zip.CloseArchive();
}

using Writer = void (*)(TZipArchiver&, const std::string&);

}  // namespace

// Each writer writes through two links to a file in another folder: the links and the file's mode
// stay, no temporary is left.
TEST_F(Commit, AnArchiveReachedThroughLinksIsReplacedBehindThem)
{
    namespace fs = std::filesystem;
    const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::remove(Path("t.zip"));
    fs::create_symlink("u.zip", Path("t.zip"));
    fs::create_symlink(Path("real/t.zip"), Path("u.zip"));
    for (const auto& [writer, kept] : {std::pair<Writer, size_t>{CommitTo, 2}, {MoveFromMemoryTo, 1}}) {
        Put("real/t.zip", original_);
        fs::permissions(Path("real/t.zip"), mode);
        TZipArchiver zip;
        writer(zip, Path("t.zip"));
        EXPECT_EQ(ReadBack("real/t.zip").size(), kept);
        EXPECT_EQ(fs::status(Path("real/t.zip")).permissions(), mode);
        EXPECT_EQ(Listing(), (std::vector<std::string>{"a.txt", "b.bin", "c.txt", "real", "real/t.zip", "t.zip", "u.zip"}));
    }
}

// A writer is refused (36) when another renames its archive over the name once the first opened its
// temporary, or holds the file the first made at a missing name; what the other put there stays.
TEST_F(Commit, AWriterMeetingAnotherOneMidwayIsRefusedAndLosesNothingOfIt)
{
    static std::string other, name;  // the other's archive, renamed over name; none: the other holds
    static int held = -1;            // the file the first writer made
    name = Path("t.zip");
    const std::pair<Writer, bool> cases[] = {{CommitTo, true}, {MoveFromMemoryTo, true}, {MoveFromMemoryTo, false}};
    for (const auto& c : cases) {
        std::filesystem::remove(name);
        other = c.second ? Path("other.zip") : "";
        if (c.second) {
            Put("t.zip", original_);
            Put("other.zip", "the other writer's archive");
        }
        const rtl::TFsChangeObserver before = rtl::SetFsChangeObserver([](const rtl::TFsChange& change) {
            if (std::strcmp(change.Call, "open") != 0) return;
            if (!other.empty() && std::strstr(change.Path, ".FC") != nullptr) {
                ::rename(other.c_str(), name.c_str());
            } else if (other.empty() && (change.OpenFlags & O_CREAT) == 0 && held < 0) {
                held = ::open(change.Path, O_RDWR | O_CLOEXEC);
                struct flock lock = {};
                lock.l_type = F_WRLCK;
                ::fcntl(held, F_OFD_SETLK, &lock);
            }
        });
        TZipArchiver zip;
        EXPECT_EQ(NativeErrorOf([&] { c.first(zip, name); }), 36);
        rtl::SetFsChangeObserver(before);
        EXPECT_EQ(Get("t.zip"), c.second ? "the other writer's archive" : "") << "the other writer's file is lost";
        EXPECT_EQ(Listing(), (std::vector<std::string>{"a.txt", "b.bin", "c.txt", "t.zip"}));
    }
    ::close(held);
}

TEST_F(Commit, NamesOutsideAsciiRoundTripInTheOemCodePage)
{
    const std::string name = rtl::Ru("Папка/Файл ё.txt");
    for (bool oem : {true, false}) {
        TZipArchiver zip;
        zip.Options().OEMFileNames = oem;
        Open(zip);
        auto data = std::make_shared<rtl::TMemoryStream>();
        data->WriteBuffer("x", 1);
        zip.AddStream(name, data);
        zip.CloseArchive();
        TZipArchiver reader;
        reader.Options().OEMFileNames = oem;
        reader.FileName = Path("t.zip");
        reader.OpenArchiveWithMode(ZA_MODE_READONLY);
        EXPECT_EQ(reader.DirManager->CurrentDir.ItemAt(3).FileName, name);
        reader.CloseArchive();
        const std::string bytes = Get("t.zip");
        EXPECT_EQ(bytes.find(oem ? name : rtl::AnsiToOem(name)), std::string::npos);
        EXPECT_NE(bytes.find(oem ? rtl::AnsiToOem(name) : name), std::string::npos);
        Open(zip);
        zip.DeleteItem(3);
        zip.CloseArchive();
    }
}

TEST_F(Commit, ReadOnlyArchivesRefuseABatch)
{
    TZipArchiver zip;
    zip.FileName = Path("t.zip");
    zip.OpenArchiveWithMode(ZA_MODE_READONLY);
    EXPECT_EQ(NativeErrorOf([&] { zip.BeginUpdate(); }), 32);
    zip.CloseArchive();
    ExpectUntouched();
}

// While one archiver may write the archive (from its open, across each commit's rename, to its
// close), a second one of the same process is refused at once as a writer and still reads it.
TEST_F(Commit, ASecondWriterIsRefusedAtOnceWhileReadersGoOn)
{
    TZipArchiver first;
    Open(first);
    first.DeleteItem(2);
    first.EndUpdate();
    TZipArchiver second;
    second.FileName = Path("t.zip");
    EXPECT_EQ(NativeErrorOf([&] { second.OpenArchiveWithMode(ZA_MODE_READWRITE); }), 36);
    second.OpenArchive();
    EXPECT_EQ(second.OpenMode, ZA_MODE_READONLY);
    EXPECT_EQ(second.DirManager->CurrentDir.Count(), 2);
    EXPECT_EQ(NativeErrorOf([&] { second.BeginUpdate(); }), 36);
    first.CloseArchive();
    Open(second);
    EXPECT_EQ(second.OpenMode, ZA_MODE_READWRITE);
}

TEST_F(Commit, ArchiveInMemoryCommitsIntoItsStream)
{
    TZipArchiver zip;
    MoveFromMemoryTo(zip, Path("mem.zip"));
    EXPECT_EQ(ReadBack("mem.zip"), (Entries{{"m.txt", "in memory"}}));
}

TEST(StoredNames, DrivesServersAndClimbingComponentsAreDropped)
{
    EXPECT_EQ(TZABaseArchiver::MakeStoredName("C:\\data\\a\\b.txt", "C:\\data", spRelativePath), "a/b.txt");
    EXPECT_EQ(TZABaseArchiver::MakeStoredName("D:\\x\\y.txt", "C:\\data", spRelativePath), "x/y.txt");
    EXPECT_EQ(TZABaseArchiver::MakeStoredName("C:\\data\\a\\b.txt", "C:\\data", spNoPath), "b.txt");
    EXPECT_EQ(TZABaseArchiver::MakeStoredName("C:\\data\\a\\b.txt", "C:\\data", spFullPath), "data/a/b.txt");
    EXPECT_EQ(TZABaseArchiver::MakeStoredName("C:\\data\\sub\\", "C:\\data", spRelativePath), "sub");
    EXPECT_EQ(TZABaseArchiver::MakeStoredName("C:\\data\\..\\x\\.\\y.txt", "C:\\data", spRelativePath), "x/y.txt");
    EXPECT_EQ(TZABaseArchiver::MakeStoredName("C:", "C:\\data", spFullPath), "");
    // On this system a full path has no drive: it is stored without its leading separator.
    EXPECT_EQ(TZABaseArchiver::MakeStoredName("/opt/book/f.txt", "/tmp", spFullPathWithDrive), "opt/book/f.txt");
    EXPECT_EQ(TZABaseArchiver::MakeStoredName("/opt/book/../f.txt", "/tmp", spRelativePath), "opt/f.txt");
    EXPECT_EQ(TZABaseArchiver::MakeStoredName("/tmp/q/f.txt", "/tmp", spRelativePath), "q/f.txt");
}

TEST(StoredNames, ServerPartOfAUncName)
{
    EXPECT_EQ(TZABaseArchiver::MakeStoredName("\\\\server\\share\\f.txt", "C:\\data", spRelativePath),
              "share/f.txt");
}

// Entries are known by their place: deleting the first of two entries named alike keeps the second
// with its own data, and an entry deleted in a batch stays deleted when the new file of its name
// cannot be added.
TEST_F(Commit, EntriesAreKnownByTheirPlaceNotByTheirName)
{
    TZipArchiver zip;
    zip.OnProcessFileFailure = [](TZABaseArchiver*, const std::string&, TZAProcessOperation, int32_t, int32_t,
                                  const std::string&, TZAAction& action) { action = fxaIgnore; };
    Open(zip);
    TZADirArray& dir = zip.DirManager->CurrentDir;
    dir.RenameItem(1, "a.txt");  // now two entries are named a.txt
    dir.ItemAt(1).Modified = true;
    dir.ItemAt(1).PendingOperation = poRename;
    zip.EndUpdate();
    zip.BeginUpdate();
    zip.DeleteItem(0);
    zip.DeleteItem(1);  // c.txt, then a new c.txt whose file is gone
    ASSERT_EQ(zip.AddFile("c.txt"), 1);
    dir.ItemAt(1).SourceFileName = Path("gone.txt");
    zip.CloseArchive();
    EXPECT_EQ(ReadBack("t.zip"), (Entries{{"a.txt", Get("b.bin")}}));
}

// A split archive is never changed: a refused batch leaves every volume as it was, also when an
// extraction last switched to the first volume; an aborted creation leaves no volume behind.
TEST_F(Commit, SplitArchivesStayAsTheyWereWhenRefusedOrAborted)
{
    const auto splitZip = [&](TZipArchiver& zip) {
        zip.FileName = Path("split.zip");
        zip.SetSpanningMode(smSplitting);
        zip.SpanningOptions().VolumeSize = vsCustom;
        zip.SpanningOptions().SetCustomVolumeSize(65536);
    };
    const auto volumes = [&] {
        std::vector<std::pair<std::string, std::string>> found;
        for (const std::string& name : Listing())
            if (name.rfind("split", 0) == 0)
                found.emplace_back(name, Get(name));
        return found;
    };
    Put("big.bin", RandomBytes(200000, 3));
    {
        TZipArchiver zip;
        splitZip(zip);
        zip.OpenArchive();
        zip.BeginUpdate();
        zip.AddFile("big.bin");
        zip.AddFile("c.txt");
        zip.CloseArchive();
    }
    const auto before = volumes();
    ASSERT_GT(before.size(), 2u);
    TZipArchiver reader;
    splitZip(reader);
    reader.OpenArchive();
    rtl::TMemoryStream data;
    reader.ExtractToStream(0, data);  // on the first volume now
    reader.BeginUpdate();
    reader.DeleteItem(1);
    EXPECT_EQ(NativeErrorOf([&] { reader.CloseArchive(); }), 52);
    EXPECT_EQ(volumes(), before);

    for (const auto& [name, bytes] : before)
        std::filesystem::remove(Path(name));
    TZipArchiver zip;
    zip.OnProcessFileFailure = [](TZABaseArchiver*, const std::string&, TZAProcessOperation, int32_t, int32_t,
                                  const std::string&, TZAAction& action) { action = fxaAbort; };
    splitZip(zip);
    zip.OpenArchive();
    zip.BeginUpdate();
    zip.AddFile("big.bin");
    zip.AddFile("c.txt");
    zip.DirManager->CurrentDir.ItemAt(1).SourceFileName = Path("gone.txt");
    zip.CloseArchive();
    // No volume is left: closed with nothing in it, the new archive is the empty one.
    const auto left = volumes();
    ASSERT_EQ(left.size(), 1u) << testing::PrintToString(Listing());
    EXPECT_EQ(left[0].first, "split.zip");
    EXPECT_EQ(left[0].second.size(), 22u);
}

// An extraction from an entry that names another disk leaves the archiver on that volume; the
// commit writes the single-file archive from its first volume again.
TEST_F(Commit, CommitAfterReadingAnEntryOfAnotherDiskWritesASingleVolume)
{
    std::string bytes = Get("t.zip");
    const size_t central = bytes.find("PK\x01\x02");
    ASSERT_NE(central, std::string::npos);
    bytes[central + 34] = 1;  // the first entry claims to start on disk 1
    Put("t.zip", bytes);
    TZipArchiver zip;
    Open(zip);
    rtl::TMemoryStream data;
    zip.ExtractToStream(0, data);
    Put("d.txt", "fourth");
    zip.AddFile("d.txt");
    zip.CloseArchive();
    EXPECT_EQ(ReadBack("t.zip").size(), 4u);
    std::string out;
    if (HaveTool("unzip")) {
        EXPECT_EQ(RunCommand("unzip -t -qq " + Quote(Path("t.zip")), &out), 0) << out;
    }
}

// An updated entry keeps its name byte for byte, with the UTF-8 flag it had.
TEST_F(Commit, UpdatedEntryKeepsItsStoredName)
{
    const std::string utf8 = "\xE6\x97\xA5.t";  // as long as "c.txt"
    std::string bytes = Get("t.zip");
    for (size_t at = bytes.find("c.txt"); at != std::string::npos; at = bytes.find("c.txt", at)) {
        const size_t flags = bytes.compare(at - 46, 4, "PK\x01\x02") == 0 ? at - 46 + 8 : at - 30 + 6;
        bytes[flags + 1] = static_cast<char>(bytes[flags + 1] | 0x08);  // bit 11
        bytes.replace(at, 5, utf8);
    }
    Put("t.zip", bytes);
    TZipArchiver zip;
    Open(zip);
    zip.UpdateItem(2, Path("a.txt"));
    zip.CloseArchive();
    TZipArchiver reader;
    reader.FileName = Path("t.zip");
    reader.OpenArchiveWithMode(ZA_MODE_READONLY);
    const TDirItem& item = reader.DirManager->CurrentDir.ItemAt(2);
    EXPECT_EQ(item.StoredName, utf8);
    EXPECT_NE(item.Flags & kFlagUtf8Name, 0);
    reader.CloseArchive();
    EXPECT_EQ(ReadBack("t.zip")[2].second, Get("a.txt"));
}

// The new archive is made in the archive's folder under a name that shows whose it is, and takes
// the owner, group and mode of the one it replaces.
TEST_F(Commit, ReplacedArchiveKeepsOwnerGroupAndMode)
{
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(Path("t.zip").c_str(), 4321, 8765), 0);
    }
    ASSERT_EQ(::chmod(Path("t.zip").c_str(), 0640), 0);
    std::vector<std::string> during;
    TZipArchiver zip;
    zip.OnFileProgress = [&](TZABaseArchiver*, const std::string&, double, TZAProcessOperation, TZAProgressPhase,
                             bool&) {
        if (during.empty())
            during = Listing();
    };
    Open(zip);
    zip.UpdateItem(0, Path("a.txt"));
    zip.CloseArchive();
    ASSERT_EQ(during.size(), 5u);
    EXPECT_EQ(during[4], "t.zip.FC" + std::to_string(::getpid()) + during[4].substr(during[4].size() - 9)) << during[4];
    EXPECT_TRUE(during[4].ends_with(".tmp")) << during[4];
    struct stat st {};
    ASSERT_EQ(::stat(Path("t.zip").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(st.st_uid, 4321u);
        EXPECT_EQ(st.st_gid, 8765u);
    }
    EXPECT_EQ(Listing(), (std::vector<std::string>{"a.txt", "b.bin", "c.txt", "t.zip"}));
}

TEST_F(Commit, NewNamesTheOemCodePageCannotHoldAreRefused)
{
    TZipArchiver zip;
    Open(zip);
    auto data = std::make_shared<rtl::TMemoryStream>();
    EXPECT_EQ(NativeErrorOf([&] { zip.AddStream(rtl::Ru("цена €.txt"), data); }), 33);
    zip.Options().OEMFileNames = false;
    EXPECT_EQ(zip.AddStream(rtl::Ru("цена €.txt"), data), 3);
    zip.DropPendingUpdate();
    zip.CloseArchive();
}
