// Opening and closing: file modes, the failure paths (and what they leave behind), the empty
// archive a new archive becomes, and the in-memory switch.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/rtl/drives.h"
#include "platform/rtl/streams.h"
#include "tests/archive/archiver/fixture.h"

namespace {

const char kEmptyArchive[] = "PK\x05\x06\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0";

// A stream that takes no bytes: every write comes back short.
class TRefusingStream : public rtl::TMemoryStream {
public:
    int64_t Write(const void*, int64_t) override { return 0; }
};

class OpenClose : public ArchiverTest {
protected:
    // An archive of three small entries written by Python's zipfile.
    std::string MakePythonArchive(const std::string& name)
    {
        const std::string path = Path(name);
        EXPECT_TRUE(Python("with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as z:\n"
                           "    z.writestr('a.txt', 'alpha' * 100)\n"
                           "    z.writestr('dir/b.txt', 'beta')\n"
                           "    z.writestr('c.bin', bytes(range(256)))\n",
                           path));
        return path;
    }

    void ExpectReleased(const TZipArchiver& zip)
    {
        EXPECT_FALSE(zip.IsOpen);
        EXPECT_EQ(zip.ArchiveStream, nullptr);
        EXPECT_EQ(zip.DirManager, nullptr);
    }
};

// Closing a new archive whose stream is empty writes the empty archive, byte-identical to
// the one Python's zipfile writes.
TEST_F(OpenClose, MissingFileBecomesTheEmptyArchiveOnClose)
{
    TZipArchiver zip;
    zip.FileName = Path("updated.zip");
    zip.BaseDir = Dir() + "/";
    zip.OpenArchive();
    EXPECT_TRUE(zip.IsOpen);
    EXPECT_EQ(zip.OpenMode, ZA_MODE_CREATE);
    EXPECT_TRUE(Exists(Path("updated.zip")));
    zip.ExtractFiles("*.*", 10431, "");
    zip.CloseArchive();
    ExpectReleased(zip);

    const std::string ours = ReadAll(Path("updated.zip"));
    EXPECT_EQ(ours, std::string(kEmptyArchive, 22));
    ASSERT_TRUE(Python("zipfile.ZipFile(path, 'w').close()", Path("python.zip")));
    EXPECT_EQ(ours, ReadAll(Path("python.zip")));
}

// A file that holds no archive, opened as the updater opens its pack and only read, stays as it was.
TEST_F(OpenClose, FileOnlyReadIsLeftAsItWas)
{
    for (const std::string& bytes : {std::string(), std::string(1, '\0'), std::string("PK")}) {
        WriteAll(Path("pack.zip"), bytes);
        TZipArchiver zip;
        zip.FileName = Path("pack.zip");
        zip.BaseDir = Dir() + "/";
        NativeErrorOf([&] {  // the open may refuse what holds no archive
            zip.OpenArchive();
            zip.ExtractFiles("*.*", 10431, "");
            zip.MarkFiles("*.*", 10431, "");
            zip.ProcessFiles(poTest);
            zip.CloseArchive();
        });
        EXPECT_EQ(ReadAll(Path("pack.zip")), bytes) << bytes.size() << " bytes";
    }
}

// Whether another process may take a record lock on the file (as NFS emulates every lock).
bool OthersMayLock(const std::string& path)
{
    const pid_t child = fork();
    if (child == 0) {
        const int fd = ::open(path.c_str(), O_RDWR);
        _exit(fd >= 0 && ::lockf(fd, F_TLOCK, 0) == 0 ? 1 : 0);
    }
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 1;
}

// The writers' lock holds against record locks; neither another archiver's open and close of the
// file in this process, nor an archive in memory moved over it (refused, 36), nor a commit lets go
// of it, and the holder's commit goes on as if none of them had been.
TEST_F(OpenClose, WritersLockSurvivesOtherUsesOfTheFile)
{
    TZipArchiver holder, mover;
    holder.FileName = MakePythonArchive("held.zip");
    const std::string before = ReadAll(holder.FileName);
    holder.OpenArchive();
    EXPECT_FALSE(OthersMayLock(holder.FileName));
    {
        TZipArchiver reader;
        reader.FileName = holder.FileName;
        reader.OpenArchive();
        EXPECT_EQ(reader.OpenMode, ZA_MODE_READONLY);
    }
    EXPECT_FALSE(OthersMayLock(holder.FileName));
    mover.SetInMemory(true);
    mover.OpenArchive();
    mover.FileName = holder.FileName;
    EXPECT_EQ(NativeErrorOf([&] { mover.SetInMemory(false); }), 36);
    EXPECT_EQ(ReadAll(holder.FileName), before);
    holder.BeginUpdate();
    holder.DeleteItem(0);
    holder.EndUpdate();
    EXPECT_FALSE(OthersMayLock(holder.FileName));
    holder.CloseArchive();
    EXPECT_TRUE(OthersMayLock(holder.FileName));
    holder.OpenArchiveWithMode(ZA_MODE_READONLY);
    EXPECT_EQ(holder.DirManager->CurrentDir.Count(), 2);
}

TEST_F(OpenClose, DestructionClosesAndFinishesANewArchive)
{
    {
        TZipArchiver zip;
        zip.FileName = Path("new.zip");
        zip.OpenArchive();
    }
    EXPECT_EQ(ReadAll(Path("new.zip")), std::string(kEmptyArchive, 22));
}

TEST_F(OpenClose, ExistingArchiveOpensReadWriteAndLoadsItsDirectory)
{
    TZipArchiver zip;
    zip.FileName = MakePythonArchive("pack.zip");
    int afterOpen = 0;
    zip.AfterOpen = [&](TZABaseArchiver* sender) {
        EXPECT_EQ(sender, &zip);
        EXPECT_TRUE(zip.IsOpen);
        ++afterOpen;
    };
    zip.OpenArchive();
    EXPECT_EQ(afterOpen, 1);
    EXPECT_EQ(zip.OpenMode, ZA_MODE_READWRITE);
    EXPECT_EQ(zip.SpanningMode(), smNone);
    ASSERT_NE(zip.DirManager, nullptr);
    EXPECT_EQ(zip.DirManager->CurrentDir.Count(), 3);
    const std::string before = ReadAll(zip.FileName);
    zip.CloseArchive();
    EXPECT_EQ(ReadAll(zip.FileName), before);  // closing an unchanged archive writes nothing

    // Opening again closes what was open first.
    zip.OpenArchive();
    zip.OpenArchive();
    EXPECT_EQ(afterOpen, 3);
    EXPECT_TRUE(zip.IsOpen);
}

TEST_F(OpenClose, ReadOnlyFileOpensWithMode64)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    TZipArchiver zip;
    zip.FileName = MakePythonArchive("ro.zip");
    ASSERT_EQ(chmod(zip.FileName.c_str(), 0444), 0);
    zip.OpenArchive();
    EXPECT_EQ(zip.OpenMode, ZA_MODE_READONLY);
    EXPECT_EQ(zip.DirManager->CurrentDir.Count(), 3);
}

