#include "platform/rtl/folderindex.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <list>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/rtl/codepage.h"
#include "platform/rtl/folderwatch.h"
#include "platform/rtl/fscalls.h"

namespace rtl::folderindex {
namespace {

using folderwatch::TEvent;
using folderwatch::TEventKind;

// What the indexes may hold together, in bytes as estimated below: some hundreds of thousands of
// names. A single larger folder is still kept while it is the one in use.
constexpr size_t kMaxBytes = size_t{48} << 20;
// The memory a name takes in an index beyond its bytes (held twice, folded and as on disk): hash
// node, bucket, string and vector headers, allocator overhead. And the same for a folder.
constexpr size_t kNameOverhead = 160;
constexpr size_t kFolderOverhead = 512;
// For a folder that is not watched: a change of ours is applied to its index only this soon after
// the index was last confirmed current (by a stamp check or by a change of ours); later the index
// is dropped and read again, since a change by others may have come in between.
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
    bool SameFolder(const TStamp& o) const { return dev == o.dev && ino == o.ino; }
    bool operator==(const TStamp& o) const {
        return SameFolder(o) && mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
    }
};

size_t NameBytes(const std::string& onDisk) { return 2 * onDisk.size() + kNameOverhead; }

// Equal keys for exactly the names the case-blind comparison takes as equal.
std::string Fold(std::string_view onDisk) { return AnsiUpperCase(Utf8ToCp1251(onDisk)); }

struct TIndex {
    TStamp stamp;
    int watch = -1;  // the kernel's watch on the folder; -1: trusted by its stamp instead
    // Folded name -> the names on disk that fold to it (nearly always one).
    std::unordered_map<std::string, std::vector<std::string>> names;
    size_t bytes = 0;
    int64_t confirmedAt = 0;  // MonotonicNanoseconds(); for a folder not watched
    std::list<std::string>::iterator recent;

    void Add(const std::string& onDisk) {
        if (onDisk.empty() || onDisk == "." || onDisk == "..") return;
        auto& same = names[Fold(onDisk)];
        if (std::find(same.begin(), same.end(), onDisk) != same.end()) return;
        same.push_back(onDisk);
        bytes += NameBytes(onDisk);
    }

    void Remove(const std::string& onDisk) {
        auto it = names.find(Fold(onDisk));
        if (it == names.end()) return;
        auto& same = it->second;
        auto found = std::find(same.begin(), same.end(), onDisk);
        if (found == same.end()) return;
        same.erase(found);
        bytes -= NameBytes(onDisk);
        if (same.empty()) names.erase(it);
    }

    std::string Find(std::string_view name) const {
        auto it = names.find(AnsiUpperCase(name));
        if (it == names.end()) return {};
        return *std::min_element(it->second.begin(), it->second.end());
    }

    // Whether the folder a look-up found (st) is the one indexed, as it was indexed.
    bool Current(const struct stat& st) const {
        return watch >= 0 ? stamp.SameFolder(TStamp::Of(st)) : stamp == TStamp::Of(st);
    }
};

const char* FolderArg(const std::string& folder) { return folder.empty() ? "." : folder.c_str(); }

// When the index of a folder not watched, just read, is known current: now, if the folder still
// has the stamp taken before the read (the read of a large folder may take longer than the trust
// span, and must not count against it); never, if it changed meanwhile, so that our next change
// drops the index.
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
        std::lock_guard<std::mutex> lock(mutex_);
        ApplyQueuedChanges();
        auto it = byFolder_.find(folder);
        if (it != byFolder_.end() && it->second.Current(st)) {
            if (it->second.watch < 0) it->second.confirmedAt = MonotonicNanoseconds();
            Touch(it->second);
            return {true, it->second.Find(name)};
        }
        // Read under the lock: the changes the kernel queues for the new watch meanwhile must not
        // be taken by another thread before the index they belong to is stored.
        TIndex fresh;
        if (!Read(folder, fresh)) return {true, {}};
        TLookup result{true, fresh.Find(name)};
        Store(folder, std::move(fresh));
        return result;
    }

    // Applies one change of ours to the index of a folder that is not watched, and takes the
    // folder's new stamp as current. A watched folder's index learns of it from the kernel.
    template <typename Change>
    void Note(const std::string& folder, Change change) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = byFolder_.find(folder);
        if (it == byFolder_.end() || it->second.watch >= 0) return;
        const int64_t now = MonotonicNanoseconds();
        struct stat st;
        if (now - it->second.confirmedAt > kTrustNanoseconds || sys::Stat(FolderArg(folder), st) != 0 ||
            !S_ISDIR(st.st_mode) || !it->second.stamp.SameFolder(TStamp::Of(st))) {
            Drop(it);
            return;
        }
        it->second.stamp = TStamp::Of(st);
        it->second.confirmedAt = now;
        Resize(it->second, change);
    }

    void DropAll() {
        std::lock_guard<std::mutex> lock(mutex_);
        while (!byFolder_.empty()) Drop(byFolder_.begin());
    }

