#include "platform/rtl/process.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/rtl/findfile.h"
#include "platform/rtl/locks.h"
#include "tests/rtl/system_fixture.h"

using namespace rtl;
using rtltest::TempFolder;
using rtltest::WriteNative;

namespace {

// A script that writes its arguments and its working folder, one a line, to the file named by its
// first argument (through a temporary name, so the file appears complete).
const char* kRecorder =
    "#!/bin/sh\n"
    "out=\"$1\"\n"
    "{ for a in \"$@\"; do printf '%s\\n' \"$a\"; done; pwd; } > \"$out.part\" && mv \"$out.part\" \"$out\"\n";

void WriteScript(const std::string& path, const std::string& text) {
    WriteNative(path, text);
    chmod(path.c_str(), 0755);
}

// Waits up to ten seconds for a file that a started program writes.
std::string WaitForFile(const std::string& path) {
    for (int i = 0; i < 1000; ++i) {
        if (rtltest::NativeExists(path)) return rtltest::ReadNative(path);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return "<timeout>";
}

class ProcessTest : public ::testing::Test {
protected:
    TempFolder tmp;
    rtltest::CurrentDirGuard guard;
};

}  // namespace

TEST(CommandLineTest, SplitsLikeThePlatform) {
    EXPECT_EQ(SplitCommandLine("  a \"b c\"  d\\e \"\" f\"g h\"i\t"),
              (std::vector<std::string>{"a", "b c", "d\\e", "", "fg hi"}));
    EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\x.exe\" \\\"q"),
              (std::vector<std::string>{"C:\\Program Files\\x.exe", "\\q"}));
    EXPECT_TRUE(SplitCommandLine("   ").empty());
    EXPECT_EQ(SplitCommandLine("\"unterminated arg"), (std::vector<std::string>{"unterminated arg"}));
}

