#include "platform/rtl/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/rtl/codepage.h"
#include "platform/rtl/findfile.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/sysutils.h"

extern char** environ;

namespace rtl {

namespace {

constexpr int kWinExecDone = 33;
constexpr int kShellExecuteDone = 42;
constexpr int SE_ERR_ACCESSDENIED = 5;
constexpr const char kShowWindowVariable[] = "TOME_SHOW_WINDOW";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsRegularFile(const std::string& native) {
    struct stat st;
    return !native.empty() && stat(native.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool HasFolderPart(std::string_view name) {
    return name.find('\\') != std::string_view::npos || name.find('/') != std::string_view::npos ||
           name.find(':') != std::string_view::npos;
}

// A program name without its ".exe", which Linux programs do not carry; "" when it has none.
std::string WithoutExe(std::string_view name) {
    if (!AnsiSameText(ExtractFileExt(name), ".exe")) return {};
    return std::string(name.substr(0, name.size() - 4));
}

// Native path of a program found on $PATH; "" when none.
std::string SearchPath(const std::string& nativeName) {
    const char* env = getenv("PATH");
    std::string path = env ? env : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(':', start);
        if (end == std::string::npos) end = path.size();
        std::string folder = path.substr(start, end - start);
        start = end + 1;
        if (folder.empty()) continue;
        std::string candidate = folder + "/" + nativeName;
        if (IsRegularFile(candidate) && access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

// The native file a program name stands for: the name itself (case-blind, against the current
// folder), without ".exe", and for a bare name also on $PATH. "" when nothing exists.
std::string ResolveProgram(std::string_view name) {
    if (name.empty()) return {};
    std::vector<std::string> names{std::string(name)};
    if (std::string bare = WithoutExe(name); !bare.empty()) names.push_back(bare);
    for (const std::string& n : names) {
        std::string native = ToNativePath(ExpandFileName(n));
        if (IsRegularFile(native)) return native;
    }
    if (HasFolderPart(name)) return {};
    for (const std::string& n : names) {
        std::string found = SearchPath(Cp1251ToUtf8(n));
        if (!found.empty()) return found;
    }
    return {};
}

// This process's environment for a started program: without our own window state, and with the
// requested one when there is one (negative: none, as for documents handed to the opener).
std::vector<std::string> ChildEnvironment(int showCmd) {
    const std::string prefix = std::string(kShowWindowVariable) + "=";
    std::vector<std::string> env;
    for (char** entry = environ; entry && *entry; ++entry)
        if (std::string_view(*entry).substr(0, prefix.size()) != prefix) env.emplace_back(*entry);
    if (showCmd >= 0) env.push_back(prefix + std::to_string(showCmd));
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Runs program detached: a middle child forks the real one and ends at once, so the program is
// adopted by init and never becomes our zombie. With endFd, the middle's child is a watcher that
// runs the program as its own child and, when it ends, writes its wait status into the pipe whose
// reading end *endFd receives. 0 when exec succeeded, else its errno.
int Spawn(const std::string& program, const std::vector<std::string>& args, const std::string& folder,
          int showCmd = -1, int* endFd = nullptr) {
    std::vector<std::string> argvStore{program};
    argvStore.insert(argvStore.end(), args.begin(), args.end());
    std::vector<char*> argv = Pointers(argvStore);
    std::vector<std::string> envStore = ChildEnvironment(showCmd);
    std::vector<char*> envp = Pointers(envStore);

    int report[2], end[2] = {-1, -1};
    if (pipe2(report, O_CLOEXEC) != 0) return errno;
    if (endFd && pipe2(end, O_CLOEXEC | O_NONBLOCK) != 0) {
        int error = errno;
        close(report[0]);
        close(report[1]);
        return error;
    }
    pid_t middle = fork();
    if (middle < 0) {
        int error = errno;
        for (int fd : {report[0], report[1], end[0], end[1]})
            if (fd >= 0) close(fd);
        return error;
    }
    if (middle == 0) {
        // Only async-signal-safe calls from here on: the parent may have other threads.
        close(report[0]);
        if (endFd) close(end[0]);
        pid_t child = fork();
        if (child != 0) {
            if (child < 0) {
                int error = errno;
                (void)!write(report[1], &error, sizeof error);
            }
            _exit(0);
        }
        setsid();
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        signal(SIGPIPE, SIG_DFL);
        signal(SIGXFSZ, SIG_DFL);  // the viewer ignores it for its own writes only
        if (endFd) {
            pid_t watched = fork();
            if (watched != 0) {
                int status = 0;
                if (watched < 0) {
                    status = errno;
                    (void)!write(report[1], &status, sizeof status);
                    _exit(127);
                }
                // The watcher outlives its caller: it keeps nothing of the caller's open, no lock above all.
                close_range(3, end[1] - 1, 0);
                close_range(end[1] + 1, ~0u, 0);
                while (waitpid(watched, &status, 0) < 0 && errno == EINTR) {
                }
                (void)!write(end[1], &status, sizeof status);
                _exit(0);
            }
        }
        close_range(3, ~0u, CLOSE_RANGE_CLOEXEC);  // no held lock or socket leaks into the program
        if (folder.empty() || chdir(folder.c_str()) == 0) execve(argv[0], argv.data(), envp.data());
        int error = errno;
        (void)!write(report[1], &error, sizeof error);
        _exit(127);
    }
    close(report[1]);
    if (endFd) close(end[1]);
    while (waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t n;
    while ((n = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    if (n != static_cast<ssize_t>(sizeof error)) error = 0;
    if (endFd && error == 0) *endFd = end[0];
    else if (endFd) close(end[0]);
    return error;
}

bool IsAddress(std::string_view target) {
    for (std::string_view scheme : {"http://", "https://", "ftp://", "mailto:", "file:", "www."}) {
        if (target.size() >= scheme.size() && SameText(target.substr(0, scheme.size()), scheme)) return true;
    }
    return false;
}

// Hands a document, folder or address to the opener; a ShellExecute result. endFd: as for Spawn.
int OpenWithOpener(const std::string& what, const std::string& folder, int* endFd) {
    const char* env = getenv("TOME_OPEN_COMMAND");
    std::vector<std::string> command = SplitCommandLine(env && *env ? env : "xdg-open");
    if (command.empty()) return SE_ERR_NOASSOC;
    std::string program = command[0].find('/') != std::string::npos ? command[0] : SearchPath(command[0]);
    if (!IsRegularFile(program)) return SE_ERR_NOASSOC;
    std::vector<std::string> args(command.begin() + 1, command.end());
    args.push_back(what);
    return Spawn(program, args, folder, -1, endFd) == 0 ? kShellExecuteDone : SE_ERR_NOASSOC;
}

std::vector<std::string> ToUtf8(const std::vector<std::string>& args) {
    std::vector<std::string> out;
    for (const std::string& a : args) out.push_back(Cp1251ToUtf8(a));
    return out;
}

// Splits cmdLine into the program's native path and its arguments; false when no program exists.
// An unquoted name is tried with ever more of the line, up to each blank, as the platform does.
bool FindProgramInLine(std::string_view cmdLine, std::string& program, std::vector<std::string>& args) {
    size_t start = 0;
    while (start < cmdLine.size() && IsBlank(cmdLine[start])) ++start;
    std::string_view line = cmdLine.substr(start);
    if (line.empty()) return false;
    if (line[0] == '"') {
        size_t close = line.find('"', 1);
        std::string_view name = line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
        program = ResolveProgram(name);
        args = SplitCommandLine(close == std::string_view::npos ? std::string_view() : line.substr(close + 1));
        return !program.empty();
    }
    for (size_t end = 0; end <= line.size(); ++end) {
        if (end < line.size() && !IsBlank(line[end])) continue;
        if (end > 0 && IsBlank(line[end - 1])) continue;  // inside a run of blanks
        std::string_view name = line.substr(0, end);
        if (name.find('"') != std::string_view::npos) break;
        program = ResolveProgram(name);
        if (!program.empty()) {
            args = SplitCommandLine(line.substr(end));
            return true;
        }
    }
    return false;
}

int WinExecError(int error) {
    if (error == ENOENT) return ERROR_FILE_NOT_FOUND;
    return ERROR_BAD_FORMAT;
}

// ShellExecuteOpen without its watch; endFd as for Spawn, set only where the opener started.
int OpenTarget(std::string_view target, std::string_view params, std::string_view dir, int showCmd, int* endFd) {
    if (target.empty()) return ERROR_FILE_NOT_FOUND;
    std::string folder = dir.empty() ? std::string() : ToNativePath(ExpandFileName(dir));
    if (IsAddress(target)) {
        std::string address = Cp1251ToUtf8(target);
        if (SameText(address.substr(0, 4), "www.")) address = "http://" + address;
        return OpenWithOpener(address, folder, endFd);
    }
    std::string full(target);
    if (!IsFullPath(target) && !dir.empty()) full = IncludeTrailingBackslash(dir) + full;
    std::string native = ToNativePath(ExpandFileName(full));
    struct stat st;
    if (stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return OpenWithOpener(native, folder, endFd);
    std::string program = ResolveProgram(full);
    if (program.empty()) return ERROR_FILE_NOT_FOUND;
    if (access(program.c_str(), X_OK) != 0) return OpenWithOpener(program, folder, endFd);  // a document
    int error = Spawn(program, ToUtf8(SplitCommandLine(params)), folder, showCmd);
    if (error == 0) return kShellExecuteDone;
    if (error == EACCES) return SE_ERR_ACCESSDENIED;
    return error == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_BAD_FORMAT;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view cmdLine) {
    std::vector<std::string> args;
    size_t i = 0;
    while (i < cmdLine.size()) {
        while (i < cmdLine.size() && IsBlank(cmdLine[i])) ++i;
        if (i == cmdLine.size()) break;
        std::string arg;
        bool quoted = false;
        for (; i < cmdLine.size() && (quoted || !IsBlank(cmdLine[i])); ++i) {
            if (cmdLine[i] == '"') {
                quoted = !quoted;
            } else {
                arg += cmdLine[i];
            }
        }
        args.push_back(std::move(arg));
    }
    return args;
}

int WinExec(std::string_view cmdLine, int showCmd) {
    std::string program;
    std::vector<std::string> args;
    if (!FindProgramInLine(cmdLine, program, args)) {
        std::vector<std::string> words = SplitCommandLine(cmdLine);
        bool folderMissing = !words.empty() && HasFolderPart(words[0]) && !ExtractFilePath(words[0]).empty() &&
                             !DirectoryExists(ExtractFilePath(words[0]));
        return folderMissing ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
    }
    if (access(program.c_str(), X_OK) != 0) return ERROR_BAD_FORMAT;
    int error = Spawn(program, ToUtf8(args), std::string(), showCmd);
    return error == 0 ? kWinExecDone : WinExecError(error);
}

TOpenerWatch::~TOpenerWatch() {
    if (fd_ >= 0) close(fd_);
}

bool TOpenerWatch::Running() {
    if (fd_ < 0) return false;
    int status = 0;
    ssize_t n = read(fd_, &status, sizeof status);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
    // A watcher that ended without a word leaves the outcome unknown: not a failure.
    failed_ = n == static_cast<ssize_t>(sizeof status) && !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    close(fd_);
    fd_ = -1;
    return false;
}

int ShellExecuteOpen(std::string_view target, std::string_view params, std::string_view dir, int showCmd,
                     TOpenerWatch* watch) {
    int endFd = -1;
    const int result = OpenTarget(target, params, dir, showCmd, watch ? &endFd : nullptr);
    if (watch) {
        if (watch->fd_ >= 0) close(watch->fd_);
        watch->fd_ = endFd;
        watch->failed_ = result == SE_ERR_NOASSOC;
    }
    return result;
}

int StartupShowCommand() {
    static const int showCmd = [] {
        int value = SW_SHOWNORMAL;
        if (const char* text = getenv(kShowWindowVariable)) {
            char* end = nullptr;
            long parsed = std::strtol(text, &end, 10);
            if (end != text && *end == '\0' && parsed >= 0 && parsed <= 11) value = int(parsed);
            unsetenv(kShowWindowVariable);
        }
        return value;
    }();
    return showCmd;
}

}  // namespace rtl
