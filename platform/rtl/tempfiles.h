// Temporary files that carry their writer's process id in their name, and the removal of those
// whose writer can no longer finish them. A folder is known by its identity (device and inode), so
// two spellings of one folder ("a/./b", "a/x/../b") name the same temporaries.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>

namespace rtl {

// Marks a temporary of this process's writer as live while it exists: no clean-up in this process
// takes it for a leftover. Made before the file is created; the folder's identity is taken from the
// open folder.
class TLiveTemp {
public:
    TLiveTemp(int folderFd, std::string name);
    ~TLiveTemp();
    TLiveTemp(const TLiveTemp&) = delete;
    TLiveTemp& operator=(const TLiveTemp&) = delete;

private:
    dev_t device_ = 0;
    ino_t inode_ = 0;
    std::string name_;
    bool known_ = false;
};

// The writer's process id a name carries, 0 when the name is no temporary of the kind asked for.
using TTempOwnerOf = std::function<pid_t(std::string_view name)>;

// Removes, from the folder open as folderFd (nativeFolder is its name, with a trailing "/", for the
// folder index), the regular files whose ownerOf is not 0 and whose writer has ended: a process that
// no longer runs, or this one when no TLiveTemp holds the name. A process that still runs keeps its
// files, even when its id was taken over by another program. Names are unlinked relative to the
// open folder. Returns how many went.
int RemoveEndedTemps(int folderFd, const std::string& nativeFolder, const TTempOwnerOf& ownerOf);

// Digits as std::to_string writes an unsigned number of up to 32 bits: no sign, no leading zero.
bool ParseCanonicalNumber(std::string_view digits, uint64_t& value);

}  // namespace rtl
