// The case-blind name lookup behind ToNativePath: each folder is read once into an index of its
// names folded to cp1251 upper case, and the index is trusted for as long as the folder's device,
// inode and modification time (to the nanosecond) are those it was read at. The process's own
// creations, renames and deletions update both the index and that stamp, so writing many files
// into one folder never reads it again. Changes made by others change the stamp and cause a fresh
// read on the next lookup. A change by others that falls within the same clock tick as one of ours,
// or between a check of the index and a change of ours that follows it within a tenth of a second,
// can pass unseen until the folder changes again.
//
// Safe to use from several threads. Memory is bounded: the indexes of the folders used least
// recently are dropped once too many folders or names are held.
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

}  // namespace rtl::folderindex