TEST_F(OpenClose, NameWithoutFilePartRaisesCode9Or10)
{
    TZipArchiver zip;
    zip.FileName = Dir() + "\\";
    EXPECT_EQ(NativeErrorOf([&] { zip.OpenArchive(); }), 9);
    EXPECT_EQ(NativeErrorOf([&] { zip.OpenArchiveWithMode(ZA_MODE_READWRITE); }), 10);
    zip.FileName.clear();
    EXPECT_EQ(NativeErrorOf([&] { zip.OpenArchive(); }), 9);
    ExpectReleased(zip);
}

TEST_F(OpenClose, MissingFileOnAFixedDriveRaisesCode12WithItsName)
{
    TZipArchiver zip;
    zip.Name = "zip_archiver";
    zip.FileName = Path("missing.zip");
    try {
        zip.OpenArchiveWithMode(ZA_MODE_READWRITE);
        FAIL() << "no exception";
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError, 12);
        EXPECT_EQ(e.Message(),
                  "zip_archiver: File \"" + zip.FileName + "\" not found - Native error: 00012");
    }
    EXPECT_FALSE(Exists(zip.FileName));
    ExpectReleased(zip);
}

TEST_F(OpenClose, InMemoryArchiveCannotOpenAFile)
{
    TZipArchiver zip;
    zip.FileName = MakePythonArchive("pack.zip");
    zip.SetInMemory(true);
    EXPECT_EQ(NativeErrorOf([&] { zip.OpenArchiveWithMode(ZA_MODE_READWRITE); }), 28);
    zip.OpenArchive();  // creates a new archive in memory, the file stays as it was
    EXPECT_TRUE(zip.IsOpen);
    EXPECT_EQ(zip.DirManager->CurrentDir.Count(), 0);
}

