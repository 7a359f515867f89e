#include "platform/rtl/folderindex.h"

#include <dirent.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <limits>
#include <list>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/rtl/codepage.h"
#include "platform/rtl/fscalls.h"

namespace rtl::folderindex {
namespace {

// Enough for the largest books' folders several times over; a single larger folder is still kept
// while it is the one in use.
constexpr size_t kMaxFolders = 32;
constexpr size_t kMaxNames = 250000;
// A change of ours is applied to an index only this soon after the index was last confirmed
// current (by a stamp check or by a change of ours); later the index is dropped and read again,
// since a change by others may have come in between.
constexpr int64_t kTrustNanoseconds = 100'000'000;

int64_t MonotonicNanoseconds() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

struct TStamp {
    dev_t dev = 0;
    ino_t ino = 0;
    struct timespec mtime = {};

    static TStamp Of(const struct stat& st) { return {st.st_dev, st.st_ino, st.st_mtim}; }
    bool operator==(const TStamp& o) const {
        return dev == o.dev && ino == o.ino && mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
    }
};

// Equal keys for exactly the names the case-blind comparison takes as equal.
std::string Fold(std::string_view onDisk) { return AnsiUpperCase(Utf8ToCp1251(onDisk)); }

struct TIndex {
    TStamp stamp;
    // Folded name -> the names on disk that fold to it (nearly always one).
    std::unordered_map<std::string, std::vector<std::string>> names;
    size_t count = 0;
    int64_t confirmedAt = 0;  // MonotonicNanoseconds()
    std::list<std::string>::iterator recent;

    void Add(const std::string& onDisk) {
        if (onDisk.empty() || onDisk == "." || onDisk == "..") return;
        auto& same = names[Fold(onDisk)];
        if (std::find(same.begin(), same.end(), onDisk) != same.end()) return;
        same.push_back(onDisk);
        ++count;
    }

    void Remove(const std::string& onDisk) {
        auto it = names.find(Fold(onDisk));
        if (it == names.end()) return;
        auto& same = it->second;
        auto found = std::find(same.begin(), same.end(), onDisk);
        if (found == same.end()) return;
        same.erase(found);
        --count;
        if (same.empty()) names.erase(it);
    }

    std::string Find(std::string_view name) const {
        auto it = names.find(AnsiUpperCase(name));
        if (it == names.end()) return {};
        return *std::min_element(it->second.begin(), it->second.end());
    }
};

const char* FolderArg(const std::string& folder) { return folder.empty() ? "." : folder.c_str(); }

// Reads the folder's names; the stamp is the one taken before the read, so a change made during
// the read shows as a changed stamp on the next lookup.
bool ReadFolder(const std::string& folder, TIndex& index) {
    DIR* dir = sys::OpenDir(FolderArg(folder));
    if (!dir) return false;
    while (dirent* entry = readdir(dir)) {
        index.Add(entry->d_name);
    }
    closedir(dir);
    return true;
}

// When the index just read is known current: now, if the folder still has the stamp taken before
// the read (the read of a large folder may take longer than the trust span, and must not count
// against it); never, if it changed meanwhile, so that our next change drops the index.
int64_t ConfirmedAfterRead(const std::string& folder, const TStamp& before) {
    struct stat st;
    if (sys::Stat(FolderArg(folder), st) != 0 || !(TStamp::Of(st) == before))
        return std::numeric_limits<int64_t>::min() / 2;
    return MonotonicNanoseconds();
}

// Folder and last name of a native path, as the lookup names them ("" for the current folder).
std::pair<std::string, std::string> SplitNative(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {std::string(), path};
    return {slash == 0 ? std::string("/") : path.substr(0, slash), path.substr(slash + 1)};
}

class TIndexes {
public:
    TLookup Find(const std::string& folder, std::string_view name) {
        struct stat st;
        if (sys::Stat(FolderArg(folder), st) != 0 || !S_ISDIR(st.st_mode)) return {};
        const TStamp stamp = TStamp::Of(st);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto it = byFolder_.find(folder);
            if (it != byFolder_.end() && it->second.stamp == stamp) {
                it->second.confirmedAt = MonotonicNanoseconds();
                Touch(it->second);
                return {true, it->second.Find(name)};
            }
        }
        // Read outside the lock: other threads' lookups in other folders go on meanwhile.
        TIndex fresh;
        fresh.stamp = stamp;
        if (!ReadFolder(folder, fresh)) return {true, {}};
        fresh.confirmedAt = ConfirmedAfterRead(folder, stamp);
        std::lock_guard<std::mutex> lock(mutex_);
        TLookup result{true, fresh.Find(name)};
        Store(folder, std::move(fresh));
        return result;
    }

    // Applies one change of ours to the folder's index, if it has one, and takes the folder's new
    // stamp as current.
    template <typename Change>
    void Note(const std::string& folder, Change change) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = byFolder_.find(folder);
        if (it == byFolder_.end()) return;
        const int64_t now = MonotonicNanoseconds();
        struct stat st;
        if (now - it->second.confirmedAt > kTrustNanoseconds || sys::Stat(FolderArg(folder), st) != 0 ||
            !S_ISDIR(st.st_mode)) {
            Drop(it);
            return;
        }
        it->second.stamp = TStamp::Of(st);
        it->second.confirmedAt = now;
        total_ -= it->second.count;
        change(it->second);
        total_ += it->second.count;
    }

private:
    void Touch(TIndex& index) { recent_.splice(recent_.begin(), recent_, index.recent); }

    void Store(const std::string& folder, TIndex&& fresh) {
        auto it = byFolder_.find(folder);
        if (it != byFolder_.end()) Drop(it);
        recent_.push_front(folder);
        fresh.recent = recent_.begin();
        total_ += fresh.count;
        byFolder_.emplace(folder, std::move(fresh));
        while (recent_.size() > 1 && (recent_.size() > kMaxFolders || total_ > kMaxNames))
            Drop(byFolder_.find(recent_.back()));
    }

    void Drop(std::unordered_map<std::string, TIndex>::iterator it) {
        total_ -= it->second.count;
        recent_.erase(it->second.recent);
        byFolder_.erase(it);
    }

    std::mutex mutex_;
    std::unordered_map<std::string, TIndex> byFolder_;
    std::list<std::string> recent_;  // most recently used first
    size_t total_ = 0;
};

TIndexes& Indexes() {
    static TIndexes indexes;
    return indexes;
}

}  // namespace

TLookup FindCaseless(const std::string& nativeFolder, std::string_view name) {
    return Indexes().Find(nativeFolder, name);
}

void NoteCreated(const std::string& nativePath) {
    const auto split = SplitNative(nativePath);
    Indexes().Note(split.first, [&](TIndex& index) { index.Add(split.second); });
}

void NoteRemoved(const std::string& nativePath) {
    const auto split = SplitNative(nativePath);
    Indexes().Note(split.first, [&](TIndex& index) { index.Remove(split.second); });
}

void NoteRenamed(const std::string& fromNative, const std::string& toNative) {
    const auto from = SplitNative(fromNative);
    const auto to = SplitNative(toNative);
    if (from.first != to.first) {
        NoteRemoved(fromNative);
        NoteCreated(toNative);
        return;
    }
    Indexes().Note(from.first, [&](TIndex& index) {
        index.Remove(from.second);
        index.Add(to.second);
    });
}

}  // namespace rtl::folderindex