private:
    // Reads the folder's names. The watch is set, or the stamp taken, before the read, so that a
    // change made during the read is seen afterwards.
    bool Read(const std::string& folder, TIndex& index) {
        const int fd = sys::Open(FolderArg(folder), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat st;
        if (fd < 0) return false;
        if (fstat(fd, &st) != 0) {
            close(fd);
            return false;
        }
        index.stamp = TStamp::Of(st);
        index.watch = watch_.Watch(fd);
        DIR* dir = sys::OpenDirOf(fd);
        if (!dir) {
            Release(index.watch);
            return false;
        }
        while (dirent* entry = readdir(dir)) index.Add(entry->d_name);
        closedir(dir);
        if (index.watch < 0) index.confirmedAt = ConfirmedAfterRead(folder, index.stamp);
        return true;
    }

    void ApplyQueuedChanges() {
        watch_.Drain([this](const TEvent& event) {
            if (event.kind == TEventKind::AllLost) return DropWatched();
            auto users = byWatch_.find(event.watch);
            if (users == byWatch_.end()) return;  // a watch already ended
            if (event.kind == TEventKind::FolderGone) {
                for (const std::string& folder : std::vector<std::string>(users->second))
                    Drop(byFolder_.find(folder));
                return;
            }
            const std::string name(event.name);
            for (const std::string& folder : users->second) {
                Resize(byFolder_.find(folder)->second, [&](TIndex& index) {
                    if (event.kind == TEventKind::Added)
                        index.Add(name);
                    else
                        index.Remove(name);
                });
            }
        });
    }

    template <typename Change>
    void Resize(TIndex& index, Change change) {
        total_ -= index.bytes;
        change(index);
        total_ += index.bytes;
    }

    void Touch(TIndex& index) { recent_.splice(recent_.begin(), recent_, index.recent); }

    void Store(const std::string& folder, TIndex&& fresh) {
        // The watch's users first: a folder read again may get the watch it already had.
        if (fresh.watch >= 0) byWatch_[fresh.watch].push_back(folder);
        auto it = byFolder_.find(folder);
        if (it != byFolder_.end()) Drop(it);
        recent_.push_front(folder);
        fresh.recent = recent_.begin();
        fresh.bytes += kFolderOverhead + folder.size();
        total_ += fresh.bytes;
        byFolder_.emplace(folder, std::move(fresh));
        while (recent_.size() > 1 && total_ > kMaxBytes) Drop(byFolder_.find(recent_.back()));
    }

    void Drop(std::unordered_map<std::string, TIndex>::iterator it) {
        const std::string& folder = it->first;
        if (it->second.watch >= 0) {
            auto users = byWatch_.find(it->second.watch);
            auto& list = users->second;
            list.erase(std::find(list.begin(), list.end(), folder));
            if (list.empty()) byWatch_.erase(users);
            Release(it->second.watch);
        }
        total_ -= it->second.bytes;
        recent_.erase(it->second.recent);
        byFolder_.erase(it);
    }

    // Ends a watch no index uses any more (the kernel gives a folder watched twice the same watch).
    void Release(int watch) {
        if (watch >= 0 && byWatch_.find(watch) == byWatch_.end()) watch_.Unwatch(watch);
    }

    void DropWatched() {
        for (auto it = byFolder_.begin(); it != byFolder_.end();) {
            auto next = std::next(it);
            if (it->second.watch >= 0) Drop(it);
            it = next;
        }
    }

    std::mutex mutex_;
    folderwatch::TFolderWatch watch_;
    std::unordered_map<std::string, TIndex> byFolder_;
    std::unordered_map<int, std::vector<std::string>> byWatch_;  // watch -> the folders it serves
    std::list<std::string> recent_;                              // most recently used first
    size_t total_ = 0;                                           // bytes of all indexes
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

void DropAll() { Indexes().DropAll(); }

}  // namespace rtl::folderindex
