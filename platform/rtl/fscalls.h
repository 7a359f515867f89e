// The file-system calls of the run-time layer, counted. Every call on a name (stat, open, folder
// read, change) goes through these wrappers, so a test can hold a routine to a budget of calls and
// a regression to reading a folder once per file fails a test, not only a benchmark.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>

namespace rtl {

// Totals since the process started; take two snapshots and subtract.
struct TFsCallCounts {
    uint64_t Stats = 0;        // stat, lstat and fstatat on a name
    uint64_t Opens = 0;        // files opened or created
    uint64_t FolderReads = 0;  // folders read entry by entry
    uint64_t Changes = 0;      // creations, renames, deletions, mode and time changes

    uint64_t Total() const { return Stats + Opens + FolderReads + Changes; }
    TFsCallCounts operator-(const TFsCallCounts& earlier) const {
        return {Stats - earlier.Stats, Opens - earlier.Opens, FolderReads - earlier.FolderReads,
                Changes - earlier.Changes};
    }
};

TFsCallCounts FsCallCounts();

// A change about to be made through the calls below: the call, the name it changes (a rename or
// link reports each of its two names), the folder a relative name is taken in (AT_FDCWD: the
// current folder; else an open folder, for the *At calls) and, for an open, its flags. Opens report only when they may
// write or create. The observer runs before the call, so one that ends the process keeps the change
// from happening: fuzz targets use it to see every change, wherever the name leads.
struct TFsChange {
    const char* Call;
    const char* Path;
    int OpenFlags;
    int DirFd;
};
using TFsChangeObserver = void (*)(const TFsChange& change);
// Installs the observer (nullptr for none) and returns the one it replaces.
TFsChangeObserver SetFsChangeObserver(TFsChangeObserver observer);

// Runs before each call that may add or remove a name (a creating open, mkostemp, mkdir, rmdir,
// unlink, rename, link), after the observer, with each name and the folder it is taken in: the
// folder index checks there that a folder it trusts by its stamp is unchanged, before a change of
// ours gives it a new stamp that would hide a change by others.
using TNameChangeHook = void (*)(const char* path, int dirFd);
void SetNameChangeHook(TNameChangeHook hook);

namespace sys {

int Stat(const char* path, struct stat& st);
int Lstat(const char* path, struct stat& st);
int StatAt(int dirFd, const char* name, struct stat& st, int flags);
int Open(const char* path, int flags, mode_t mode = 0);
// The *at forms act on a name relative to an open folder, so that a walk down from a folder held
// open can refuse a symbolic link on the way (O_NOFOLLOW) and never looks a path up twice.
int OpenAt(int dirFd, const char* name, int flags, mode_t mode = 0);
int MakeTemp(char* pathTemplate, int flags);  // mkostemp
DIR* OpenDir(const char* path);
DIR* OpenDirOf(int folderFd);  // fdopendir; the DIR takes the descriptor over, also on failure
// inotify_add_watch on the folder open as folderFd (through its name in /proc/self/fd, so the
// watch is on that very folder); counted as an open.
int WatchFolder(int inotifyFd, int folderFd, uint32_t mask);
int MakeDir(const char* path, mode_t mode);
int MakeDirAt(int dirFd, const char* name, mode_t mode);
int RemoveDir(const char* path);
int Unlink(const char* path);
int UnlinkAt(int dirFd, const char* name);
int Rename(const char* from, const char* to);
int RenameAt(int dirFd, const char* from, const char* to);  // both names in the one folder
int RenameNoReplace(const char* from, const char* to);  // renameat2 with RENAME_NOREPLACE
int Link(const char* from, const char* to);
// Gives an open file that has no name (one made with O_TMPFILE) the name to in the folder dirFd
// (AT_FDCWD: to is a path); fails with EEXIST when the name is taken. Needs /proc/self/fd.
int LinkOpenFile(int fd, int dirFd, const char* to);
int Chmod(const char* path, mode_t mode);
int Chown(const char* path, uid_t owner, gid_t group);
int SetTimes(const char* path, const struct timespec times[2]);  // utimensat, following links
// syncfs(2) on the file system holding folder: what was written there before is on the disk after
// it. Changes nothing, but is reported to the observer (as "syncfs", with folder), so a test can see
// it between the writes it must follow and those it must precede.
int SyncFileSystemOf(const char* folder);

}  // namespace sys
}  // namespace rtl
