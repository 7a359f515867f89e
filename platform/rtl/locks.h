// File locks. The single-instance locks rest on flock, the writers' lock of a file on an
// open-file-description lock; all vanish when the holding process dies, and their descriptors are
// close-on-exec, so programs started by the holder do not inherit them.
#pragma once

#include <string>
#include <string_view>

namespace rtl {

enum class TFileLock {
    Taken,        // this open of the file holds the lock
    Held,         // another open of the file (in this process or another) holds it
    Unsupported,  // the file system keeps no such locks (ENOLCK, EOPNOTSUPP, ...): none is held
};

// Takes the writers' lock on a file open for writing, without waiting. It is an open-file-description
// lock over the whole file: it goes with this open of the file (closing it, or the last descriptor
// duplicated from it, lets go), closing any other descriptor of the file never drops it, and it
// conflicts with record locks, so where a file system emulates other locks with record locks (NFS)
// it still holds.
TFileLock TryLockFile(int fd);

// A file opened for writing and held under an exclusive lock for the object's life (the viewer's
// "started.dat"). Open creates the file, takes the lock without waiting, and only then empties it.
class THeldFile {
public:
    THeldFile() = default;
    ~THeldFile();
    THeldFile(const THeldFile&) = delete;
    THeldFile& operator=(const THeldFile&) = delete;

    // False when another holder has the file or it cannot be created.
    bool Open(std::string_view path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    int Handle() const { return fd_; }

private:
    int fd_ = -1;
};

// A named mutex: an exclusive lock on "<folder>/tome-mutex-<name>.lock" in $XDG_RUNTIME_DIR, or in
// /tmp/tome-<uid>/ (made private to the user) when that is unset. Names are encoded so that any
// cp1251 name gives a plain file name.
class TNamedMutex {
public:
    TNamedMutex() = default;
    ~TNamedMutex();
    TNamedMutex(const TNamedMutex&) = delete;
    TNamedMutex& operator=(const TNamedMutex&) = delete;

    // Takes the lock; false when another holder has it (unlike the platform, which would hand out a
    // second handle) or the lock file cannot be made. AlreadyExists() tells the two apart.
    bool Create(std::string_view name);
    // True after a Create that failed because another holder has the mutex.
    bool AlreadyExists() const { return alreadyExists_; }
    // True when some holder (this process included) has the mutex; never takes it.
    static bool OpenExisting(std::string_view name);
    void Close();
    bool IsHeld() const { return fd_ >= 0; }

    static std::string LockFileName(std::string_view name);

private:
    int fd_ = -1;
    bool alreadyExists_ = false;
};

}  // namespace rtl
