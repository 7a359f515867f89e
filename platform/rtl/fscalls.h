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

namespace sys {

int Stat(const char* path, struct stat& st);
int Lstat(const char* path, struct stat& st);
int StatAt(int dirFd, const char* name, struct stat& st, int flags);
int Open(const char* path, int flags, mode_t mode = 0);
int MakeTemp(char* pathTemplate, int flags);  // mkostemp
DIR* OpenDir(const char* path);
DIR* OpenDirOf(int folderFd);  // fdopendir; the DIR takes the descriptor over, also on failure
// inotify_add_watch on the folder open as folderFd (through its name in /proc/self/fd, so the
// watch is on that very folder); counted as an open.
int WatchFolder(int inotifyFd, int folderFd, uint32_t mask);
int MakeDir(const char* path, mode_t mode);
int RemoveDir(const char* path);
int Unlink(const char* path);
int Rename(const char* from, const char* to);
int RenameNoReplace(const char* from, const char* to);  // renameat2 with RENAME_NOREPLACE
int Link(const char* from, const char* to);
// Gives an open file that has no name (one made with O_TMPFILE) the name to; fails with EEXIST
// when the name is taken. Needs /proc/self/fd.
int LinkOpenFile(int fd, const char* to);
int Chmod(const char* path, mode_t mode);
int SetTimes(const char* path, const struct timespec times[2]);  // utimensat, following links

}  // namespace sys
}  // namespace rtl
