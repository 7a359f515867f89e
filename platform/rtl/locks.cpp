#include "platform/rtl/locks.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/fscalls.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/userfolders.h"

namespace rtl {

namespace {

// Exclusive (or shared) lock without waiting; EINTR retried.
bool TryLock(int fd, int kind) {
    while (flock(fd, kind | LOCK_NB) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

bool IsRegularFile(int fd) {
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

// Opens a name for a lock: never through a symbolic link, never waiting on a pipe, and only a
// regular file is kept open.
int OpenLockFile(const std::string& path, int access, mode_t mode) {
    int fd = sys::Open(path.c_str(), access | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, mode);
    if (fd < 0 || IsRegularFile(fd)) return fd;
    close(fd);
    errno = EINVAL;
    return -1;
}

// True when another open of the file holds its lock: a shared probe conflicts with a holder but
// not with another probe. Read-only, so a file that this user may not write can still be probed.
bool HeldByAnother(const std::string& path) {
    int fd = OpenLockFile(path, O_RDONLY, 0);
    if (fd < 0) return false;
    bool held = !TryLock(fd, LOCK_SH) && errno == EWOULDBLOCK;
    close(fd);
    return held;
}

// The user's runtime folder and the user's folder under /tmp, as far as they can be used; named by
// the user id only, so that no two processes of the user look in different places.
std::vector<std::string> UserFolders() {
    const std::string uid = std::to_string(geteuid());
    std::vector<std::string> folders;
    if (const std::string runtime = "/run/user/" + uid; IsPrivateFolder(runtime)) folders.push_back(runtime);
    const std::string own = "/tmp/tome-" + uid;
    sys::MakeDir(own.c_str(), 0700);
    if (IsPrivateFolder(own)) folders.push_back(own);
    return folders;
}

// Letters, digits, ".", "_" and "-" stay; every other byte becomes %XX. Long names end in a hash.
std::string EncodeMutexName(std::string_view name) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : name) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                     c == '_' || c == '-';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xF];
        }
    }
    if (out.size() <= 180) return out;
    uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
    out.resize(120);
    out += '-';
    for (int shift = 60; shift >= 0; shift -= 4) out += hex[(hash >> shift) & 0xF];
    return out;
}

std::vector<std::string> MutexFiles(std::string_view name) {
    std::vector<std::string> files;
    for (const std::string& folder : UserFolders())
        files.push_back(folder + "/tome-mutex-" + EncodeMutexName(name) + ".lock");
    return files;
}

}  // namespace

TFileLock TryLockFile(int fd) {
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    while (fcntl(fd, F_OFD_SETLK, &whole) != 0) {
        if (errno == EAGAIN || errno == EACCES) return TFileLock::Held;
        if (errno != EINTR) return TFileLock::Unsupported;
    }
    return TFileLock::Taken;
}

THeldFile::~THeldFile() { Close(); }

bool THeldFile::Open(std::string_view path) {
    Close();
    heldElsewhere_ = false;
    if (path.empty()) return false;
    const std::string native = ToNativePath(path);
    int fd = OpenLockFile(native, O_WRONLY | O_CREAT, 0644);
    if (fd < 0) {
        // Not ours to write (a read-only folder or file, another user's file): a holder may still
        // have it.
        heldElsewhere_ = HeldByAnother(native);
        return false;
    }
    // Empty the file only once it is ours, so a refused second opener leaves the holder's data alone.
    if (!TryLock(fd, LOCK_EX)) {
        heldElsewhere_ = errno == EWOULDBLOCK;
        close(fd);
        return false;
    }
    if (ftruncate(fd, 0) != 0) {
        close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

bool THeldFile::OpenShared(std::string_view path) {
    Close();
    int fd = OpenLockFile(ToNativePath(path), O_RDONLY, 0);
    if (fd >= 0 && TryLock(fd, LOCK_SH)) {
        fd_ = fd;
        return true;
    }
    if (fd >= 0) close(fd);
    return false;
}

void THeldFile::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

std::string TNamedMutex::LockFileName(std::string_view name) {
    std::vector<std::string> files = MutexFiles(name);
    return files.empty() ? std::string() : files.front();
}

TNamedMutex::~TNamedMutex() { Close(); }

bool TNamedMutex::Create(std::string_view name) {
    Close();
    alreadyExists_ = false;
    for (const std::string& file : MutexFiles(name)) {
        int fd = OpenLockFile(file, O_RDWR | O_CREAT, 0600);
        if (fd < 0) {
            // This folder cannot take the file: a holder may still have it there.
            alreadyExists_ = HeldByAnother(file);
        } else if (TryLock(fd, LOCK_EX)) {
            fds_.push_back(fd);
        } else {
            alreadyExists_ = errno == EWOULDBLOCK;
            close(fd);
        }
        if (alreadyExists_) {
            Close();
            return false;
        }
    }
    return IsHeld();
}

bool TNamedMutex::OpenExisting(std::string_view name) {
    for (const std::string& file : MutexFiles(name))
        if (HeldByAnother(file)) return true;
    return false;
}

void TNamedMutex::Close() {
    for (int fd : fds_) close(fd);
    fds_.clear();
}

TInstanceGuard::~TInstanceGuard() { Close(); }

TGuardResult TInstanceGuard::Open(std::string_view guardFile) {
    Close();
    const std::string native = ToNativePath(guardFile);
    const size_t cut = native.rfind('/');
    const std::string folderName = cut == std::string::npos ? "." : native.substr(0, cut + 1);
    // Reading is all the folder's lock needs; a folder that cannot be read leaves the guard to the file.
    folder_ = sys::Open(folderName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_ >= 0 && !TryLock(folder_, LOCK_EX)) {
        const bool held = errno == EWOULDBLOCK;
        Close();
        if (held) return TGuardResult::HeldElsewhere;
    }
    if (!file_.Open(guardFile)) {
        if (file_.HeldElsewhere()) {
            Close();
            return TGuardResult::HeldElsewhere;
        }
        file_.OpenShared(guardFile);
    }
    return IsOpen() ? TGuardResult::Held : TGuardResult::NowhereToHold;
}

void TInstanceGuard::Close() {
    file_.Close();
    if (folder_ >= 0) close(folder_);
    folder_ = -1;
}

}  // namespace rtl
