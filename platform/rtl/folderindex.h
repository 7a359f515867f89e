// The case-blind name lookup behind ToNativePath: each folder is read once into an index of its
// names folded to cp1251 upper case.
//
// Where the kernel can watch the folder, the index follows the kernel's notice of every change to
// it, this process's own and others' alike; the notice is read before each answer, so a look-up
// never misses a name that existed before it began. A folder is taken as the one indexed while its
// path leads to the same device and inode, so one replaced by another under the same path is read
// afresh.
//
// Elsewhere (file systems shared with other machines, or once the kernel's limit of watches is
// reached) the index is trusted for as long as the folder's device, inode and modification time
// are those it was read at, and the process's own creations, renames and deletions update both the
// index and that stamp. There a change by others that falls within the same clock tick as one of
// ours, or between a check of the index and a change of ours that follows it within a tenth of a
// second, can pass unseen until the folder changes again.
//
// Safe to use from several threads. Memory is bounded by the names held, not by the number of
// folders: the indexes of the folders used least recently are dropped once the names of all take
// more than some tens of megabytes, so any order of work over up to a few hundred thousand names
// reads each folder once.
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

// Forgets every index (and ends their watches), so that the next look-up reads its folder afresh.
void DropAll();

}  // namespace rtl::folderindex
