// The archive's own file. Only a regular file (or a link to one) is an archive: a folder, device,
// FIFO or socket is refused, never read and never replaced. While the archive is open in a mode
// that writes, its file is held with an exclusive advisory lock, so a second writer of the same
// archive (another process, or another archiver of this one) is refused at once instead of one
// commit silently replacing the other's. Readers take no lock and are never held up.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "archive/ZAExcept.h"
#include "archive/ZipArchiver.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/fscalls.h"
#include "platform/rtl/locks.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"

namespace {

constexpr int32_t kNotAFile = 33;       // "Cannot open file "%s""
constexpr int32_t kHeldByAnother = 36;  // "Cannot create output file. Probably file is locked ..."
// A writer that renames its new archive into place between our open and our lock leaves us a lock
// on a file that is no longer the archive; the open is tried again this many times in all.
constexpr int kLockAttempts = 8;

// The node a system name leads to (links followed); false when there is none.
bool NodeOf(const std::string& name, struct stat& st)
{
    return rtl::sys::Stat(rtl::ToNativePath(name).c_str(), st) == 0;
}

bool SameNode(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Makes name when it is missing, leaving an existing file as it is (it is emptied only once held).
void CreateIfMissing(const std::string& name)
{
    const int fd = rtl::OpenFile(name, O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0)
        throw rtl::EFCreateError("Cannot create file \"" + name + "\". " + rtl::SysErrorMessage(errno));
    ::close(fd);
}

}  // namespace

void TZABaseArchiver::CheckArchiveIsFile(const std::string& name) const
{
    struct stat st {};
    if (NodeOf(name, st) && !S_ISREG(st.st_mode))
        throw EZAException::CreateWithCodeFmt(kNotAFile, {name}, this);
}

std::unique_ptr<rtl::TFileStream> TZABaseArchiver::OpenArchiveFile(const std::string& name)
{
    CheckArchiveIsFile(name);
    const bool writes = OpenMode != ZA_MODE_READONLY;
    for (int attempt = 1;; ++attempt) {
        if (OpenMode == ZA_MODE_CREATE)
            CreateIfMissing(name);
        auto file = std::make_unique<rtl::TFileStream>(name, writes ? rtl::fmOpenReadWrite : rtl::fmOpenRead);
        // The name may have been given to another node since the check above.
        struct stat held {};
        if (::fstat(file->Handle(), &held) != 0 || !S_ISREG(held.st_mode))
            throw EZAException::CreateWithCodeFmt(kNotAFile, {name}, this);
        if (!writes)
            return file;
        if (!rtl::TryLockFile(file->Handle()))
            throw EZAException::CreateWithCodeFmt(kHeldByAnother, {name}, this);
        struct stat current {};
        if (NodeOf(name, current) && SameNode(held, current)) {
            if (OpenMode == ZA_MODE_CREATE) {
                if (createMissingOnly_ && file->Size() > 0)
                    throw TArchiveAppeared{};
                file->SetSize(0);
            }
            return file;
        }
        if (attempt == kLockAttempts)
            throw EZAException::CreateWithCodeFmt(kHeldByAnother, {name}, this);
    }
}

bool TZABaseArchiver::IsArchiveFile(const std::string& path) const
{
    const auto* file = dynamic_cast<const rtl::TFileStream*>(ArchiveStream.get());
    struct stat archive {};
    struct stat other {};
    return file != nullptr && ::fstat(file->Handle(), &archive) == 0 && NodeOf(path, other) &&
           SameNode(archive, other);
}
