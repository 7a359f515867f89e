#include "platform/rtl/tempfiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <mutex>
#include <set>
#include <tuple>

#include "platform/rtl/folderindex.h"
#include "platform/rtl/fscalls.h"
#include "platform/rtl/locks.h"

namespace rtl {
namespace {

constexpr int kNameAttempts = 100;

using TTempKey = std::tuple<dev_t, ino_t, std::string>;

// The temporaries of this process's writers that have not ended yet.
class TLiveTemps {
public:
    void Add(const TTempKey& key) {
        std::lock_guard<std::mutex> lock(mutex_);
        keys_.insert(key);
    }
    void Remove(const TTempKey& key) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (const auto found = keys_.find(key); found != keys_.end()) keys_.erase(found);
    }
    bool Holds(const TTempKey& key) {
        std::lock_guard<std::mutex> lock(mutex_);
        return keys_.count(key) != 0;
    }

private:
    std::mutex mutex_;
    std::multiset<TTempKey> keys_;
};

TLiveTemps& LiveTemps() {
    static TLiveTemps* temps = new TLiveTemps;  // never destroyed: writers may end during exit
    return *temps;
}

bool WriterEnded(pid_t owner, const TTempKey& key) {
    if (owner == ::getpid()) return !LiveTemps().Holds(key);
    return ::kill(owner, 0) != 0 && errno == ESRCH;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Whether name in the folder leads to the very file open as fd (a link there does not).
bool NameLeadsTo(int folderFd, const std::string& name, int fd) {
    struct stat named;
    struct stat open;
    return sys::StatAt(folderFd, name.c_str(), named, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &open) == 0 &&
           SameFile(named, open);
}

// The lock a clean-up takes to judge a file: shared, so that two clean-ups may judge it at once,
// and refused while the writer holds its own.
TFileLock TryJudgeLock(int fd) {
    struct flock whole {};
    whole.l_type = F_RDLCK;
    whole.l_whence = SEEK_SET;
    while (::fcntl(fd, F_OFD_SETLK, &whole) != 0) {
        if (errno == EAGAIN || errno == EACCES) return TFileLock::Held;
        if (errno != EINTR) return TFileLock::Unsupported;
    }
    return TFileLock::Taken;
}

// Removes the regular file name when its writer has ended. The lock is held from the judgement
// until the file is gone, so its writer cannot take it meanwhile; only the file judged is removed,
// not another that took its name since.
bool RemoveIfEnded(int folderFd, const char* name, pid_t owner, const TTempKey& key) {
    struct stat judged;
    // A link is never followed, and a pipe or a device never opened.
    if (sys::StatAt(folderFd, name, judged, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(judged.st_mode)) return false;
    const int fd = sys::OpenAt(folderFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    // A file this user may not read is judged by its writer's id alone.
    if (fd < 0 && errno != EACCES) return false;
    bool ended = fd < 0 || (::fstat(fd, &judged) == 0 && S_ISREG(judged.st_mode) &&
                            TryJudgeLock(fd) != TFileLock::Held);
    ended = ended && WriterEnded(owner, key);
    struct stat now;
    ended = ended && sys::StatAt(folderFd, name, now, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(now, judged);
    const bool removed = ended && sys::UnlinkAt(folderFd, name) == 0;
    if (fd >= 0) ::close(fd);
    return removed;
}

// The folder part of a native path, with its trailing "/" ("" for none), set into folder.
const std::string& FolderOfPath(const std::string& nativePath, std::string& folder) {
    const size_t slash = nativePath.rfind('/');
    folder = slash == std::string::npos ? std::string() : nativePath.substr(0, slash + 1);
    return folder;
}

int OpenFolder(const std::string& folder, int how) {
    return sys::Open(folder.empty() ? "." : folder.c_str(), how | O_DIRECTORY | O_CLOEXEC);
}

}  // namespace

TLiveTemp::TLiveTemp(int folderFd, std::string name) : name_(std::move(name)) {
    struct stat folder;
    known_ = ::fstat(folderFd, &folder) == 0;
    if (!known_) return;  // nothing can judge a folder it cannot tell either
    device_ = folder.st_dev;
    inode_ = folder.st_ino;
    LiveTemps().Add({device_, inode_, name_});
}

TLiveTemp::~TLiveTemp() {
    ReleaseLock();
    if (known_) LiveTemps().Remove({device_, inode_, name_});
}

void TLiveTemp::ReleaseLock() {
    if (lockFd_ >= 0) ::close(lockFd_);
    lockFd_ = -1;
}

bool TLiveTemp::Hold(int fd) {
    switch (TryLockFile(fd)) {
        case TFileLock::Held: errno = EAGAIN; return false;
        case TFileLock::Unsupported: return true;  // the writer's id alone marks the file
        case TFileLock::Taken: break;
    }
    // The lock goes with the open file, which this descriptor keeps open.
    ReleaseLock();
    lockFd_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    return lockFd_ >= 0;
}

int TLiveTemp::Create(int folderFd, int flags, mode_t mode) {
    const int fd = sys::OpenAt(folderFd, name_.c_str(), flags | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) return -1;
    const int error = Hold(fd) ? 0 : errno;
    const bool named = NameLeadsTo(folderFd, name_, fd);
    if (error == 0 && named) return fd;
    // A clean-up judged the file before its lock was taken: it goes, and the writer takes another name.
    if (named) sys::UnlinkAt(folderFd, name_.c_str());
    ReleaseLock();
    ::close(fd);
    errno = error == 0 || error == EAGAIN ? EEXIST : error;
    return -1;
}

int CreateWriterTemp(int folderFd, const std::function<std::string()>& nextName, int flags, mode_t mode,
                     std::string& name, std::unique_ptr<TLiveTemp>& live) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        name = nextName();
        // Live before it exists, so that no clean-up in this process takes it for a leftover.
        live = std::make_unique<TLiveTemp>(folderFd, name);
        const int fd = live->Create(folderFd, flags, mode);
        if (fd >= 0) return fd;
        const int error = errno;
        live.reset();
        if (error != EEXIST) {
            errno = error;
            return -1;
        }
    }
    errno = EEXIST;
    return -1;
}

int OpenFolderToWrite(const std::string& folder) {
    const int fd = OpenFolder(folder, O_RDONLY);
    if (fd >= 0 || errno != EACCES) return fd;
    return OpenFolder(folder, O_PATH);
}

int CreateWriterTempBeside(const std::string& nativePath, int flags, mode_t mode, std::string& tempPath,
                           std::unique_ptr<TLiveTemp>& live) {
    std::string folder;
    const int folderFd = OpenFolderToWrite(FolderOfPath(nativePath, folder));
    if (folderFd < 0) return -1;
    const std::string base = nativePath.substr(folder.size());
    std::string name;
    const int fd = CreateWriterTemp(folderFd, [&base] { return WriterTempName(base); }, flags, mode, name, live);
    const int error = errno;
    ::close(folderFd);
    errno = error;
    if (fd >= 0) tempPath = folder + name;
    return fd;
}

std::string WriterTempName(std::string_view base) {
    static std::atomic<unsigned> counter{0};
    return "." + std::string(base) + "." + std::to_string(::getpid()) + "." + std::to_string(counter++) + ".tmp";
}

pid_t WriterTempOwner(std::string_view name, std::string_view base) {
    const std::string prefix = "." + std::string(base) + ".";
    constexpr std::string_view suffix = ".tmp";
    if (base.empty() || name.size() <= prefix.size() + suffix.size() || !name.starts_with(prefix) ||
        !name.ends_with(suffix))
        return 0;
    const std::string_view numbers = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const size_t dot = numbers.find('.');
    uint64_t pid = 0;
    uint64_t counter = 0;
    if (dot == std::string_view::npos || !ParseCanonicalNumber(numbers.substr(0, dot), pid) ||
        !ParseCanonicalNumber(numbers.substr(dot + 1), counter) || pid == 0 || pid > INT32_MAX)
        return 0;
    return static_cast<pid_t>(pid);
}

int RemoveEndedTemps(int folderFd, const std::string& nativeFolder, const TTempOwnerOf& ownerOf) {
    struct stat folder;
    if (::fstat(folderFd, &folder) != 0) return 0;
    // The listing reads its own descriptor, so folderFd stays usable for the removals.
    const int listFd = ::fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
    if (listFd < 0) return 0;
    DIR* dir = sys::OpenDirOf(listFd);
    if (!dir) return 0;
    ::rewinddir(dir);
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const pid_t owner = ownerOf(entry->d_name);
        if (owner == 0 || !RemoveIfEnded(folderFd, entry->d_name, owner, {folder.st_dev, folder.st_ino, entry->d_name}))
            continue;
        folderindex::NoteRemoved(nativeFolder + entry->d_name);
        ++removed;
    }
    ::closedir(dir);
    return removed;
}

int RemoveWriterTemps(const std::string& nativePath) {
    std::string folder;
    const int folderFd = OpenFolder(FolderOfPath(nativePath, folder), O_RDONLY);
    if (folderFd < 0) return 0;
    const std::string base = nativePath.substr(folder.size());
    const int removed =
        RemoveEndedTemps(folderFd, folder, [&base](std::string_view name) { return WriterTempOwner(name, base); });
    ::close(folderFd);
    return removed;
}

bool ParseCanonicalNumber(std::string_view digits, uint64_t& value) {
    if (digits.empty() || digits.size() > 10 || (digits.size() > 1 && digits[0] == '0')) return false;
    value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + uint64_t(c - '0');
    }
    return value <= UINT32_MAX;
}

}  // namespace rtl
