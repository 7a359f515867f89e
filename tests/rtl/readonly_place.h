// A file or folder made unwritable for a test's life, also for root, whom permission bits do not
// stop: others lose the write bits, root sets the immutable attribute. Usable() is false where
// neither works (root on a file system without the attribute); such a test is skipped.
#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>

namespace rtltest {

class ReadOnlyPlace {
public:
    explicit ReadOnlyPlace(std::string path) : path_(std::move(path)) { usable_ = Set(true); }
    ~ReadOnlyPlace() { Release(); }
    ReadOnlyPlace(const ReadOnlyPlace&) = delete;
    ReadOnlyPlace& operator=(const ReadOnlyPlace&) = delete;

    bool Usable() const { return usable_; }
    void Release() {  // writable again
        if (std::exchange(usable_, false)) Set(false);
    }

private:
    bool Set(bool readOnly) {
        struct stat st;
        if (stat(path_.c_str(), &st) != 0) return false;
        if (geteuid() != 0) return chmod(path_.c_str(), readOnly ? st.st_mode & ~0222 : st.st_mode | 0200) == 0;
        int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        int flags = 0;
        bool done = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = readOnly ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        if (fd >= 0) close(fd);
        return done;
    }

    std::string path_;
    bool usable_ = false;
};

// A folder bind-mounted read-only over itself (or from another) for a test's life, as a CD is: every
// change under it fails, also for root. Usable() is false where mounting is not permitted.
class ReadOnlyMount {
public:
    explicit ReadOnlyMount(std::string path, const std::string& from = "") : path_(std::move(path)) {
        mounted_ = ::mount((from.empty() ? path_ : from).c_str(), path_.c_str(), nullptr, MS_BIND, nullptr) == 0;
        usable_ = mounted_ && ::mount(nullptr, path_.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    }
    ~ReadOnlyMount() {
        if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
    }
    ReadOnlyMount(const ReadOnlyMount&) = delete;
    ReadOnlyMount& operator=(const ReadOnlyMount&) = delete;
    bool Usable() const { return usable_; }

private:
    std::string path_;
    bool mounted_ = false, usable_ = false;
};

}  // namespace rtltest
