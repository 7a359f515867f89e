#include "platform/rtl/locks.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "platform/rtl/paths.h"

namespace rtl {

namespace {

// Exclusive (or shared) lock without waiting; EINTR retried.
bool TryLock(int fd, int kind) {
    while (flock(fd, kind | LOCK_NB) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

// A private folder of the user: existing, a real folder, owned by the user and closed to others.
bool IsPrivateFolder(const std::string& folder) {
    struct stat st;
    if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return false;
    return (st.st_mode & 077) == 0 || chmod(folder.c_str(), 0700) == 0;
}

std::string RuntimeFolder() {
    const char* env = getenv("XDG_RUNTIME_DIR");
    if (env && env[0] == '/') {
        struct stat st;
        if (stat(env, &st) == 0 && S_ISDIR(st.st_mode)) return env;
    }
    std::string folder = "/tmp/tome-" + std::to_string(getuid());
    mkdir(folder.c_str(), 0700);
    return IsPrivateFolder(folder) ? folder : std::string();
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
    if (path.empty()) return false;
    int fd = open(ToNativePath(path).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    // Empty the file only once it is ours, so a refused second opener leaves the holder's data alone.
    if (!TryLock(fd, LOCK_EX) || ftruncate(fd, 0) != 0) {
        close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void THeldFile::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

std::string TNamedMutex::LockFileName(std::string_view name) {
    std::string folder = RuntimeFolder();
    if (folder.empty()) return {};
    return folder + "/tome-mutex-" + EncodeMutexName(name) + ".lock";
}

TNamedMutex::~TNamedMutex() { Close(); }

bool TNamedMutex::Create(std::string_view name) {
    Close();
    alreadyExists_ = false;
    std::string file = LockFileName(name);
    if (file.empty()) return false;
    int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    if (!TryLock(fd, LOCK_EX)) {
        alreadyExists_ = errno == EWOULDBLOCK;
        close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

bool TNamedMutex::OpenExisting(std::string_view name) {
    std::string file = LockFileName(name);
    if (file.empty()) return false;
    int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    // A shared probe: it conflicts with a holder but not with another probe.
    bool held = !TryLock(fd, LOCK_SH);
    close(fd);
    return held;
}

void TNamedMutex::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

}  // namespace rtl
