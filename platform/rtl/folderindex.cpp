#include "platform/rtl/folderindex.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <condition_variable>
#include <limits>
#include <list>
#include <mutex>
#include <new>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/rtl/codepage.h"
#include "platform/rtl/folderwatch.h"
#include "platform/rtl/fscalls.h"
#include "platform/rtl/sysutils.h"

namespace rtl::folderindex {
namespace {

using folderwatch::TEvent;
using folderwatch::TEventKind;

// What the indexes may hold together, in bytes as estimated below: some hundreds of thousands of
// names. A single larger folder is still kept while it is the one in use.
constexpr size_t kMaxBytes = size_t{48} << 20;
// Folders watched at once: at most this, and at most an eighth of the user's allowance, which all
// the user's programs share.
constexpr size_t kMaxWatches = 4096;
constexpr size_t kShareOfUserWatches = 8;
// Changes the kernel reports for a folder while it is read, kept to be applied after the read;
// beyond them the read answers its own look-up only, and the folder is read again next time.
constexpr size_t kMaxChangesDuringRead = 100'000;
// The memory a name takes in an index beyond its bytes (held twice, folded and as on disk): hash
// node, bucket, string and vector headers, allocator overhead. And the same for a folder.
constexpr size_t kNameOverhead = 160;
constexpr size_t kFolderOverhead = 512;
// For a folder that is not watched: an index that may have missed a change by others (see the
// header) is read again at its first use once this process has changed no name for this long, nor
// has the index been in doubt for less; longer for a large folder, so that such reads take at most
// an eighth of the time (a read costs about a microsecond a name).
constexpr int64_t kSettleNanoseconds = 100'000'000;
constexpr int64_t kSettleNanosecondsPerName = 8'000;
constexpr int64_t kSettled = -1;

int64_t MonotonicNanoseconds() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

bool Before(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

bool Same(const struct timespec& a, const struct timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

// Whether every later change to the folder st was taken of (just now) is bound to change its
// stamp: the kernel stamps a change with its coarse clock, or finer, so the last change must lie
// before that clock by more than the file system's granularity (taken as the two seconds of the
// coarsest where the time falls on a whole second).
bool LaterChangesShow(const struct stat& st) {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME_COARSE, &now);
    if (st.st_ctim.tv_nsec == 0) return st.st_ctim.tv_sec <= now.tv_sec - 2;
    return Before(st.st_ctim, now);
}

// The change time is part of it as no program can set it back, as archivers and copiers set the
// modification time.
struct TStamp {
    dev_t dev = 0;
    ino_t ino = 0;
    struct timespec mtime = {};
    struct timespec ctime = {};

    static TStamp Of(const struct stat& st) { return {st.st_dev, st.st_ino, st.st_mtim, st.st_ctim}; }
    bool SameFolder(const TStamp& o) const { return dev == o.dev && ino == o.ino; }
    bool operator==(const TStamp& o) const { return SameFolder(o) && Same(mtime, o.mtime) && Same(ctime, o.ctime); }
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
    // For a folder not watched: since when the index may have missed a change by others
    // (MonotonicNanoseconds()); kSettled while it cannot have.
    int64_t unsettledAt = kSettled;
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

    // Whether the index of a folder not watched is to be read again, this process having changed
    // a name last at lastChange.
    bool DueForReading(int64_t now, int64_t lastChange) const {
        if (watch >= 0 || unsettledAt == kSettled) return false;
        const int64_t span =
            std::max(kSettleNanoseconds, kSettleNanosecondsPerName * static_cast<int64_t>(names.size()));
        return now - std::max(lastChange, unsettledAt) >= span;
    }
};

const char* FolderArg(const std::string& folder) { return folder.empty() ? "." : folder.c_str(); }

// The user's allowance of watches; 0 when it cannot be read. Without /proc no watch can be set
// anyway (sys::WatchFolder names the folder through /proc/self/fd), and a kernel without the file
// has no watches to give.
size_t UserWatchAllowance() {
    const int fd = sys::Open("/proc/sys/fs/inotify/max_user_watches", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char text[32];
    const ssize_t n = read(fd, text, sizeof text);
    close(fd);
    int64_t allowance = 0;
    if (n <= 0 || !TryStrToInt64(Trim(std::string_view(text, static_cast<size_t>(n))), allowance) || allowance < 0)
        return 0;
    return static_cast<size_t>(allowance);
}

// Read as the process starts, so that no count of a routine's file-system calls includes it.
const size_t userWatchAllowance = UserWatchAllowance();

// TOME_FOLDER_WATCHES lowers the cap; set to anything but a count, it allows none.
size_t WatchCap() {
    size_t cap = std::min(kMaxWatches, userWatchAllowance / kShareOfUserWatches);
    if (const char* env = getenv("TOME_FOLDER_WATCHES")) {
        int64_t wanted = 0;
        if (!TryStrToInt64(env, wanted) || wanted < 0) wanted = 0;
        cap = std::min(cap, static_cast<size_t>(wanted));
    }
    return cap;
}

// A folder being read outside the lock. The changes the kernel reports for its watch meanwhile
// are kept and applied to what the read found: each one says whether a name is there, so applied
// in order they give the folder as it is at the end, whatever the read saw of them.
struct TRead {
    std::string folder;
    int watch = -1;
    std::vector<std::pair<bool, std::string>> changes;  // added?, name
    bool lost = false;  // changes went unseen: the read answers its own look-up only
};

// Folder and last name of a native path, as the lookup names them ("" for the current folder).
std::pair<std::string, std::string> SplitNative(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {std::string(), path};
    return {slash == 0 ? std::string("/") : path.substr(0, slash), path.substr(slash + 1)};
}

class TIndexes;
TIndexes& Indexes();

class TIndexes {
public:
    TIndexes() : limits_(DefaultLimits()) {
        pthread_atfork([] { Indexes().mutex_.lock(); }, [] { Indexes().mutex_.unlock(); },
                       [] { Indexes().StartChild(); });
        SetNameChangeHook([](const char* path, int dirFd) { Indexes().CheckBeforeChange(path, dirFd); });
    }

    TLookup Find(const std::string& folder, std::string_view name) {
        struct stat st;
        if (sys::Stat(FolderArg(folder), st) != 0 || !S_ISDIR(st.st_mode)) return {};
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            ApplyQueuedChanges();
            auto it = byFolder_.find(folder);
            if (it != byFolder_.end() && it->second.Current(st) &&
                !it->second.DueForReading(MonotonicNanoseconds(), lastChange_)) {
                Touch(it->second);
                return {true, it->second.Find(name)};
            }
            // One read of a folder at a time; the others wait for the index it stores.
            if (std::none_of(reads_.begin(), reads_.end(), [&](const TRead& r) { return r.folder == folder; })) break;
            readDone_.wait(lock);
        }
        return ReadAndStore(folder, name, lock);
    }

    // Applies one change of ours to the index of a folder that is not watched, and takes the
    // folder's new stamp as current; as a change by others may hide behind it, the index is in
    // doubt from here on. A watched folder's index learns of the change from the kernel.
    template <typename Change>
    void Note(const std::string& folder, Change change) {
        std::lock_guard<std::mutex> lock(mutex_);
        const int64_t now = MonotonicNanoseconds();
        const int64_t lastChange = std::exchange(lastChange_, now);
        auto it = byFolder_.find(folder);
        if (it == byFolder_.end() || it->second.watch >= 0) return;
        struct stat st;
        if (it->second.DueForReading(now, lastChange) || sys::Stat(FolderArg(folder), st) != 0 || !S_ISDIR(st.st_mode) ||
            !it->second.stamp.SameFolder(TStamp::Of(st))) {
            Drop(it);
            return;
        }
        it->second.stamp = TStamp::Of(st);
        if (it->second.unsettledAt == kSettled) it->second.unsettledAt = now;
        Resize(it->second, change);
        Evict();
    }

    // Before a change of ours to a name in a folder trusted by its stamp: the index is dropped if
    // the folder changed since it was confirmed, as the stamp after our change will not show that.
    // A name taken in an open folder (dirFd) is checked when it is a name in that very folder.
    void CheckBeforeChange(const char* path, int dirFd) {
        struct stat st;
        if (dirFd == AT_FDCWD) {
            const std::string folder = SplitNative(path).first;
            if (!Stamped(folder) || sys::Stat(FolderArg(folder), st) != 0) return;
        } else if (std::strchr(path, '/') || fstat(dirFd, &st) != 0) {
            return;
        }
        const TStamp now = TStamp::Of(st);
        std::lock_guard<std::mutex> lock(mutex_);
        const auto same = stamped_.equal_range(now.ino);
        std::vector<std::string> changed;
        for (auto it = same.first; it != same.second; ++it) {
            const TIndex& index = byFolder_.find(it->second)->second;
            if (index.stamp.SameFolder(now) && !(index.stamp == now)) changed.push_back(it->second);
        }
        for (const std::string& folder : changed) Drop(byFolder_.find(folder));
    }

    void Reset(const TLimits& limits) {
        std::lock_guard<std::mutex> lock(mutex_);
        while (!byFolder_.empty()) Drop(byFolder_.begin());
        for (TRead& read : reads_) read.lost = true;
        limits_ = limits;
    }

    TLimits Usage() {
        std::lock_guard<std::mutex> lock(mutex_);
        return {WatchesHeld(), total_};
    }

private:
    bool Stamped(const std::string& folder) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = byFolder_.find(folder);
        return it != byFolder_.end() && it->second.watch < 0;
    }

    // Reads the folder's names with the lock released, then stores its index (called and
    // returning with the lock held). The watch is set, or the stamp taken, before the read, so
    // that a change made during the read is seen afterwards.
    TLookup ReadAndStore(const std::string& folder, std::string_view name, std::unique_lock<std::mutex>& lock) {
        const auto read = reads_.emplace(reads_.end());
        read->folder = folder;
        lock.unlock();
        TIndex fresh;
        const bool whole = Read(folder, *read, fresh, lock);
        lock.lock();
        ApplyQueuedChanges();
        fresh.watch = read->watch;
        for (const auto& [added, changed] : read->changes) added ? fresh.Add(changed) : fresh.Remove(changed);
        const bool keep = whole && !read->lost;
        reads_.erase(read);
        readDone_.notify_all();
        if (!whole) {
            Release(fresh.watch);
            return {true, {}};
        }
        TLookup result{true, fresh.Find(name)};
        if (keep)
            Store(folder, std::move(fresh));
        else
            Release(fresh.watch);
        return result;
    }

    // Called without the lock; takes it only to set the watch.
    bool Read(const std::string& folder, TRead& read, TIndex& index, std::unique_lock<std::mutex>& lock) {
        const int fd = sys::Open(FolderArg(folder), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat st;
        if (fd < 0) return false;
        if (fstat(fd, &st) != 0) {
            close(fd);
            return false;
        }
        index.stamp = TStamp::Of(st);
        if (!LaterChangesShow(st)) index.unsettledAt = MonotonicNanoseconds();
        lock.lock();
        if (WatchesHeld() < limits_.watches) read.watch = watch_.Watch(fd);
        lock.unlock();  // read.watch is the lock's to guard from here on
        DIR* dir = sys::OpenDirOf(fd);
        if (!dir) return false;
        while (dirent* entry = readdir(dir)) index.Add(entry->d_name);
        closedir(dir);
        return true;
    }

    // Distinct watches held by indexes and reads (a watch shared by two reads counts twice).
    size_t WatchesHeld() const {
        size_t held = byWatch_.size();
        for (const TRead& read : reads_) held += read.watch >= 0 && byWatch_.count(read.watch) == 0;
        return held;
    }

    void ApplyQueuedChanges() {
        watch_.Drain([this](const TEvent& event) {
            if (event.kind == TEventKind::AllLost) return LoseEveryWatch();
            KeepForReads(event);
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
        Evict();
    }

    void KeepForReads(const TEvent& event) {
        for (TRead& read : reads_) {
            if (read.watch != event.watch || read.lost) continue;
            if (event.kind == TEventKind::FolderGone || read.changes.size() >= kMaxChangesDuringRead)
                read.lost = true;
            else
                read.changes.emplace_back(event.kind == TEventKind::Added, std::string(event.name));
        }
    }

    // The kernel's queue is gone with every watch in it (a watch number may come back on the next).
    void LoseEveryWatch() {
        for (TRead& read : reads_) {
            if (read.watch < 0) continue;
            read.watch = -1;
            read.lost = true;
        }
        DropWatched();
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
        if (fresh.watch < 0) stamped_.emplace(fresh.stamp.ino, folder);
        recent_.push_front(folder);
        fresh.recent = recent_.begin();
        fresh.bytes += kFolderOverhead + folder.size();
        total_ += fresh.bytes;
        byFolder_.emplace(folder, std::move(fresh));
        Evict();
    }

    // Drops the indexes used least recently while all take more than the budget.
    void Evict() {
        while (recent_.size() > 1 && total_ > limits_.bytes) Drop(byFolder_.find(recent_.back()));
    }

    void Drop(std::unordered_map<std::string, TIndex>::iterator it) {
        const std::string& folder = it->first;
        if (it->second.watch >= 0) {
            auto users = byWatch_.find(it->second.watch);
            auto& list = users->second;
            list.erase(std::find(list.begin(), list.end(), folder));
            if (list.empty()) byWatch_.erase(users);
            Release(it->second.watch);
        } else {
            auto same = stamped_.equal_range(it->second.stamp.ino);
            stamped_.erase(std::find_if(same.first, same.second, [&](const auto& s) { return s.second == folder; }));
        }
        total_ -= it->second.bytes;
        recent_.erase(it->second.recent);
        byFolder_.erase(it);
    }

    // Ends a watch no index or read uses any more (the kernel gives a folder watched twice the same
    // watch).
    void Release(int watch) {
        if (watch < 0 || byWatch_.count(watch) != 0) return;
        if (std::none_of(reads_.begin(), reads_.end(), [&](const TRead& r) { return r.watch == watch; }))
            watch_.Unwatch(watch);
    }

    // In the child of a fork, which holds the lock since the fork began (the parent's threads may
    // have been waiting on it or reading): the reads under way belong to threads it does not have.
    void StartChild() {
        reads_.clear();
        new (&readDone_) std::condition_variable;  // any waiters it counts are the parent's
        mutex_.unlock();
    }

    void DropWatched() {
        for (auto it = byFolder_.begin(); it != byFolder_.end();) {
            auto next = std::next(it);
            if (it->second.watch >= 0) Drop(it);
            it = next;
        }
    }

    std::mutex mutex_;
    std::condition_variable readDone_;  // a read ended
    TLimits limits_;
    std::list<TRead> reads_;  // under way, each of another folder
    folderwatch::TFolderWatch watch_;
    std::unordered_map<std::string, TIndex> byFolder_;
    std::unordered_map<int, std::vector<std::string>> byWatch_;  // watch -> the folders it serves
    std::unordered_multimap<ino_t, std::string> stamped_;        // inode -> the folders not watched
    std::list<std::string> recent_;                              // most recently used first
    size_t total_ = 0;                                           // bytes of all indexes
    int64_t lastChange_ = std::numeric_limits<int64_t>::min() / 2;  // when this process last changed a name
};

TIndexes& Indexes() {
    static TIndexes indexes;
    return indexes;
}

}  // namespace

TLimits DefaultLimits() { return {WatchCap(), kMaxBytes}; }

void ResetForTests(const TLimits& limits) { Indexes().Reset(limits); }

TLimits UsageForTests() { return Indexes().Usage(); }

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
