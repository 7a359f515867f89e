// The case-blind name lookup behind ToNativePath: each folder is read once into an index of its
// names folded to cp1251 upper case.
//
// Where the kernel can watch the folder, the index follows the kernel's notice of every change to
// it, this process's own and others' alike; the notice is read before each answer, so a look-up
// never misses a name that existed before it began. A folder is taken as the one indexed while its
// path leads to the same device and inode, so one replaced by another under the same path is read
// afresh.
//
// The kernel watches at most DefaultLimits().watches folders at once for this process, so that
// other programs keep their share of the user's watches. Elsewhere (file systems shared with other
// machines, folders beyond that cap, or no watches at all) the index is trusted for as long as the
// folder's device, inode, modification time and change time (which no program can set back) are
// those it was read at. The process's own creations, renames and deletions update both the index
// and that stamp; just before each, the folder is checked against the stamp, so that the new stamp
// hides no change by others made before it. Two changes within one tick of the clock the file
// system stamps with may leave the same stamp, though, and one by others between that check and
// the new stamp is hidden by it. So an index read within a tick of the folder's last change, or
// changed by us, may miss a change by others made within a tick of it: such an index is read
// again at its first use once this process has changed no name for a tenth of a second (longer
// for a large folder). Every other change by others is seen by the next look-up; one within a
// tick of ours, by the first after our changes pause. Knowing for certain at once would take a
// read of the folder after each change of ours.
//
// Safe to use from several threads, and across fork: a folder is read outside the lock, so a large
// one holds up no look-up in another folder. Memory is bounded by the names held, not by the number
// of folders: the indexes of the folders used least recently are dropped (and their watches ended)
// once the names of all take more than some tens of megabytes, whether they grew by reads or by
// changes, so any order of work over up to a few hundred thousand names reads each folder once.
#pragma once

#include <string>
#include <string_view>

namespace rtl::folderindex {

struct TLookup {
    bool folderExists = false;  // the folder exists and is a folder
    std::string onDisk;         // the matching name as stored (UTF-8), "" when none matches
};

// The entry of nativeFolder ("" for the current folder) whose cp1251 name equals name without
// regard to case. Several matches resolve to the smallest name in byte order, so the choice is stable.
TLookup FindCaseless(const std::string& nativeFolder, std::string_view name);

// Reports a change this process made on a native path by a call of its own.
void NoteCreated(const std::string& nativePath);
void NoteRemoved(const std::string& nativePath);
void NoteRenamed(const std::string& fromNative, const std::string& toNative);

struct TLimits {
    size_t watches = 0;  // folders watched by the kernel at once
    size_t bytes = 0;    // memory of all indexes, as estimated
};

// The limits in force: watches min(4096, max_user_watches / 8), none when that limit cannot be
// read, and no more than the variable TOME_FOLDER_WATCHES says (0: every folder is trusted by its
// stamp); 48 MiB of names.
TLimits DefaultLimits();

// For tests: drops every index and watch, and keeps to limits from here on.
void ResetForTests(const TLimits& limits);
// For tests: the watches held and the bytes the indexes take now.
TLimits UsageForTests();

}  // namespace rtl::folderindex
