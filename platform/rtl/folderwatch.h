// The kernel's notice of changes to watched folders (inotify). A creation, deletion or rename of a
// name in a watched folder, by this process or any other on this machine, is queued before the call
// that made it returns; so a reader that empties the queue before answering has seen every change
// made before it began. Not thread-safe: the folder index calls it under its own lock.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string_view>

namespace rtl::folderwatch {

enum class TEventKind {
    Added,       // a name appeared in the watched folder (created, linked or renamed in)
    Removed,     // a name left it (deleted or renamed away)
    FolderGone,  // the watched folder itself was deleted, renamed or unmounted; its watch is over
    AllLost,     // the queue overflowed or the process forked: every watch is over
};

struct TEvent {
    TEventKind kind;
    int watch;              // the watch it concerns; -1 for AllLost
    std::string_view name;  // for Added and Removed
};

class TFolderWatch {
public:
    TFolderWatch();
    ~TFolderWatch();
    TFolderWatch(const TFolderWatch&) = delete;
    TFolderWatch& operator=(const TFolderWatch&) = delete;

    // A watch on the folder open as folderFd, or -1 when none can be had: no notice from the kernel,
    // its limit of watches reached, or a file system whose changes made elsewhere it never hears of.
    int Watch(int folderFd);
    void Unwatch(int watch);
    // Reports every queued event, oldest first.
    void Drain(const std::function<void(const TEvent&)>& report);

private:
    bool Forked();
    void Close();

    int fd_ = -1;
    pid_t owner_;
    unsigned forks_;  // Forks() when owner_ was last confirmed
    bool lost_ = false;  // watches ended without an event to say so; AllLost is still to be reported
};

}  // namespace rtl::folderwatch
