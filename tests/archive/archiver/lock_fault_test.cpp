// A file system that keeps no locks (ENOLCK, EOPNOTSUPP) lets a writer go on without one instead of
// taking every open for one another writer holds. The lock calls of this program fail on demand.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>

#include "tests/archive/archiver/fixture.h"

namespace {
int gLockError = 0;  // 0: lock calls go to the kernel
}  // namespace

extern "C" int fcntl(int fd, int cmd, ...)
{
    va_list args;
    va_start(args, cmd);
    void* arg = va_arg(args, void*);
    va_end(args);
    if (gLockError != 0 && (cmd == F_OFD_SETLK || cmd == F_SETLK))
        return errno = gLockError, -1;
    return static_cast<int>(syscall(SYS_fcntl, fd, cmd, arg));
}

extern "C" int flock(int fd, int operation)
{
    return gLockError != 0 ? (errno = gLockError, -1) : static_cast<int>(syscall(SYS_flock, fd, operation));
}

namespace {

TEST_F(ArchiverTest, WriterGoesOnWhereTheFileSystemKeepsNoLocks)
{
    for (const int error : {ENOLCK, EOPNOTSUPP}) {
        const std::string path = Path("nolocks.zip");
        ASSERT_TRUE(Python("with zipfile.ZipFile(path, 'w') as z:\n    z.writestr('a', 'x')\n    z.writestr('b', 'y')\n", path));
        gLockError = error;
        TZipArchiver zip;
        zip.FileName = path;
        zip.OpenArchive();
        EXPECT_EQ(zip.OpenMode, ZA_MODE_READWRITE) << error;
        zip.BeginUpdate();
        zip.DeleteItem(0);
        zip.CloseArchive();
        gLockError = 0;
        zip.OpenArchiveWithMode(ZA_MODE_READONLY);
        EXPECT_EQ(zip.DirManager->CurrentDir.Count(), 1) << error;
    }
}

}  // namespace
