// File locks. The single-instance locks rest on flock, the writers' lock of a file on an
// open-file-description lock; all vanish when the holding process dies, and their descriptors are
// close-on-exec, so programs started by the holder do not inherit them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

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

// A named mutex of the user: an exclusive lock on "tome-mutex-<name>.lock" in each of the user's
// own folders that can take it: the runtime folder /run/user/<uid> where the system made one for
// the user, and "/tmp/tome-<uid>", made and kept closed to others. Both are named by the user id
// alone, never by the environment ($XDG_RUNTIME_DIR, $TMPDIR), so every process of the user meets
// every other whatever its environment, and a holder in either folder counts, so a runtime folder
// that appears or goes while one runs does not split them. Names are encoded so that any cp1251
// name gives a plain file name.
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

    bool IsHeld() const { return !fds_.empty(); }

    // The lock file in the runtime folder, else in "/tmp/tome-<uid>"; "" when there is neither.
    static std::string LockFileName(std::string_view name);

private:
    std::vector<int> fds_;
    bool alreadyExists_ = false;
};

// The viewer's single-instance guard for one book folder: an exclusive lock on the folder itself,
// opened only to read, and the held "started.dat" in it. The folder's lock is on its inode, so every
// process of the machine that reaches the folder meets it, whatever its environment, user, process
// namespace or mount (a read-only bind mount too), and a folder that the user cannot write has its
// guard all the same. "started.dat" is made where the user can write; one that the user may only
// read is held shared, so that a viewer of another user who can write it still meets this one.
// Either lock held by another process means that the book is open.
enum class TGuardResult { Held, HeldElsewhere, NowhereToHold };

class TInstanceGuard {
public:
    TInstanceGuard() = default;
    ~TInstanceGuard();
    TInstanceGuard(const TInstanceGuard&) = delete;
    TInstanceGuard& operator=(const TInstanceGuard&) = delete;

    // guardFile: the held file's path; its folder is the book's.
    TGuardResult Open(std::string_view guardFile);
    void Close();
    bool IsOpen() const { return folder_ >= 0 || file_.IsOpen(); }

private:
    int folder_ = -1;
    THeldFile file_;
};

}  // namespace rtl