TEST_F(OpenClose, ExtractFilesNeedsAnOpenArchive)
{
    TZipArchiver zip;
    EXPECT_EQ(NativeErrorOf([&] { zip.ExtractFiles("*.*", 10431, ""); }), 13);
    zip.SetInMemory(true);
    zip.OpenArchive();
    zip.PendingUpdateCount = 1;
    EXPECT_EQ(NativeErrorOf([&] { zip.ExtractFiles("*.*", 10431, ""); }), 26);
    zip.PendingUpdateCount = 0;
}

// A failed open releases the stream and the manager and restores RebuildDamagedDirectory
// on every path.
TEST_F(OpenClose, NoEndRecordWithRebuildingOffRaisesCode48)
{
    WriteAll(Path("junk.zip"), std::string(5000, 'x'));
    TZipArchiver zip;
    zip.FileName = Path("junk.zip");
    zip.RebuildDamagedDirectory = false;
    EXPECT_EQ(NativeErrorOf([&] { zip.OpenArchive(); }), 48);
    ExpectReleased(zip);
    EXPECT_FALSE(zip.RebuildDamagedDirectory);
}

TEST_F(OpenClose, FailedRebuildReleasesEverythingAndRestoresTheFlag)
{
    WriteAll(Path("junk.zip"), std::string(5000, 'x'));
    TZipArchiver zip;
    zip.FileName = Path("junk.zip");
    EXPECT_EQ(NativeErrorOf([&] { zip.OpenArchive(); }), 35);
    ExpectReleased(zip);
    EXPECT_TRUE(zip.RebuildDamagedDirectory);

    WriteAll(Path("junk.exe"), std::string(5000, 'x'));  // a self-extractor without any archive
    zip.FileName = Path("junk.exe");
    EXPECT_EQ(NativeErrorOf([&] { zip.OpenArchive(); }), 35);
    ExpectReleased(zip);
    EXPECT_TRUE(zip.RebuildDamagedDirectory);
}

TEST_F(OpenClose, TruncatedArchiveIsRebuiltOnlyWhenAllowed)
{
    const std::string path = MakePythonArchive("cut.zip");
    std::string bytes = ReadAll(path);
    bytes.resize(bytes.size() - 30);  // the end record is gone
    WriteAll(path, bytes);

    TZipArchiver zip;
    zip.FileName = path;
    zip.OpenArchive();
    EXPECT_EQ(zip.DirManager->CurrentDir.Count(), 3);
    zip.CloseArchive();
    EXPECT_EQ(ReadAll(path), bytes);

    zip.RebuildDamagedDirectory = false;
    EXPECT_EQ(NativeErrorOf([&] { zip.OpenArchive(); }), 48);
    ExpectReleased(zip);
}

TEST_F(OpenClose, CancelledLastDiskOnARemovableDriveRaisesCode45)
{
    rtl::SetRemovableFolderForTests(Dir(), "DISK", 10'000'000);
    TZipArchiver zip;
    zip.FileName = Path("absent.zip");
    // Cancel in the last-disk prompt (an empty queue closes the dialog).
    EXPECT_EQ(NativeErrorOf([&] { zip.OpenArchiveWithMode(ZA_MODE_READWRITE); }), 45);
    ExpectReleased(zip);
    EXPECT_TRUE(zip.RebuildDamagedDirectory);
    ASSERT_FALSE(dialogs_.Log().empty());
    EXPECT_EQ(dialogs_.Log().back().Text, "Please insert the last disk");
}

