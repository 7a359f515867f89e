#include "platform/rtl/fscalls.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

namespace rtl {
namespace {

// Relaxed: the counts are read by tests after the counted work has been joined.
std::atomic<uint64_t> stats{0};
std::atomic<uint64_t> opens{0};
std::atomic<uint64_t> folderReads{0};
std::atomic<uint64_t> changes{0};

std::atomic<TFsChangeObserver> observer{nullptr};
std::atomic<TNameChangeHook> nameHook{nullptr};

void Count(std::atomic<uint64_t>& counter) { counter.fetch_add(1, std::memory_order_relaxed); }

void Observe(const char* call, const char* path, int openFlags = 0, int dirFd = AT_FDCWD) {
    if (const TFsChangeObserver watch = observer.load(std::memory_order_acquire))
        watch({call, path, openFlags, dirFd});
}

void Change(const char* call, const char* path, int dirFd = AT_FDCWD) {
    Count(changes);
    Observe(call, path, 0, dirFd);
}

void NameChange(const char* path, int dirFd = AT_FDCWD) {
    if (const TNameChangeHook hook = nameHook.load(std::memory_order_acquire)) hook(path, dirFd);
}

bool MayWrite(int flags) {
    return (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC)) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
}

}  // namespace

TFsChangeObserver SetFsChangeObserver(TFsChangeObserver next) {
    return observer.exchange(next, std::memory_order_acq_rel);
}

void SetNameChangeHook(TNameChangeHook hook) { nameHook.store(hook, std::memory_order_release); }

TFsCallCounts FsCallCounts() {
    return {stats.load(std::memory_order_relaxed), opens.load(std::memory_order_relaxed),
            folderReads.load(std::memory_order_relaxed), changes.load(std::memory_order_relaxed)};
}

namespace sys {

int Stat(const char* path, struct stat& st) {
    Count(stats);
    return ::stat(path, &st);
}

int Lstat(const char* path, struct stat& st) {
    Count(stats);
    return ::lstat(path, &st);
}

int StatAt(int dirFd, const char* name, struct stat& st, int flags) {
    Count(stats);
    return ::fstatat(dirFd, name, &st, flags);
}

int Open(const char* path, int flags, mode_t mode) {
    Count(opens);
    if (MayWrite(flags)) Observe("open", path, flags);
    if (flags & O_CREAT) NameChange(path);
    return ::open(path, flags, mode);
}

int OpenAt(int dirFd, const char* name, int flags, mode_t mode) {
    Count(opens);
    if (MayWrite(flags)) Observe("open", name, flags, dirFd);
    if (flags & O_CREAT) NameChange(name, dirFd);
    return ::openat(dirFd, name, flags, mode);
}

int MakeTemp(char* pathTemplate, int flags) {
    Count(opens);
    Observe("mkostemp", pathTemplate, flags | O_CREAT | O_RDWR);
    NameChange(pathTemplate);
    return ::mkostemp(pathTemplate, flags);
}

DIR* OpenDir(const char* path) {
    Count(folderReads);
    return ::opendir(path);
}

DIR* OpenDirOf(int folderFd) {
    Count(folderReads);
    DIR* dir = ::fdopendir(folderFd);
    if (!dir) ::close(folderFd);
    return dir;
}

int WatchFolder(int inotifyFd, int folderFd, uint32_t mask) {
    Count(opens);
    const std::string self = "/proc/self/fd/" + std::to_string(folderFd);
    return ::inotify_add_watch(inotifyFd, self.c_str(), mask);
}

int MakeDir(const char* path, mode_t mode) {
    Change("mkdir", path);
    NameChange(path);
    return ::mkdir(path, mode);
}

int MakeDirAt(int dirFd, const char* name, mode_t mode) {
    Change("mkdir", name, dirFd);
    NameChange(name, dirFd);
    return ::mkdirat(dirFd, name, mode);
}

int RemoveDir(const char* path) {
    Change("rmdir", path);
    NameChange(path);
    return ::rmdir(path);
}

int Unlink(const char* path) {
    Change("unlink", path);
    NameChange(path);
    return ::unlink(path);
}

int UnlinkAt(int dirFd, const char* name) {
    Change("unlink", name, dirFd);
    NameChange(name, dirFd);
    return ::unlinkat(dirFd, name, 0);
}

int RenameAt(int dirFd, const char* from, const char* to) {
    Change("rename", from, dirFd);
    Observe("rename", to, 0, dirFd);
    NameChange(from, dirFd);
    NameChange(to, dirFd);
    return ::renameat(dirFd, from, dirFd, to);
}

int Rename(const char* from, const char* to) {
    Change("rename", from);
    Observe("rename", to);
    NameChange(from);
    NameChange(to);
    return ::rename(from, to);
}

int RenameNoReplace(const char* from, const char* to) {
    Change("rename", from);
    Observe("rename", to);
    NameChange(from);
    NameChange(to);
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}

int Link(const char* from, const char* to) {
    Change("link", from);
    Observe("link", to);
    NameChange(to);
    return ::link(from, to);
}

int LinkOpenFile(int fd, int dirFd, const char* to) {
    Change("link", to, dirFd);
    NameChange(to, dirFd);
    // Linking the descriptor itself is cheaper, but kernels before 6.10 allow it only to a
    // privileged caller (failing with ENOENT or EPERM); then the name in /proc serves, from then on.
    static std::atomic<bool> byDescriptor{true};
    if (byDescriptor.load(std::memory_order_relaxed)) {
        if (::linkat(fd, "", dirFd, to, AT_EMPTY_PATH) == 0) return 0;
        if (errno != ENOENT && errno != EPERM) return -1;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    const int result = ::linkat(AT_FDCWD, self.c_str(), dirFd, to, AT_SYMLINK_FOLLOW);
    if (result == 0) byDescriptor.store(false, std::memory_order_relaxed);
    return result;
}

int Chmod(const char* path, mode_t mode) {
    Change("chmod", path);
    return ::chmod(path, mode);
}

int Chown(const char* path, uid_t owner, gid_t group) {
    Change("chown", path);
    return ::chown(path, owner, group);
}

int SetTimes(const char* path, const struct timespec times[2]) {
    Change("utimensat", path);
    return ::utimensat(AT_FDCWD, path, times, 0);
}

int SyncFileSystemOf(const char* folder) {
    Count(opens);
    const int fd = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -1;
    Observe("syncfs", folder);
    const int result = ::syncfs(fd);
    const int error = errno;
    ::close(fd);
    errno = error;
    return result;
}

}  // namespace sys
}  // namespace rtl
