// Other processes for tests: one that runs a step and ends with its exit code, one that runs a step
// and stays until it is let go or killed; a pid namespace and another user a child can take (root).
#pragma once

#include <grp.h>
#include <sched.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace rtltest {

// Runs body, which returns an exit code, in a child process and waits for it: that code, 128 and the
// signal that ended the child, or -1 when there was none.
template <typename F>
int ExitCodeOf(F body) {
    const pid_t child = fork();
    if (child == 0) {
        int code = 1;
        try { code = body(); } catch (...) {}
        _exit(code);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// A child process that runs `hold`, reports its result and then stays until it is let go (when the
// Holder goes) or killed.
class Holder {
public:
    template <typename F>
    explicit Holder(F hold) {
        int ends[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) throw std::runtime_error("socketpair");
        if ((pid_ = fork()) == 0) {
            close(ends[0]);
            char ok = hold() ? 'y' : 'n';
            (void)!write(ends[1], &ok, 1);
            (void)!read(ends[1], &ok, 1);  // until the parent's end closes
            _exit(0);
        }
        close(ends[1]);
        end_ = ends[0];
        char ok = 'n';
        holding_ = read(end_, &ok, 1) == 1 && ok == 'y';
    }
    ~Holder() { Stop(); }

    bool Holding() const { return holding_; }
    void Kill() {
        if (pid_ > 0) kill(pid_, SIGKILL);
        Stop();
    }

private:
    void Stop() {  // lets the child go (what it started in a pid namespace ends first) and waits for it
        if (pid_ <= 0) return;
        close(end_);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    pid_t pid_ = -1;
    int end_ = -1;
    bool holding_ = false;
};

// A user and group id that no account has, one per test process (taken at its start, so its
// children share it).
inline const uid_t kOtherUser = 0x7A000000u + static_cast<uid_t>(getpid() % 0x100000);

// In a child: goes on as process `id` of a pid namespace of its own, whose first process waits for
// it; false where that is not permitted.
inline bool EnterOwnPidNamespace(pid_t id = 1) {
    const auto goOnInAChild = [] {  // this process ends when the child does
        const pid_t child = fork();
        if (child > 0) _exit(waitpid(child, nullptr, 0) == child ? 0 : 1);
        return child == 0;
    };
    if (unshare(CLONE_NEWPID) != 0 || !goOnInAChild()) return false;
    if (id != 1) std::ofstream("/proc/sys/kernel/ns_last_pid") << id - 1;
    return (id == 1 || goOnInAChild()) && getpid() == id;
}

// Makes this process (a child's) that other user; only root can.
inline bool BecomeOtherUser() {
    return setgroups(0, nullptr) == 0 && setgid(kOtherUser) == 0 && setuid(kOtherUser) == 0;
}

// Removes the folders that the other user's named mutexes made, and the test's stand-ins for them.
inline void RemoveOtherUsersFolders() {
    std::error_code ignored;
    for (const std::string folder : {"/run/user/", "/tmp/tome-"})
        std::filesystem::remove_all(folder + std::to_string(kOtherUser), ignored);
}

}  // namespace rtltest
