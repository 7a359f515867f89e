// The archive's own file. Only a regular file (or a link to one) is an archive: a folder, device,
// FIFO or socket is refused, never read and never replaced. While the archive is open in a mode
// that writes, its file is held with the writers' lock (rtl::TryLockFile), so a second writer of the
// same archive (another process, or another archiver of this one) is refused at once instead of one
// commit silently replacing the other's; where the file system keeps no locks, writers go on
// without. Readers take no lock and are never held up.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "archive/ZAExcept.h"
#include "archive/ZASiblingFile.h"
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

// Makes name when it is missing, leaving an existing file as it is (it is emptied only once held, and
// never opened to be created); true when it made the file.
bool CreateIfMissing(const std::string& name)
{
    if (rtl::FileExists(name))
        return false;
    const int fd = rtl::OpenFile(name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0 && errno == EEXIST)
        return false;  // made by another writer meanwhile
    if (fd < 0)
        throw rtl::EFCreateError("Cannot create file \"" + name + "\". " + rtl::SysErrorMessage(errno));
    ::close(fd);
    return true;
}

// Holds the writers' lock on an open file; false when another writer holds it. A file system that
// keeps no locks lets the writer go on without one, as a lock is only a guard against a second one.
bool HoldForWriting(const rtl::TFileStream& file)
{
    return rtl::TryLockFile(file.Handle()) != rtl::TFileLock::Held;
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
    if (heldFile_)
        return std::move(heldFile_);
    const bool writes = OpenMode != ZA_MODE_READONLY;
    for (int attempt = 1;; ++attempt) {
        const bool made = OpenMode == ZA_MODE_CREATE && CreateIfMissing(name);
        auto file = std::make_unique<rtl::TFileStream>(name, writes ? rtl::fmOpenReadWrite : rtl::fmOpenRead);
        // The name may have been given to another node since the check above.
        struct stat held {};
        if (::fstat(file->Handle(), &held) != 0 || !S_ISREG(held.st_mode))
            throw EZAException::CreateWithCodeFmt(kNotAFile, {name}, this);
        if (!writes)
            return file;
        if (!HoldForWriting(*file))
            throw EZAException::CreateWithCodeFmt(kHeldByAnother, {name}, this);
        struct stat current {};
        if (NodeOf(name, current) && SameNode(held, current)) {
            if (OpenMode == ZA_MODE_CREATE)
                EmptyNewArchive(*file, made);
            return file;
        }
        if (attempt == kLockAttempts)
            throw EZAException::CreateWithCodeFmt(kHeldByAnother, {name}, this);
    }
}

// A file the open made, or one it emptied, is the new archive's to finish on close; an empty file that
// was there already is left as it is unless a commit writes it.
void TZABaseArchiver::EmptyNewArchive(rtl::TFileStream& file, bool made)
{
    const int64_t size = file.Size();
    if (createMissingOnly_ && size > 0)
        throw TArchiveAppeared{};
    if (made)
        fileMadeByOpen_ = kFileMade;
    else if (size > 0)
        fileMadeByOpen_ = kFileEmptied;
    if (size > 0)
        file.SetSize(0);
}

// The new archive a batch failed to fill, in a file the open made: removed, as the file was never
// there, unless its name has meanwhile been given to another file.
void TZABaseArchiver::RemoveUnfilledArchive()
{
    const std::string name = CurrentVolumeName.empty() ? FileName : CurrentVolumeName;
    if (IsArchiveFile(name))
        rtl::DeleteFile(name);
}

// The archive file becomes a copy of source: made beside it under the writers' lock and renamed over
// it, so the file is never half written, and refused with 36 while another writer holds the file.
// The new file stays held for the next open of FileName.
void TZABaseArchiver::ReplaceArchiveFile(rtl::TStream& source)
{
    // A missing file is made first, as an open makes it, so that it has the mode of a new file.
    const bool made = CreateIfMissing(FileName);
    std::string temp;
    try {
        rtl::TFileStream old(FileName, rtl::fmOpenReadWrite);
        if (!HoldForWriting(old))
            throw EZAException::CreateWithCodeFmt(kHeldByAnother, {FileName}, this);
        const std::filesystem::path native = rtl::ToNativePath(FileName);
        std::unique_ptr<rtl::TFileStream> file = MakeSiblingTemp(native, temp);
        if (!file)
            throw EZAException::CreateWithCodeFmt(19, {FileName}, this);
        file->CopyFrom(source, 0);
        file->Flush();
        CopyOwnerAndMode(native, rtl::ToNativePath(temp));
        if (rtl::sys::Rename(rtl::ToNativePath(temp).c_str(), native.c_str()) != 0)
            throw EZAException::CreateWithCodeFmt(19, {FileName}, this);
        heldFile_ = std::move(file);
    } catch (...) {
        if (!temp.empty())
            rtl::DeleteFile(temp);
        if (made)
            rtl::DeleteFile(FileName);
        throw;
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
