// Other processes for tests: a child that runs a step and ends with its exit code; one that runs a
// step, reports its result and stays until it is let go or killed; a pid namespace and another user
// that a child can take (root only).
#pragma once

#include <grp.h>
#include <sched.h>
#include <signal.h>
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

// A child process that runs `hold`, reports its result through a pipe and then waits until the
// parent closes its end (or kills it).
class Holder {
public:
    template <typename F>
    explicit Holder(F hold) {
        int ready[2], release[2];
        if (pipe(ready) != 0 || pipe(release) != 0) throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            close(release[1]);
            char ok = hold() ? 'y' : 'n';
            (void)!write(ready[1], &ok, 1);
            char c;
            (void)!read(release[0], &c, 1);
            _exit(0);
        }
        close(ready[1]);
        close(release[0]);
        release_ = release[1];
        char ok = 'n';
        (void)!read(ready[0], &ok, 1);
        close(ready[0]);
        holding_ = ok == 'y';
    }
    ~Holder() { Stop(); }

    bool Holding() const { return holding_; }
    void Stop() {
        if (pid_ <= 0) return;
        close(release_);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    void Kill() {
        kill(pid_, SIGKILL);
        Stop();
    }

private:
    pid_t pid_ = -1;
    int release_ = -1;
    bool holding_ = false;
};

// A user and group id that no account has, one per test process (taken when the process starts,
// so its children share it).
inline const uid_t kOtherUserId = 0x7A000000u + static_cast<uid_t>(getpid() % 0x100000);
inline uid_t OtherUserId() { return kOtherUserId; }

// In a child: goes on in a new child process, this one waiting for it and ending with it.
inline bool GoOnInANewChild() {
    const pid_t inside = fork();
    if (inside > 0) _exit(waitpid(inside, nullptr, 0) == inside ? 0 : 1);
    return inside == 0;
}

// In a child: goes on as process id of a pid namespace of its own (1 is its first process; another id
// is chosen through ns_last_pid); false where that is not permitted.
inline bool EnterOwnPidNamespace(pid_t id = 1) {
    if (unshare(CLONE_NEWPID) != 0 || !GoOnInANewChild()) return false;
    if (id != 1) {
        std::ofstream("/proc/sys/kernel/ns_last_pid") << id - 1;
        if (!GoOnInANewChild()) return false;
    }
    return getpid() == id;
}

// Makes this process (a child's) that other user; only root can.
inline bool BecomeOtherUser() {
    return setgroups(0, nullptr) == 0 && setgid(OtherUserId()) == 0 && setuid(OtherUserId()) == 0;
}

// Removes the folders that the other user's named mutexes made, and the test's stand-ins for them.
inline void RemoveOtherUsersFolders() {
    std::error_code ignored;
    for (const std::string folder : {"/run/user/", "/tmp/tome-"})
        std::filesystem::remove_all(folder + std::to_string(OtherUserId()), ignored);
}

}  // namespace rtltest
