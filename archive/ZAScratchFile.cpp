#include "archive/ZAScratchFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <random>
#include <string>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/folderindex.h"
#include "platform/rtl/fscalls.h"

namespace {

constexpr int kNameAttempts = 64;

std::string UniqueName()
{
    static std::atomic<uint64_t> counter{std::random_device{}()};
    char name[32];
    std::snprintf(name, sizeof name, "FC%012llx.tmp",
                  static_cast<unsigned long long>(counter.fetch_add(0x9E3779B97F4A7C15ull) & 0xFFFFFFFFFFFFull));
    return name;
}

std::string FolderArg(const std::filesystem::path& nativeFolder)
{
    return nativeFolder.empty() ? std::string(".") : nativeFolder.string();
}

// A file without a name is given one through /proc; without it one is never made.
bool CanNameOpenFiles()
{
    static const bool procMounted = ::access("/proc/self/fd", X_OK) == 0;
    return procMounted;
}

// The file systems that cannot make a file without a name say so by one of these.
bool NoNamelessFiles(int error)
{
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

}  // namespace

std::unique_ptr<TZAScratchFile> TZAScratchFile::CreateIn(const std::filesystem::path& nativeFolder)
{
    if (CanNameOpenFiles()) {
        const int fd = rtl::sys::Open(FolderArg(nativeFolder).c_str(), O_WRONLY | O_TMPFILE | O_CLOEXEC, 0666);
        if (fd >= 0)
            return std::unique_ptr<TZAScratchFile>(new TZAScratchFile(fd, {}));
        if (!NoNamelessFiles(errno))
            return nullptr;
    }
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::filesystem::path path = nativeFolder / UniqueName();
        // O_EXCL: fails when the name exists, so another file is never taken over.
        const int fd = rtl::sys::Open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            rtl::folderindex::NoteCreated(path);
            return std::unique_ptr<TZAScratchFile>(new TZAScratchFile(fd, std::move(path)));
        }
        if (errno != EEXIST)
            return nullptr;
    }
    return nullptr;
}

TZAScratchFile::~TZAScratchFile()
{
    CloseFile();
    if (!placed_ && !path_.empty() && rtl::sys::Unlink(path_.c_str()) == 0)
        rtl::folderindex::NoteRemoved(path_);
}

int64_t TZAScratchFile::Read(void*, int64_t)
{
    return 0;
}

int64_t TZAScratchFile::Write(const void* buffer, int64_t count)
{
    const char* in = static_cast<const char*>(buffer);
    int64_t done = 0;
    while (fd_ >= 0 && done < count) {
        const ssize_t n = ::write(fd_, in + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;  // the caller sees the short count
        done += n;
    }
    position_ += done;
    size_ = std::max(size_, position_);
    return done;
}

int64_t TZAScratchFile::Seek(int64_t offset, rtl::TSeekOrigin origin)
{
    int64_t target = offset;
    if (origin == rtl::soCurrent)
        target = position_ + offset;
    else if (origin == rtl::soEnd)
        target = size_ + offset;
    if (target == position_)
        return position_;
    if (fd_ < 0 || target < 0 || ::lseek(fd_, static_cast<off_t>(target), SEEK_SET) < 0)
        throw rtl::EStreamError("Stream seek error");
    position_ = target;
    return position_;
}

void TZAScratchFile::SetSize(int64_t)
{
    throw rtl::EStreamError("Stream size cannot be changed");
}

bool TZAScratchFile::Sync()
{
    return fd_ >= 0 && ::fsync(fd_) == 0;
}

bool TZAScratchFile::SetModified(time_t time)
{
    const struct timespec times[2] = {{0, UTIME_OMIT}, {time, 0}};
    return fd_ >= 0 && ::futimens(fd_, times) == 0;
}

bool TZAScratchFile::SetPermissions(mode_t mode)
{
    return fd_ >= 0 && ::fchmod(fd_, mode) == 0;
}

bool TZAScratchFile::ReplaceTarget(const std::filesystem::path& nativeTarget)
{
    if (fd_ < 0 || placed_)
        return false;
    if (path_.empty()) {
        if (rtl::sys::LinkOpenFile(fd_, nativeTarget.c_str()) == 0) {
            placed_ = true;
            rtl::folderindex::NoteCreated(nativeTarget);
            CloseFile();  // the data is in place; a local file system reports nothing more here
            return true;
        }
        // An existing target is replaced by a rename, which needs a name to rename.
        if (errno != EEXIST || !NameBeside(nativeTarget))
            return false;
    }
    if (!CloseFile() || rtl::sys::Rename(path_.c_str(), nativeTarget.c_str()) != 0)
        return false;
    placed_ = true;
    rtl::folderindex::NoteRenamed(path_, nativeTarget);
    return true;
}

bool TZAScratchFile::NameBeside(const std::filesystem::path& nativeTarget)
{
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::filesystem::path path = nativeTarget.parent_path() / UniqueName();
        if (rtl::sys::LinkOpenFile(fd_, path.c_str()) == 0) {
            path_ = std::move(path);
            rtl::folderindex::NoteCreated(path_);
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

// A failing close (a full disk on some file systems) means the data may not be whole.
bool TZAScratchFile::CloseFile()
{
    if (fd_ < 0)
        return true;
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0 || errno == EINTR;
}