TEST_F(ProcessTest, RunsAScriptByRelativeDifferentlyCasedName) {
    WriteScript(tmp.Native("Bin/Run.sh"), kRecorder);
    ASSERT_EQ(chdir(tmp.Native().c_str()), 0);
    EXPECT_GT(WinExec(Ru("bin\\RUN.SH out.txt \"two words\" back\\slash ") + Ru("я"), SW_SHOWNORMAL), 31);
    EXPECT_EQ(WaitForFile(tmp.Native("out.txt")), "out.txt\ntwo words\nback\\slash\nя\n" + tmp.Native() + "\n");
    // Detached: nothing is left for us to reap.
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(ProcessTest, ProgramNamesWithBlanksExeAndQuotes) {
    WriteScript(tmp.Native("Program Files/App/tool"), kRecorder);
    ASSERT_EQ(chdir(tmp.Native().c_str()), 0);
    std::string folder = tmp.Win() + "program files\\app\\";
    // Unquoted blanks: the name is tried up to each blank in turn; ".exe" may be left off on disk.
    EXPECT_GT(WinExec(folder + "TOOL.exe a.txt x", SW_SHOWNORMAL), 31);
    EXPECT_EQ(WaitForFile(tmp.Native("a.txt")), "a.txt\nx\n" + tmp.Native() + "\n");
    EXPECT_GT(WinExec("\"" + folder + "tool\" b.txt", SW_HIDE), 31);
    EXPECT_EQ(WaitForFile(tmp.Native("b.txt")), "b.txt\n" + tmp.Native() + "\n");
}

TEST_F(ProcessTest, FailuresReportedLikeThePlatform) {
    WriteNative(tmp.Native("readme.txt"), "not a program");
    WriteScript(tmp.Native("noshebang"), "echo hi\n");
    ASSERT_EQ(chdir(tmp.Native().c_str()), 0);
    EXPECT_EQ(WinExec("no-such-program.exe arg", SW_SHOWNORMAL), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(WinExec(tmp.Win() + "missing\\setup.exe", SW_SHOWNORMAL), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(WinExec("", SW_SHOWNORMAL), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(WinExec("readme.txt", SW_SHOWNORMAL), ERROR_BAD_FORMAT);  // never given to a shell
    EXPECT_EQ(WinExec("noshebang", SW_SHOWNORMAL), ERROR_BAD_FORMAT);
    EXPECT_EQ(WinExec("notepad.exe readme.txt", SW_SHOWNORMAL), ERROR_FILE_NOT_FOUND);
}

TEST_F(ProcessTest, BareNamesAreFoundOnPath) {
    WriteScript(tmp.Native("bin/recorder"), kRecorder);
    rtltest::EnvGuard path("PATH", tmp.Native("bin") + ":/usr/bin:/bin");
    ASSERT_EQ(chdir(tmp.Native().c_str()), 0);
    EXPECT_GT(WinExec("recorder.exe p.txt", SW_SHOWNORMAL), 31);
    EXPECT_EQ(WaitForFile(tmp.Native("p.txt")), "p.txt\n" + tmp.Native() + "\n");
}

TEST_F(ProcessTest, TheRequestedWindowStateReachesTheStartedProgramOnly) {
    WriteScript(tmp.Native("state"),
                "#!/bin/sh\nprintf '%s' \"${TOME_SHOW_WINDOW-none}\" > \"$1.part\" && mv \"$1.part\" \"$1\"\n");
    ASSERT_EQ(chdir(tmp.Native().c_str()), 0);
    // The state this process was started with is taken once and never passed on.
    rtltest::EnvGuard own("TOME_SHOW_WINDOW", "2");
    EXPECT_EQ(StartupShowCommand(), SW_SHOWMINIMIZED);
    EXPECT_EQ(getenv("TOME_SHOW_WINDOW"), nullptr);
    EXPECT_EQ(StartupShowCommand(), SW_SHOWMINIMIZED);
    const struct {
        int showCmd;
        const char* seen;
    } cases[] = {{SW_SHOWMAXIMIZED, "3"}, {SW_SHOWNORMAL, "1"}, {SW_HIDE, "0"}};
    for (const auto& c : cases) {
        const std::string out = "win" + std::to_string(c.showCmd);
        EXPECT_GT(WinExec("state.exe " + out, c.showCmd), 31);
        EXPECT_EQ(WaitForFile(tmp.Native(out)), c.seen) << c.showCmd;
    }
    EXPECT_GT(ShellExecuteOpen("state", "shell", tmp.Win(), SW_SHOWMAXIMIZED), 32);
    EXPECT_EQ(WaitForFile(tmp.Native("shell")), "3");
}

// Neither a started program nor a watched opener (nor the process that watches it) keeps a lock.
TEST_F(ProcessTest, StartedProgramsAndWatchedOpenersInheritNoLocks) {
    WriteScript(tmp.Native("slow.sh"), "#!/bin/sh\nsleep 2\n: > \"$1\"\n");
    rtltest::EnvGuard opener("TOME_OPEN_COMMAND", tmp.Native("slow.sh") + " " + tmp.Native("opened"));
    THeldFile held;
    ASSERT_TRUE(held.Open(tmp.Win() + "started.dat"));
    EXPECT_GT(WinExec(tmp.Win() + "slow.sh " + tmp.Native("done"), SW_SHOWNORMAL), 31);
    TOpenerWatch watch;
    EXPECT_GT(ShellExecuteOpen("http://example.org/", "", "", SW_SHOWNORMAL, &watch), 32);
    EXPECT_TRUE(watch.Running());
    held.Close();
    THeldFile again;  // the still running programs must not keep the lock
    EXPECT_TRUE(again.Open(tmp.Win() + "started.dat"));
    EXPECT_EQ(WaitForFile(tmp.Native("done")), "");
    EXPECT_EQ(WaitForFile(tmp.Native("opened")), "");
}

TEST_F(ProcessTest, ShellExecuteRunsProgramsAndHandsTheRestToTheOpener) {
    WriteScript(tmp.Native("opener.sh"), kRecorder);
    WriteScript(tmp.Native("App/Prog.sh"), kRecorder);
    WriteNative(tmp.Native("Docs/Readme.TXT"), "text");
    rtltest::EnvGuard opener("TOME_OPEN_COMMAND", tmp.Native("opener.sh") + " " + tmp.Native("opened"));

    // A program runs with its parameters in the given folder.
    EXPECT_GT(ShellExecuteOpen("prog.sh", "run.txt \"a b\"", tmp.Win() + "APP"), 32);
    EXPECT_EQ(WaitForFile(tmp.Native("App/run.txt")), "run.txt\na b\n" + tmp.Native("App") + "\n");

    // A document goes to the opener by its real name.
    EXPECT_GT(ShellExecuteOpen(tmp.Win() + "docs\\readme.txt", "", ""), 32);
    std::string opened = WaitForFile(tmp.Native("opened"));
    EXPECT_NE(opened.find(tmp.Native("Docs/Readme.TXT") + "\n"), std::string::npos) << opened;

    unlink(tmp.Native("opened").c_str());
    EXPECT_GT(ShellExecuteOpen("https://example.org/page?a=1&b=2", "", ""), 32);
    opened = WaitForFile(tmp.Native("opened"));
    EXPECT_NE(opened.find("https://example.org/page?a=1&b=2\n"), std::string::npos) << opened;

    unlink(tmp.Native("opened").c_str());
    EXPECT_GT(ShellExecuteOpen(tmp.Win() + "DOCS", "", ""), 32);
    opened = WaitForFile(tmp.Native("opened"));
    EXPECT_NE(opened.find(tmp.Native("Docs") + "\n"), std::string::npos) << opened;

    EXPECT_EQ(ShellExecuteOpen(tmp.Win() + "missing.doc", "", ""), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ShellExecuteOpen("", "", ""), ERROR_FILE_NOT_FOUND);
    rtltest::EnvGuard noOpener("TOME_OPEN_COMMAND", tmp.Native("no-opener"));
    EXPECT_EQ(ShellExecuteOpen("mailto:someone@example.org", "", ""), SE_ERR_NOASSOC);
}
