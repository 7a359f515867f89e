// Temporary files that carry their writer: its process id in their name, and its lock on the file
// for as long as the writer may still finish it. A clean-up removes a temporary only when its writer
// has ended: the lock is free and no process of that id runs here. The lock is what tells a writer
// in another process namespace (a container sharing the folder), whose id means nothing here, from
// a killed one; where the file system keeps no locks, the id alone decides. A folder is known by its
// identity (device and inode), so two spellings of one folder ("a/./b", "a/x/../b") name the same
// temporaries.
//
// A writer creates its temporary under a new name and takes the lock before it writes a byte, then
// checks that the name still leads to its file: a clean-up that judged the file in between (the
// only time it is unlocked) holds the lock while it removes it, so the writer finds its file gone or
// the lock taken, and makes another. A clean-up removes a file only while it holds the lock itself,
// and only when the name still leads to the file it judged.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace rtl {

// Marks a temporary of this process's writer as live while it exists: no clean-up in this process
// takes it for a leftover, and once created (Create, Hold) no clean-up anywhere does. Made before
// the file is created; the folder's identity is taken from the open folder.
class TLiveTemp {
public:
    TLiveTemp(int folderFd, std::string name);
    ~TLiveTemp();
    TLiveTemp(const TLiveTemp&) = delete;
    TLiveTemp& operator=(const TLiveTemp&) = delete;

    // Creates the file under this name in the folder open as folderFd (O_CREAT | O_EXCL with flags,
    // which open it for writing, and mode) and holds it under its writer's lock until this object
    // ends, also once the returned descriptor is closed. -1 with errno when it cannot; EEXIST also
    // when a clean-up took the new file before its lock was held: the writer tries another name.
    int Create(int folderFd, int flags, mode_t mode);
    // Holds a file that has no name yet (O_TMPFILE, open for writing) under its writer's lock before
    // it is given this name; false with errno when it cannot (EAGAIN: another holds the lock).
    bool Hold(int fd);

private:
    void ReleaseLock();

    dev_t device_ = 0;
    ino_t inode_ = 0;
    std::string name_;
    bool known_ = false;
    int lockFd_ = -1;  // the file as the writer opened it, while that holds the lock
};

// A new temporary of a writer in the folder open as folderFd, under the first of the names that
// nextName gives whose file can be created (a name taken is followed by the next, a hundred at most):
// its descriptor, with name and live (which holds it) set, or -1 with errno.
int CreateWriterTemp(int folderFd, const std::function<std::string()>& nextName, int flags, mode_t mode,
                     std::string& name, std::unique_ptr<TLiveTemp>& live);

// The folder (native; "" for the current one) opened for a writer to make files in: to read where
// the user may, else by its path only (O_PATH), enough for the names though not to list or sync it.
int OpenFolderToWrite(const std::string& folder);

// CreateWriterTemp beside the file nativePath, under the names WriterTempName gives; tempPath is
// the new temporary's native path.
int CreateWriterTempBeside(const std::string& nativePath, int flags, mode_t mode, std::string& tempPath,
                           std::unique_ptr<TLiveTemp>& live);

// The name a writer of the file base gives its temporary beside it: hidden, with the writer's
// process id and a counter (".base.<pid>.<n>.tmp").
std::string WriterTempName(std::string_view base);
// The process id in name when WriterTempName gave name for base; 0 for any other name.
pid_t WriterTempOwner(std::string_view name, std::string_view base);

// The writer's process id a name carries, 0 when the name is no temporary of the kind asked for.
using TTempOwnerOf = std::function<pid_t(std::string_view name)>;

// Removes, from the folder open as folderFd (nativeFolder is its name, with a trailing "/", for the
// folder index), the regular files whose ownerOf is not 0 and whose writer has ended: its lock is
// free, and no process of its id runs, or the id is this process's and no TLiveTemp holds the name.
// A process that still runs keeps its files, even when its id was taken over by another program.
// Links are never followed, and nothing but a regular file is opened or removed. Names are unlinked
// relative to the open folder. Returns how many went.
int RemoveEndedTemps(int folderFd, const std::string& nativeFolder, const TTempOwnerOf& ownerOf);

// RemoveEndedTemps for the temporaries that writers of a file (a native path) make beside it
// (WriterTempName). Never fails: a folder that cannot be read or changed keeps what it holds.
int RemoveWriterTemps(const std::string& nativePath);

// Digits as std::to_string writes an unsigned number of up to 32 bits: no sign, no leading zero.
bool ParseCanonicalNumber(std::string_view digits, uint64_t& value);

}  // namespace rtl
