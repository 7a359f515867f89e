#include "platform/rtl/folderwatch.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <pthread.h>
#include <sys/inotify.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/rtl/fscalls.h"

namespace rtl::folderwatch {
namespace {

constexpr uint32_t kMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF |
                           IN_ONLYDIR;

// File systems shared with other machines (or served by another process, as FUSE is): the kernel
// queues only the changes made through this machine, so their folders are not watched.
bool ChangedElsewhere(int folderFd) {
    struct statfs fs;
    if (fstatfs(folderFd, &fs) != 0) return true;
    switch (static_cast<unsigned long>(fs.f_type)) {
        case NFS_SUPER_MAGIC:
        case SMB_SUPER_MAGIC:
        case 0xFF534D42UL:  // CIFS
        case 0xFE534D42UL:  // SMB2
        case FUSE_SUPER_MAGIC:
        case CEPH_SUPER_MAGIC:
        case V9FS_MAGIC:
        case AFS_SUPER_MAGIC:
        case AFS_FS_MAGIC:
        case CODA_SUPER_MAGIC:
        case OCFS2_SUPER_MAGIC:
        case 0x01161970UL:  // GFS2
        case 0x0BD00BD0UL:  // Lustre
        case 0x786F4256UL:  // VirtualBox shared folders
            return true;
        default:
            return false;
    }
}

TEventKind KindOf(uint32_t mask) {
    if (mask & (IN_CREATE | IN_MOVED_TO)) return TEventKind::Added;
    if (mask & (IN_DELETE | IN_MOVED_FROM)) return TEventKind::Removed;
    return TEventKind::FolderGone;  // IN_DELETE_SELF, IN_MOVE_SELF, IN_UNMOUNT, IN_IGNORED
}

// Counts the forks this process came from, so that a child notices it is one without asking the
// kernel for its id at every look-up.
std::atomic<unsigned> forks{0};

unsigned Forks() {
    static const bool counting = pthread_atfork(nullptr, nullptr, [] { forks.fetch_add(1); }) == 0;
    return counting ? forks.load(std::memory_order_relaxed) : ~0u;  // ~0u: never trusted as unchanged
}

}  // namespace

TFolderWatch::TFolderWatch() : owner_(getpid()), forks_(Forks()) {}

TFolderWatch::~TFolderWatch() { Close(); }

void TFolderWatch::Close() {
    if (fd_ >= 0) close(fd_);  // ends every watch of this process (a forked parent keeps its own)
    fd_ = -1;
}

// A child shares the parent's queue: reading it would take the parent's events. It starts afresh.
bool TFolderWatch::Forked() {
    const unsigned seen = Forks();
    if (seen == forks_ && seen != ~0u) return false;
    forks_ = seen;
    const pid_t now = getpid();
    if (now == owner_) return false;
    owner_ = now;
    if (fd_ >= 0) lost_ = true;
    Close();
    return true;
}

int TFolderWatch::Watch(int folderFd) {
    Forked();
    if (ChangedElsewhere(folderFd)) return -1;
    if (fd_ < 0) fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) return -1;
    return sys::WatchFolder(fd_, folderFd, kMask);
}

void TFolderWatch::Unwatch(int watch) {
    if (!Forked() && fd_ >= 0) inotify_rm_watch(fd_, watch);
}

void TFolderWatch::Drain(const std::function<void(const TEvent&)>& report) {
    Forked();
    if (lost_) {
        lost_ = false;
        report({TEventKind::AllLost, -1, {}});
    }
    alignas(struct inotify_event) char buf[64 * 1024];
    while (fd_ >= 0) {
        const ssize_t n = read(fd_, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // EAGAIN: the queue is empty
        // The kernel fills the buffer while the next event fits; with room left for the longest
        // event, the queue was empty when the read ended, and another read would only say so.
        const bool emptied = sizeof buf - static_cast<size_t>(n) >= sizeof(struct inotify_event) + NAME_MAX + 1;
        for (size_t at = 0; at + sizeof(struct inotify_event) <= static_cast<size_t>(n);) {
            struct inotify_event event;
            std::memcpy(&event, buf + at, sizeof event);
            const size_t nameAt = at + sizeof event;
            if (event.len > static_cast<size_t>(n) - nameAt || (event.mask & IN_Q_OVERFLOW)) {
                Close();
                report({TEventKind::AllLost, -1, {}});
                return;
            }
            report({KindOf(event.mask), event.wd, std::string_view(buf + nameAt, strnlen(buf + nameAt, event.len))});
            at = nameAt + event.len;
        }
        if (emptied) return;
    }
}

}  // namespace rtl::folderwatch
