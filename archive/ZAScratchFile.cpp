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
#include <string_view>

#include "archive/ZATargetFolder.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/folderindex.h"
#include "platform/rtl/fscalls.h"

namespace {

constexpr int kNameAttempts = 64;

constexpr std::string_view kPrefix = "FC";
constexpr std::string_view kSuffix = ".tmp";
constexpr size_t kHexDigits = 12;

std::string UniqueName()
{
    static std::atomic<uint64_t> counter{std::random_device{}()};
    char name[48];
    std::snprintf(name, sizeof name, "FC%d.%012llx.tmp", static_cast<int>(::getpid()),
                  static_cast<unsigned long long>(counter.fetch_add(0x9E3779B97F4A7C15ull) & 0xFFFFFFFFFFFFull));
    return name;
}

bool IsLowerHex(std::string_view digits)
{
    return std::all_of(digits.begin(), digits.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// The process id in a name UniqueName gave; 0 for any other name.
pid_t ScratchNameOwner(std::string_view name)
{
    if (name.size() <= kPrefix.size() + kHexDigits + 1 + kSuffix.size() || !name.starts_with(kPrefix) ||
        !name.ends_with(kSuffix))
        return 0;
    const std::string_view middle = name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
    const size_t dot = middle.size() - kHexDigits - 1;
    uint64_t pid = 0;
    if (middle[dot] != '.' || !IsLowerHex(middle.substr(dot + 1)) ||
        !rtl::ParseCanonicalNumber(middle.substr(0, dot), pid) || pid == 0 || pid > INT32_MAX)
        return 0;
    return static_cast<pid_t>(pid);
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

TZAScratchFile::TZAScratchFile(int fd, std::shared_ptr<const TZATargetFolder> folder, std::string name,
                               std::unique_ptr<rtl::TLiveTemp> live)
    : fd_(fd), folder_(std::move(folder)), name_(std::move(name)), live_(std::move(live))
{
}

int TZAScratchFile::RemoveLeftoversIn(const std::string& folder)
{
    const int fd = rtl::sys::Open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    const int removed = rtl::RemoveEndedTemps(fd, folder, ScratchNameOwner);
    ::close(fd);
    return removed;
}

std::unique_ptr<TZAScratchFile> TZAScratchFile::CreateIn(std::shared_ptr<const TZATargetFolder> folder, mode_t mode)
{
    const int dir = folder->Fd();
    if (CanNameOpenFiles()) {
        const int fd = rtl::sys::OpenAt(dir, ".", O_WRONLY | O_TMPFILE | O_CLOEXEC, mode);
        if (fd >= 0)
            return std::unique_ptr<TZAScratchFile>(new TZAScratchFile(fd, std::move(folder), {}, nullptr));
        if (!NoNamelessFiles(errno))
            return nullptr;
    }
    std::string name;
    std::unique_ptr<rtl::TLiveTemp> live;
    // A name that exists is passed over, so another file (or a link's target) is never taken over.
    const int fd = rtl::CreateWriterTemp(dir, UniqueName, O_WRONLY, mode, name, live);
    if (fd < 0)
        return nullptr;
    rtl::folderindex::NoteCreated(folder->NativePathOf(name));
    return std::unique_ptr<TZAScratchFile>(new TZAScratchFile(fd, std::move(folder), std::move(name), std::move(live)));
}

TZAScratchFile::~TZAScratchFile()
{
    CloseFile();
    if (!placed_ && !name_.empty() && rtl::sys::UnlinkAt(folder_->Fd(), name_.c_str()) == 0)
        rtl::folderindex::NoteRemoved(folder_->NativePathOf(name_));
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

bool TZAScratchFile::ReplaceTarget(const std::string& onDisk)
{
    if (placed_ || (fd_ < 0 && name_.empty())) {
        errno = EBADF;
        return false;
    }
    const int dir = folder_->Fd();
    if (name_.empty()) {
        if (rtl::sys::LinkOpenFile(fd_, dir, onDisk.c_str()) == 0) {
            placed_ = true;
            rtl::folderindex::NoteCreated(folder_->NativePathOf(onDisk));
            CloseFile();  // the data is in place; a local file system reports nothing more here
            return true;
        }
        // An existing target is replaced by a rename, which needs a name to rename.
        if (errno != EEXIST || !NameBeside())
            return false;
    }
    if (!CloseFile() || rtl::sys::RenameAt(dir, name_.c_str(), onDisk.c_str()) != 0)
        return false;
    placed_ = true;
    live_.reset();  // the file is the target now: its lock goes
    rtl::folderindex::NoteRenamed(folder_->NativePathOf(name_), folder_->NativePathOf(onDisk));
    return true;
}

bool TZAScratchFile::Stage()
{
    if (fd_ < 0 || placed_) {
        errno = EBADF;
        return false;
    }
    return ::fsync(fd_) == 0 && (!name_.empty() || NameBeside()) && CloseFile();
}

bool TZAScratchFile::NameBeside()
{
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string name = UniqueName();
        live_ = std::make_unique<rtl::TLiveTemp>(folder_->Fd(), name);
        // Held before it has a name, so no clean-up ever finds it unheld while it is being written.
        if (!live_->Hold(fd_))
            return false;
        if (rtl::sys::LinkOpenFile(fd_, folder_->Fd(), name.c_str()) == 0) {
            name_ = std::move(name);
            rtl::folderindex::NoteCreated(folder_->NativePathOf(name_));
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
