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

#include "archive/ZAArchiveFile.h"
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
    if (OpenMode == ZA_MODE_READONLY) {
        auto file = std::make_unique<rtl::TFileStream>(name, rtl::fmOpenRead);
        CheckOpenedIsFile(*file, name);
        return file;
    }
    bool made = false;
    auto file = HoldArchiveFile(name, OpenMode == ZA_MODE_CREATE, made);
    if (OpenMode == ZA_MODE_CREATE)
        EmptyNewArchive(*file, made);
    return file;
}

// The name may have been given to another node since it was checked.
void TZABaseArchiver::CheckOpenedIsFile(const rtl::TFileStream& file, const std::string& name) const
{
    struct stat opened {};
    if (::fstat(file.Handle(), &opened) != 0 || !S_ISREG(opened.st_mode))
        throw EZAException::CreateWithCodeFmt(kNotAFile, {name}, this);
}

std::unique_ptr<rtl::TFileStream> TZABaseArchiver::HoldArchiveFile(const std::string& name, bool create, bool& made)
{
    for (int attempt = 1;; ++attempt) {
        made = create && CreateIfMissing(name);
        auto file = std::make_unique<rtl::TFileStream>(name, rtl::fmOpenReadWrite);
        CheckOpenedIsFile(*file, name);
        if (!HoldForWriting(*file))
            throw EZAException::CreateWithCodeFmt(kHeldByAnother, {name}, this);
        if (NameLeadsTo(name, *file))
            return file;
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
    if (IsArchiveFile(ArchiveFileName()))
        rtl::DeleteFile(ArchiveFileName());
}

// The archive file becomes a copy of source, written beside it and renamed in; a missing file is
// made first, as an open makes it, so that the new one has the mode of a new file and other writers
// meet this one's lock at the name. The new file stays held for the next open of FileName.
void TZABaseArchiver::ReplaceArchiveFile(rtl::TStream& source)
{
    bool made = false;
    const std::unique_ptr<rtl::TFileStream> old = HoldArchiveFile(FileName, true, made);
    try {
        TZANewArchiveFile file(FileName, *this);
        file.Stream().CopyFrom(source, 0);
        heldFile_ = file.Replace(*old);
    } catch (...) {
        // The file made above is removed only while it is still this writer's, held and at the name.
        if (made && NameLeadsTo(FileName, *old))
            rtl::DeleteFile(FileName);
        throw;
    }
}

bool TZABaseArchiver::IsArchiveFile(const std::string& path) const
{
    const auto* file = dynamic_cast<const rtl::TFileStream*>(ArchiveStream.get());
    return file != nullptr && NameLeadsTo(path, *file);
}

bool TZABaseArchiver::NameLeadsTo(const std::string& name, const rtl::TFileStream& file)
{
    struct stat opened {};
    struct stat named {};
    return ::fstat(file.Handle(), &opened) == 0 && NodeOf(name, named) && SameNode(opened, named);
}

TZANewArchiveFile::TZANewArchiveFile(const std::string& name, const TZABaseArchiver& owner)
    : owner_(owner), name_(name)
{
    const std::filesystem::path native = rtl::ToNativePath(name);
    std::error_code error;
    target_ = std::filesystem::canonical(native, error);
    if (error)
        target_ = native;
    stream_ = MakeSiblingTemp(target_, temp_);
    if (!stream_)
        throw EZAException::CreateWithCodeFmt(19, {name}, &owner);
}

TZANewArchiveFile::~TZANewArchiveFile()
{
    stream_.reset();
    if (!temp_.empty())
        rtl::DeleteFile(temp_);
}

std::unique_ptr<rtl::TFileStream> TZANewArchiveFile::Replace(const rtl::TFileStream& held)
{
    stream_->Flush();
    // The file renamed over must be the held one itself, not a link put in its place.
    struct stat opened {};
    struct stat entry {};
    if (!TZABaseArchiver::NameLeadsTo(name_, held) || ::fstat(held.Handle(), &opened) != 0 ||
        rtl::sys::Lstat(target_.c_str(), entry) != 0 || !SameNode(opened, entry))
        throw EZAException::CreateWithCodeFmt(kHeldByAnother, {name_}, &owner_);
    const std::filesystem::path nativeTemp = rtl::ToNativePath(temp_);
    CopyOwnerAndMode(target_, nativeTemp);
    if (rtl::sys::Rename(nativeTemp.c_str(), target_.c_str()) != 0)
        throw EZAException::CreateWithCodeFmt(19, {name_}, &owner_);
    temp_.clear();
    return std::move(stream_);
}
