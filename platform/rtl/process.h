// Starting programs and opening documents, never through a shell.
//
// A command line is split as the platform does: blanks separate arguments, double quotes group
// (and are dropped), backslashes are literal. An unquoted program name with blanks
// ("c:\program files\x\app.exe arg") is tried prefix by prefix, as the platform does. The program is
// looked up like any path (case-blind, relative to the current folder; a bare name also on $PATH);
// a name ending in ".exe" that does not exist is tried without that extension as well. It runs
// directly when it is executable. The requested window state travels to the program in the
// environment variable TOME_SHOW_WINDOW (decimal SW_ value), which the started program's class
// library takes once for its main window's first show (StartupShowCommand).
// Started programs are detached (double fork): they outlive the caller and leave no zombies.
// Documents, folders and http/https/ftp/mailto/file addresses (and "www." names) go to xdg-open, or
// to the command in the environment variable TOME_OPEN_COMMAND (tests; split like a command line,
// the document is added as its last argument). The opener may run as long as the application it
// starts, so its end is never waited for; a caller that wants to know whether it opened the
// target watches it (TOpenerWatch).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rtl {

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_NORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_SHOWMINNOACTIVE = 7;
constexpr int SW_RESTORE = 9;

// Results besides success.
constexpr int ERROR_BAD_FORMAT = 11;  // exists but cannot be run
constexpr int SE_ERR_NOASSOC = 31;    // nothing to open the document with

// The end of an opener that ShellExecuteOpen handed a document or address to, read without waiting.
// The opener has failed when it could not start or ended with a non-zero status (xdg-open: no
// application takes the target, or it could not open it). Nothing is watched where the target ran
// as a program.
class TOpenerWatch {
public:
    TOpenerWatch() = default;
    ~TOpenerWatch();
    TOpenerWatch(const TOpenerWatch&) = delete;
    TOpenerWatch& operator=(const TOpenerWatch&) = delete;

    // True while the opener runs; takes its end once it has come.
    bool Running();
    bool Failed() const { return failed_; }

private:
    friend int ShellExecuteOpen(std::string_view, std::string_view, std::string_view, int, TOpenerWatch*);
    int fd_ = -1;  // gives the opener's wait status when it ends
    bool failed_ = false;
};

// > 31 on success; 2 when the program is missing, 11 when it cannot be run.
int WinExec(std::string_view cmdLine, int showCmd);
// The "open" action: runs an executable target with params in dir, hands anything else to the
// opener, whose end the given watch follows. > 32 on success; 2 when the target is missing, 31
// when no opener can run.
int ShellExecuteOpen(std::string_view target, std::string_view params, std::string_view dir,
                     int showCmd = SW_SHOWNORMAL, TOpenerWatch* watch = nullptr);

std::vector<std::string> SplitCommandLine(std::string_view cmdLine);

// The window state this process was started with: SW_SHOWNORMAL unless its starter asked for
// another. The first call takes it out of the environment, so the programs this one starts never
// inherit it; later calls return the same value.
int StartupShowCommand();

}  // namespace rtl
