#include "platform/rtl/tempfiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <mutex>
#include <set>
#include <tuple>

#include "platform/rtl/folderindex.h"
#include "platform/rtl/fscalls.h"

namespace rtl {
namespace {

using TTempKey = std::tuple<dev_t, ino_t, std::string>;

// The temporaries of this process's writers that have not ended yet.
class TLiveTemps {
public:
    void Add(const TTempKey& key) {
        std::lock_guard<std::mutex> lock(mutex_);
        keys_.insert(key);
    }
    void Remove(const TTempKey& key) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (const auto found = keys_.find(key); found != keys_.end()) keys_.erase(found);
    }
    bool Holds(const TTempKey& key) {
        std::lock_guard<std::mutex> lock(mutex_);
        return keys_.count(key) != 0;
    }

private:
    std::mutex mutex_;
    std::multiset<TTempKey> keys_;
};

TLiveTemps& LiveTemps() {
    static TLiveTemps* temps = new TLiveTemps;  // never destroyed: writers may end during exit
    return *temps;
}

bool WriterEnded(pid_t owner, const TTempKey& key) {
    if (owner == ::getpid()) return !LiveTemps().Holds(key);
    return ::kill(owner, 0) != 0 && errno == ESRCH;
}

}  // namespace

TLiveTemp::TLiveTemp(int folderFd, std::string name) : name_(std::move(name)) {
    struct stat folder;
    known_ = ::fstat(folderFd, &folder) == 0;
    if (!known_) return;  // nothing can judge a folder it cannot tell either
    device_ = folder.st_dev;
    inode_ = folder.st_ino;
    LiveTemps().Add({device_, inode_, name_});
}

TLiveTemp::~TLiveTemp() {
    if (known_) LiveTemps().Remove({device_, inode_, name_});
}

int RemoveEndedTemps(int folderFd, const std::string& nativeFolder, const TTempOwnerOf& ownerOf) {
    struct stat folder;
    if (::fstat(folderFd, &folder) != 0) return 0;
    // The listing reads its own descriptor, so folderFd stays usable for the removals.
    const int listFd = ::dup(folderFd);
    if (listFd < 0) return 0;
    DIR* dir = sys::OpenDirOf(listFd);
    if (!dir) return 0;
    ::rewinddir(dir);
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const pid_t owner = ownerOf(entry->d_name);
        if (owner == 0 || !WriterEnded(owner, {folder.st_dev, folder.st_ino, entry->d_name})) continue;
        struct stat st;
        if (sys::StatAt(folderFd, entry->d_name, st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
        if (sys::UnlinkAt(folderFd, entry->d_name) != 0) continue;
        folderindex::NoteRemoved(nativeFolder + entry->d_name);
        ++removed;
    }
    ::closedir(dir);
    return removed;
}

bool ParseCanonicalNumber(std::string_view digits, uint64_t& value) {
    if (digits.empty() || digits.size() > 10 || (digits.size() > 1 && digits[0] == '0')) return false;
    value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + uint64_t(c - '0');
    }
    return value <= UINT32_MAX;
}

}  // namespace rtl