// CloseArchive finishes closing and then raises the first error.
TEST_F(OpenClose, CloseFinishesThenRaisesTheFirstError)
{
    TZipArchiver zip;
    zip.SetInMemory(true);
    zip.OpenArchive();
    zip.ArchiveStream = std::make_unique<TRefusingStream>();
    zip.DirManager->Stream = zip.ArchiveStream.get();
    EXPECT_THROW(zip.CloseArchive(), rtl::EWriteError);  // the end record goes out whole or not at all
    ExpectReleased(zip);
    zip.CloseArchive();  // nothing left to fail

    zip.OpenArchive();
    zip.DirManager->CurrentDir.Resize(1);
    zip.DirManager->CurrentDir.ItemAt(0).Signature = kCentralHeaderSig;
    zip.ArchiveStream = std::make_unique<TRefusingStream>();
    zip.DirManager->Stream = zip.ArchiveStream.get();
    EXPECT_EQ(NativeErrorOf([&] { zip.CloseArchive(); }), 46);  // the central directory did not go out
    ExpectReleased(zip);

    zip.OpenArchive();
    zip.BeginUpdate();  // a batch whose commit fails is reported, not dropped silently
    zip.OpenMode = ZA_MODE_READONLY;
    EXPECT_THROW(zip.CloseArchive(), rtl::Exception);
    ExpectReleased(zip);
    EXPECT_EQ(zip.PendingUpdateCount, 0);
}

TEST_F(OpenClose, DeleteItemNeedsABatchAndAValidIndex)
{
    TZipArchiver zip;
    zip.FileName = MakePythonArchive("pack.zip");
    const std::string before = ReadAll(zip.FileName);
    zip.OpenArchive();
    EXPECT_EQ(NativeErrorOf([&] { zip.DeleteItem(0); }), 22);
    zip.PendingUpdateCount = 1;
    EXPECT_EQ(NativeErrorOf([&] { zip.DeleteItem(3); }), 21);
    EXPECT_EQ(NativeErrorOf([&] { zip.DeleteItem(-1); }), 21);
    EXPECT_EQ(NativeErrorOf([&] { zip.DeleteItems({0, 3}); }), 21);  // all or none
    zip.DeleteStep(0);
    ASSERT_EQ(zip.DirManager->CurrentDir.Count(), 2);
    EXPECT_EQ(zip.DirManager->CurrentDir.ItemAt(0).FileName, "dir/b.txt");
    zip.DeleteItems({1, 0, 1});
    EXPECT_EQ(zip.DirManager->CurrentDir.Count(), 0);
    zip.DropPendingUpdate();
    zip.CloseArchive();
    EXPECT_EQ(ReadAll(zip.FileName), before);
}

TEST_F(OpenClose, MemoryArchiveMovesToAFileAsAValidArchive)
{
    TZipArchiver zip;
    zip.SetInMemory(true);
    zip.OpenArchive();
    EXPECT_EQ(NativeErrorOf([&] { zip.SetInMemory(false); }), 29);
    EXPECT_TRUE(zip.InMemory());

    zip.FileName = Path("moved.zip");
    zip.SetInMemory(false);
    EXPECT_FALSE(zip.InMemory());
    EXPECT_TRUE(zip.IsOpen);
    EXPECT_EQ(zip.OpenMode, ZA_MODE_READWRITE);
    zip.CloseArchive();
    EXPECT_EQ(ReadAll(Path("moved.zip")), std::string(kEmptyArchive, 22));
}

TEST_F(OpenClose, FileArchiveMovesToMemoryLeavingTheFileAlone)
{
    TZipArchiver zip;
    zip.FileName = MakePythonArchive("pack.zip");
    const std::string before = ReadAll(zip.FileName);
    zip.OpenArchive();
    zip.SetInMemory(true);
    EXPECT_TRUE(zip.InMemory());
    EXPECT_TRUE(zip.IsOpen);
    EXPECT_EQ(zip.DirManager->CurrentDir.Count(), 0);
    zip.CloseArchive();
    EXPECT_EQ(ReadAll(zip.FileName), before);
}

TEST_F(OpenClose, ClosedSwitchOnlyChangesTheFlag)
{
    TZipArchiver zip;
    zip.SetInMemory(true);
    EXPECT_TRUE(zip.InMemory());
    EXPECT_FALSE(zip.IsOpen);
    zip.SetInMemory(false);
    EXPECT_FALSE(zip.InMemory());
}

}  // namespace
