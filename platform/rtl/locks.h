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
// Only a regular file is taken: a link, a pipe or a device under that name is never opened for
// writing (nor emptied, nor waited on).
class THeldFile {
public:
    THeldFile() = default;
    ~THeldFile();
    THeldFile(const THeldFile&) = delete;
    THeldFile& operator=(const THeldFile&) = delete;

    // False when another holder has the file or it cannot be created.
    bool Open(std::string_view path);
    // Holds an existing file that this user may only read under a shared lock: a writer who comes
    // later cannot take it. False when a writer holds it or it cannot be read.
    bool OpenShared(std::string_view path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    int Handle() const { return fd_; }
    // True after an Open that failed because another holder has the file, also one that this
    // user may not write to (it is then probed read-only).
    bool HeldElsewhere() const { return heldElsewhere_; }

private:
    int fd_ = -1;
    bool heldElsewhere_ = false;
};

// A named mutex: an exclusive lock on "<folder>/tome-mutex-<name>.lock" in the user's runtime
// folder $XDG_RUNTIME_DIR or, where that is unset or cannot take the file, in the private fallback
// "tome-<uid>" in $TMPDIR (else /tmp), made and kept closed to others. The folder that was not used
// is probed too, so two holders that see different folders (one without $XDG_RUNTIME_DIR, or with
// it unwritable) still meet. Names are encoded so that any cp1251 name gives a plain file name.
class TNamedMutex {
public:
    TNamedMutex() = default;
    ~TNamedMutex();
    TNamedMutex(const TNamedMutex&) = delete;
    TNamedMutex& operator=(const TNamedMutex&) = delete;

    // Takes the lock; false when another holder has it in either folder (unlike the platform, which
    // would hand out a second handle), or when no folder can take the lock file. AlreadyExists()
    // tells the two apart.
    bool Create(std::string_view name);
    // True after a Create that failed because another holder has the mutex.
    bool AlreadyExists() const { return alreadyExists_; }
    // True when some holder (this process included) has the mutex; never takes it.
    static bool OpenExisting(std::string_view name);
    void Close();

    bool IsHeld() const { return fd_ >= 0; }

    // The lock file in the runtime folder, else in the fallback; "" when there is neither.
    static std::string LockFileName(std::string_view name);

private:
    int fd_ = -1;
    bool alreadyExists_ = false;
};

// The viewer's single-instance guard for one book folder: the held "started.dat" in the folder,
// and a named mutex keyed by the folder's identity (device and inode), so that a folder the user
// cannot write still has its guard, and two viewers of one folder meet whichever of the two each
// could take (a viewer that started while the folder was read-only, and one that finds it
// writable). A "started.dat" that the user may only read is held shared, so that a viewer of
// another user who can write it still meets this one. Either lock held by another process means
// that the book is open.
enum class TGuardResult { Held, HeldElsewhere, NowhereToHold };

class TInstanceGuard {
public:
    // guardFile: the held file's path; its folder gives the identity of the book.
    TGuardResult Open(std::string_view guardFile);
    void Close();
    bool IsOpen() const { return file_.IsOpen() || mutex_.IsHeld(); }

private:
    THeldFile file_;
    TNamedMutex mutex_;
};

}  // namespace rtl
