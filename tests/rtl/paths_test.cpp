#include "platform/rtl/paths.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "platform/rtl/datetime.h"
#include "platform/rtl/findfile.h"
#include "platform/rtl/folderindex.h"
#include "platform/rtl/fscalls.h"
#include "platform/rtl/textfile.h"
#include "tests/rtl/child_process.h"
#include "tests/rtl/system_fixture.h"

using namespace rtl;
using rtltest::NativeExists;
using rtltest::ReadNative;
using rtltest::TempFolder;
using rtltest::WriteNative;

TEST(PathsTest, FullPathTest) {
    EXPECT_TRUE(IsFullPath("C:\\book\\data"));
    EXPECT_TRUE(IsFullPath("c:/book"));
    EXPECT_TRUE(IsFullPath("\\opt\\book\\"));
    EXPECT_TRUE(IsFullPath("/opt/book"));
    EXPECT_TRUE(IsFullPath("odd:\\name"));  // ":\" anywhere
    EXPECT_FALSE(IsFullPath("data\\page.html"));
    EXPECT_FALSE(IsFullPath("C:relative"));
    EXPECT_FALSE(IsFullPath(""));
}

TEST(PathsTest, MapsSeparatorsAndDropsTheDrive) {
    EXPECT_EQ(ToNativePath("\\no-such-root\\a\\b.txt"), "/no-such-root/a/b.txt");
    EXPECT_EQ(ToNativePath("C:\\no-such-root\\x"), "/no-such-root/x");
    EXPECT_EQ(ToNativePath("d:/no-such-root/x"), "/no-such-root/x");
    EXPECT_EQ(ToNativePath("C:no-such-relative"), "no-such-relative");
    EXPECT_EQ(ToNativePath("no-such-dir\\sub\\"), "no-such-dir/sub/");
    EXPECT_EQ(ToNativePath(""), "");
    EXPECT_EQ(FromNativePath("/opt/book/"), "\\opt\\book\\");
}

TEST(PathsTest, LooksUpNestedComponentsWithoutRegardToCase) {
    TempFolder tmp;
    WriteNative(tmp.Native("Данные/Подпапка/Файл.HTM"), "x");
    WriteNative(tmp.Native("Skin/Face.DAT"), "y");

    std::string real = tmp.Native("Данные/Подпапка/Файл.HTM");
    EXPECT_EQ(ToNativePath(tmp.Win() + Ru("данные\\ПОДПАПКА\\файл.htm")), real);
    EXPECT_EQ(ToNativePath(tmp.Win() + "SKIN\\face.dat"), tmp.Native("Skin/Face.DAT"));
    EXPECT_TRUE(FileExists(tmp.Win() + Ru("ДАННЫЕ\\подпапка\\ФАЙЛ.htm")));
    // The existing part is resolved; the missing rest stays as given, ready to be created.
    EXPECT_EQ(ToNativePath(tmp.Win() + Ru("данные\\Новый\\a.txt")), tmp.Native("Данные/Новый/a.txt"));
    EXPECT_EQ(FromNativePath(real), tmp.Win() + Ru("Данные\\Подпапка\\Файл.HTM"));
}

TEST(PathsTest, CaseBlindLookupOfRelativeNamesAndCurrentFolder) {
    TempFolder tmp;
    rtltest::CurrentDirGuard guard;
    WriteNative(tmp.Native("Data/Page.html"), "p");
    ASSERT_TRUE(SetCurrentDir(tmp.Win() + "DATA"));
    EXPECT_EQ(GetCurrentDir(), tmp.Win() + "Data");
    EXPECT_TRUE(FileExists("PAGE.HTML"));
    EXPECT_EQ(ToNativePath("..\\data\\page.html"), "../Data/Page.html");
    EXPECT_EQ(ExpandFileName("..\\x\\.\\y"), tmp.Win() + "x\\y");
    EXPECT_EQ(ExpandFileName("C:"), tmp.Win() + "Data");  // a bare drive is the current folder
    EXPECT_EQ(ExpandFileName("C:\\a\\..\\..\\b\\"), "\\b\\");
    EXPECT_EQ(ExpandFileName(""), "");
    EXPECT_FALSE(SetCurrentDir(tmp.Win() + "missing"));
}

// The case-blind index with kernel watches up to the cap, and with every folder trusted by its stamp.
class CaseBlindIndex : public testing::TestWithParam<bool> {
protected:
    void SetUp() override { folderindex::ResetForTests(Limits()); }
    void TearDown() override { folderindex::ResetForTests(folderindex::DefaultLimits()); }
    static folderindex::TLimits Limits() {
        folderindex::TLimits limits = folderindex::DefaultLimits();
        return limits.watches *= GetParam(), limits;
    }
};
INSTANTIATE_TEST_SUITE_P(Paths, CaseBlindIndex, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Watched" : "Stamped"; });

// The case-blind look-up reads a folder once and follows every change after that: changes by others
// through the kernel's notice or, where there is none, the folder's modification time (set apart
// explicitly here, as a later clock tick would), this process's own without another read.
TEST_P(CaseBlindIndex, FollowsChangesAndReadsAFolderOnce) {
    TempFolder tmp;
    for (int i = 0; i < 300; ++i) WriteNative(tmp.Native("f" + std::to_string(i) + ".txt"), "");
    int64_t tick = 1000000000;
    auto outside = [&](auto change) {
        change();
        struct timespec times[2] = {{0, UTIME_OMIT}, {++tick, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, tmp.Native().c_str(), times, 0), 0);
    };
    struct Step {
        std::function<void()> change;
        bool byOthers;
        const char* lookUp;
        const char* expected;  // name on disk; the name as given when none matches
    };
    const std::string w = tmp.Win();
    const Step steps[] = {
        {[] {}, false, "F7.TXT", "f7.txt"},
        {[&] { WriteNative(tmp.Native("Neu.TXT"), ""); }, true, "neu.txt", "Neu.TXT"},
        {[&] { std::filesystem::remove(tmp.Native("Neu.TXT")); }, true, "NEU.txt", "NEU.txt"},
        {[&] { WriteFileBytes(w + "Own.txt", "x"); }, false, "OWN.TXT", "Own.txt"},
        {[&] { ASSERT_TRUE(RenameFile(w + "own.txt", w + "Moved.txt")); }, false, "moved.TXT", "Moved.txt"},
        {[] {}, false, "OWN.TXT", "OWN.TXT"},
        {[&] { ASSERT_TRUE(DeleteFile(w + "MOVED.txt")); }, false, "moved.txt", "moved.txt"},
        {[&] { ASSERT_TRUE(CreateDir(w + "Sub")); }, false, "SUB", "Sub"},
        // Several names that differ in case only: the smallest in byte order.
        {[&] { WriteNative(tmp.Native("ab.txt"), ""), WriteNative(tmp.Native("AB.txt"), ""); }, true, "Ab.TXT",
         "AB.txt"},
        {[&] { ASSERT_TRUE(DeleteFile(w + "AB.txt")); }, false, "Ab.TXT", "ab.txt"},
    };
    const TFsCallCounts before = FsCallCounts();
    int othersChanges = 0;
    for (const Step& step : steps) {
        if (step.byOthers) {
            outside(step.change);
            ++othersChanges;
        } else {
            step.change();
        }
        EXPECT_EQ(ToNativePath(w + step.lookUp), tmp.Native(step.expected)) << step.lookUp;
    }
    EXPECT_LE((FsCallCounts() - before).FolderReads, 1u + othersChanges);

    // A change of ours made long after the last look-up must not hide one made by others meanwhile.
    outside([&] { WriteNative(tmp.Native("Late.txt"), ""); });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    ASSERT_TRUE(DeleteFile(w + "f1.txt"));
    EXPECT_EQ(ToNativePath(w + "LATE.TXT"), tmp.Native("Late.txt"));

    // New names in a folder of hundreds: a stat of the name, one of the folder, no read.
    const TFsCallCounts start = FsCallCounts();
    for (int i = 0; i < 100; ++i) ToNativePath(w + "NEW" + std::to_string(i) + ".TXT");
    const TFsCallCounts spent = FsCallCounts() - start;
    EXPECT_EQ(spent.FolderReads, 0u);
    EXPECT_LE(spent.Total(), 200u);
}

// Every change through the file-system calls reaches the observer before it is made, with each name
// it changes; opens that only read do not.
TEST(PathsTest, ChangesReachTheObserverBeforeTheyAreMade) {
    TempFolder tmp;
    const std::string a = tmp.Native("a"), b = tmp.Native("b"), c = tmp.Native("c"), d = tmp.Native("d");
    WriteNative(a, "x");
    static std::vector<std::string> seen;  // call, name, and "+" when the name existed at that moment
    const timespec keep[2] = {{0, UTIME_OMIT}, {0, UTIME_OMIT}};
    std::string pattern = tmp.Native("tXXXXXX");
    int unnamed = -1;
    const int folder = sys::Open(tmp.Native("").c_str(), O_RDONLY | O_DIRECTORY);
    const std::vector<std::pair<std::function<void()>, std::vector<std::string>>> cases = {
        {[&] { close(sys::Open(a.c_str(), O_RDONLY)); }, {}},
        {[&] { close(sys::Open(a.c_str(), O_RDWR)); }, {"open " + a + " +"}},
        {[&] { close(sys::Open(b.c_str(), O_WRONLY | O_CREAT, 0600)); }, {"open " + b + " -"}},
        {[&] { sys::Unlink(b.c_str()); }, {"unlink " + b + " +"}},
        {[&] { sys::Chmod(a.c_str(), 0644); }, {"chmod " + a + " +"}},
        {[&] { sys::SetTimes(a.c_str(), keep); }, {"utimensat " + a + " +"}},
        {[&] { sys::Link(a.c_str(), b.c_str()); }, {"link " + a + " +", "link " + b + " -"}},
        {[&] { sys::Rename(b.c_str(), c.c_str()); }, {"rename " + b + " +", "rename " + c + " -"}},
        {[&] { sys::RenameNoReplace(c.c_str(), b.c_str()); }, {"rename " + c + " +", "rename " + b + " -"}},
        {[&] { sys::MakeDir(d.c_str(), 0700); }, {"mkdir " + d + " -"}},
        {[&] { unnamed = sys::Open(d.c_str(), O_WRONLY | O_TMPFILE, 0600); }, {"open " + d + " +"}},
        {[&] { sys::LinkOpenFile(unnamed, AT_FDCWD, c.c_str()); close(unnamed); }, {"link " + c + " -"}},
        {[&] { sys::Unlink(c.c_str()); sys::RemoveDir(d.c_str()); }, {"unlink " + c + " +", "rmdir " + d + " +"}},
        {[&] { close(sys::MakeTemp(pattern.data(), 0)); }, {"mkostemp " + tmp.Native("tXXXXXX") + " -"}},
        {[&] { sys::Chown(a.c_str(), uid_t(-1), gid_t(-1)); }, {"chown " + a + " +"}},
        {[&] { close(sys::OpenAt(folder, "e", O_RDONLY)); }, {}},
        {[&] { close(sys::OpenAt(folder, "e", O_WRONLY | O_CREAT, 0600)); }, {"open @e -"}},
        {[&] { sys::RenameAt(folder, "e", "f"); }, {"rename @e +", "rename @f -"}},
        {[&] { sys::MakeDirAt(folder, "g", 0700); }, {"mkdir @g -"}},
        {[&] { sys::UnlinkAt(folder, "f"); }, {"unlink @f +"}},
    };
    const TFsChangeObserver before = SetFsChangeObserver([](const TFsChange& change) {
        struct stat st;
        const bool exists = ::fstatat(change.DirFd, change.Path, &st, AT_SYMLINK_NOFOLLOW) == 0;
        seen.push_back(std::string(change.Call) + (change.DirFd == AT_FDCWD ? " " : " @") + change.Path +
                       (exists ? " +" : " -"));
    });
    for (const auto& [call, expected] : cases) {
        seen.clear();
        call();
        EXPECT_EQ(seen, expected);
    }
    SetFsChangeObserver(before);
    close(folder);
}

#ifndef __has_feature
#define __has_feature(x) 0
#endif
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
constexpr bool kSanitizedAllocator = true;
#else
constexpr bool kSanitizedAllocator = false;
#endif

// Runs change in another process and waits for it to end; one stuck for a minute fails.
void InAnotherProcess(const std::function<void()>& change) {
    ASSERT_EQ(rtltest::ExitCodeOf([&] {
        alarm(60);
        change();
        return 0;
    }), 0);
}

// Another process changes an indexed folder, then this one writes a name that exists as given (so
// no look-up comes between): the look-ups after that see the other's change, and never answer from
// the folder that was there before.
TEST_P(CaseBlindIndex, SeesChangesOfAnotherProcessAmongOurOwn) {
    namespace fs = std::filesystem;
    struct Case {
        const char* what;
        std::function<void(const fs::path& sub)> elsewhere;
        const char* ours;  // the name this process then writes
        std::vector<std::pair<const char*, const char*>> lookUps;  // as given -> as on disk
    };
    const Case cases[] = {
        {"a case variant made", [](const fs::path& sub) { WriteNative(sub / "Other.TXT", "theirs"); }, "Old.txt",
         {{"OTHER.txt", "Other.TXT"}}},
        {"a name renamed", [](const fs::path& sub) { fs::rename(sub / "Was.txt", sub / "Now.TXT"); }, "Old.txt",
         {{"now.txt", "Now.TXT"}, {"WAS.TXT", "WAS.TXT"}}},
        {"a name removed", [](const fs::path& sub) { fs::remove(sub / "Gone.txt"); }, "Old.txt",
         {{"GONE.txt", "GONE.txt"}}},
        {"a name made, the folder's times then set back as archivers do",
         [](const fs::path& sub) {
             const auto before = fs::last_write_time(sub);
             WriteNative(sub / "Other.TXT", "");
             fs::last_write_time(sub, before);
         },
         "Old.txt", {{"OTHER.txt", "Other.TXT"}}},
        {"a forked copy of this process that looks the name up too",
         [](const fs::path& sub) {
             WriteNative(sub / "Child.TXT", "");
             if (ToNativePath(FromNativePath(sub.string()) + "\\child.txt") != (sub / "Child.TXT").string())
                 throw std::runtime_error("the forked process missed its own name");
         },
         "Old.txt", {{"CHILD.txt", "Child.TXT"}}},
        {"more changes than the kernel's queue holds",
         [](const fs::path& sub) {
             std::ifstream limit("/proc/sys/fs/inotify/max_queued_events");
             int events = 0;
             limit >> events;
             // Each rename queues two events.
             for (int i = 0; i <= events / 2; ++i)
                 fs::rename(sub / (i % 2 ? "Was2.txt" : "Was.txt"), sub / (i % 2 ? "Was.txt" : "Was2.txt"));
             WriteNative(sub / "Other.TXT", "");
         },
         "Old.txt", {{"OTHER.txt", "Other.TXT"}}},
        {"the folder renamed away and made anew",
         [](const fs::path& sub) {
             fs::rename(sub, sub.string() + ".away");
             WriteNative(sub / "New.TXT", "");
         },
         "New.TXT", {{"NEW.txt", "New.TXT"}, {"OLD.TXT", "OLD.TXT"}}},
        {"the folder removed and made anew",
         [](const fs::path& sub) {
             fs::remove_all(sub);
             WriteNative(sub / "New.TXT", "");
         },
         "New.TXT", {{"NEW.txt", "New.TXT"}, {"OLD.TXT", "OLD.TXT"}}},
    };
    for (const Case& c : cases) {
        TempFolder tmp;
        for (const char* name : {"Old.txt", "Gone.txt", "Was.txt"}) WriteNative(tmp.Native("Sub/") + name, "");
        const std::string sub = tmp.Win() + "Sub\\";
        ASSERT_EQ(ToNativePath(sub + "OLD.TXT"), tmp.Native("Sub/Old.txt"));
        InAnotherProcess([&] { c.elsewhere(tmp.Native("Sub")); });
        WriteFileBytes(sub + c.ours, "ours");
        for (const auto& [lookUp, expected] : c.lookUps)
            EXPECT_EQ(ToNativePath(sub + lookUp), tmp.Native("Sub/") + expected) << c.what << ": " << lookUp;
    }
}

// Another process adds names to a folder while this one keeps writing into it: once it is done,
// every one of them is found, however its changes and ours interleaved (in a folder trusted by its
// stamp, once our changes have paused).
TEST_P(CaseBlindIndex, MissesNoNameMadeElsewhereWhileWeWrite) {
    TempFolder tmp;
    const std::string w = tmp.Win();
    WriteFileBytes(w + "Ours.txt", "");
    ASSERT_EQ(ToNativePath(w + "OURS.TXT"), tmp.Native("Ours.txt"));
    constexpr int kTheirs = 300;
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        for (int i = 0; i < kTheirs; ++i) {
            const std::string name = tmp.Native("Theirs" + std::to_string(i) + ".TXT");
            const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            if (fd < 0) _exit(1);
            close(fd);
        }
        _exit(0);
    }
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) WriteFileBytes(w + "Ours.txt", "x");
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    WriteFileBytes(w + "Ours.txt", "x");
    if (!GetParam()) std::this_thread::sleep_for(std::chrono::milliseconds(150));
    int missed = 0;
    for (int i = 0; i < kTheirs; ++i) {
        const std::string name = "Theirs" + std::to_string(i) + ".TXT";
        missed += ToNativePath(w + "theirs" + std::to_string(i) + ".txt") != tmp.Native(name);
    }
    EXPECT_EQ(missed, 0);
}

// Work that cycles over many folders, a name in each in turn, reads each folder once: the index is
// bounded by the names it holds, not by the number of folders.
TEST_P(CaseBlindIndex, ReadsEachOfManyFoldersOnceInAnyOrder) {
    struct Case {
        int folders;
        int rounds;
    };
    for (const Case c : {Case{50, 20}, Case{1000, 2}}) {
        TempFolder tmp;
        for (int f = 0; f < c.folders; ++f) std::filesystem::create_directory(tmp.Native("F" + std::to_string(f)));
        const TFsCallCounts before = FsCallCounts();
        for (int r = 0; r < c.rounds; ++r) {
            for (int f = 0; f < c.folders; ++f) {
                const int fd = OpenFile(tmp.Win() + "f" + std::to_string(f) + "\\n" + std::to_string(r),
                                        O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
                ASSERT_GE(fd, 0);
                close(fd);
            }
        }
        EXPECT_EQ((FsCallCounts() - before).FolderReads, c.folders + 1u) << c.folders;  // and their parent
    }
}

// Watches this process holds, as the kernel lists them.
size_t KernelWatches() {
    size_t watches = 0;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(fd.path(), error) != "anon_inode:inotify") continue;
        std::ifstream info("/proc/self/fdinfo/" + fd.path().filename().string());
        for (std::string line; std::getline(info, line);) watches += line.rfind("inotify wd:", 0) == 0;
    }
    return watches;
}

// The cap: at most 4096 watches and an eighth of the user's allowance, lowered by the variable.
TEST(PathsTest, CaseBlindIndexWatchCap) {
    size_t allowance = 0;
    std::ifstream("/proc/sys/fs/inotify/max_user_watches") >> allowance;
    const size_t cap = std::min<size_t>(4096, allowance / 8);
    for (const auto& [variable, expected] : {std::pair<const char*, size_t>{nullptr, cap}, {"3", std::min<size_t>(3, cap)},
                                             {"100000", cap}, {"", 0}, {"some", 0}}) {
        variable ? setenv("TOME_FOLDER_WATCHES", variable, 1) : unsetenv("TOME_FOLDER_WATCHES");
        EXPECT_EQ(folderindex::DefaultLimits().watches, expected) << (variable ? variable : "unset");
    }
    unsetenv("TOME_FOLDER_WATCHES");
}

// Look-ups in more folders than the cap leave at most the cap's watches; one beyond it sees others' changes.
TEST_P(CaseBlindIndex, WatchesNoMoreFoldersThanTheCap) {
    const size_t cap = std::min<size_t>(Limits().watches, 20);
    folderindex::ResetForTests({cap, Limits().bytes});
    TempFolder tmp;
    auto folder = [&](size_t f) { return tmp.Win() + "F" + std::to_string(f) + "\\"; };
    for (size_t f = 0; f < cap + 20; ++f) ASSERT_TRUE(CreateDir(folder(f)));
    for (size_t f = 0; f < cap + 20; ++f) EXPECT_EQ(ToNativePath(folder(f) + "X"), ToNativePath(folder(f)) + "X");
    EXPECT_LE(KernelWatches(), cap);
    const std::string last = ToNativePath(folder(cap + 19));
    InAnotherProcess([&] { WriteNative(last + "New.TXT", ""); });
    EXPECT_EQ(ToNativePath(folder(cap + 19) + "new.txt"), last + "New.TXT");
}

// The budget holds when an index grows by changes too: the least recently used goes, with its watch.
TEST_P(CaseBlindIndex, KeepsToTheBudgetWhenIndexesGrowByChanges) {
    TempFolder tmp;
    for (int i = 0; i < 30; ++i) WriteNative(tmp.Native("B/b" + std::to_string(i)), "");
    std::filesystem::create_directory(tmp.Native("A"));
    auto lookUpBoth = [&] { ToNativePath(tmp.Win() + "B\\X"), ToNativePath(tmp.Win() + "A\\X"); };
    lookUpBoth();
    const size_t both = folderindex::UsageForTests().bytes;
    folderindex::ResetForTests({Limits().watches, both});
    lookUpBoth();
    for (int i = 0; i < 20; ++i)
        close(OpenFile(tmp.Win() + "A\\n" + std::to_string(i), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    ToNativePath(tmp.Win() + "A\\X");
    EXPECT_LE(folderindex::UsageForTests().bytes, both);
    EXPECT_LE(KernelWatches(), std::min<size_t>(Limits().watches, 1));
}

// A large folder is read outside the lock: meanwhile a look-up in another folder answers, a name made
// is found afterwards, and a forked child looks names up in both folders.
TEST_P(CaseBlindIndex, ReadsALargeFolderWithoutHoldingUpOthers) {
    TempFolder tmp;
    std::filesystem::create_directory(tmp.Native("Big"));
    const std::string longName = "Big/" + std::string(200, 'n');
    for (int i = 0; i < 10000; ++i) ASSERT_EQ(symlink("x", (tmp.Native(longName) + std::to_string(i)).c_str()), 0);
    WriteNative(tmp.Native("Small/Old.txt"), "");
    const std::string small = tmp.Win() + "Small\\old.TXT";
    auto late = [&](int i) { return ToNativePath(tmp.Win() + "Big\\LATE" + std::to_string(i) + ".txt"); };
    ASSERT_EQ(ToNativePath(small), tmp.Native("Small/Old.txt"));
    const uint64_t reads = FsCallCounts().FolderReads;
    std::atomic<bool> done{false};
    std::thread reader([&] { ToNativePath(tmp.Win() + "Big\\N"), done = true; });
    while (FsCallCounts().FolderReads == reads) std::this_thread::yield();
    for (int i = 0; i < 20; ++i) WriteNative(tmp.Native("Big/Late" + std::to_string(i) + ".TXT"), "");
    int answered = 0;  // one at most, were the read holding the others up
    for (; !done && answered < 10; ++answered) ASSERT_EQ(ToNativePath(small), tmp.Native("Small/Old.txt"));
    EXPECT_EQ(answered, 10);
    // The sanitizer's allocator has no fork handlers: a child forked mid-allocation would hang.
    if (!kSanitizedAllocator)
        InAnotherProcess([&] {
            if (ToNativePath(small) != tmp.Native("Small/Old.txt") || late(0) != tmp.Native("Big/Late0.TXT"))
                throw std::runtime_error("the forked process missed a name");
        });
    reader.join();
    for (int i = 0; i < 20; ++i) EXPECT_EQ(late(i), tmp.Native("Big/Late" + std::to_string(i) + ".TXT"));
}

TEST(PathsTest, ExistenceTests) {
    TempFolder tmp;
    WriteNative(tmp.Native("file.txt"), "abc");
    std::filesystem::create_directory(tmp.Native("dir"));
    std::filesystem::create_symlink(tmp.Native("file.txt"), tmp.Native("link.txt"));
    EXPECT_TRUE(FileExists(tmp.Win() + "file.txt"));
    EXPECT_TRUE(FileExists(tmp.Win() + "link.txt"));
    EXPECT_FALSE(FileExists(tmp.Win() + "dir"));
    EXPECT_FALSE(FileExists(tmp.Win() + "none"));
    EXPECT_FALSE(FileExists(""));
    EXPECT_TRUE(DirectoryExists(tmp.Win() + "DIR"));
    EXPECT_TRUE(DirectoryExists(tmp.Win() + "dir\\"));
    EXPECT_FALSE(DirectoryExists(tmp.Win() + "file.txt"));
    EXPECT_EQ(FileSizeOf(tmp.Win() + "FILE.TXT"), 3);
    EXPECT_EQ(FileSizeOf(tmp.Win() + "none"), -1);
}

TEST(PathsTest, CopyFileKeepsModeAndHonoursFailIfExists) {
    TempFolder tmp;
    WriteNative(tmp.Native("src.sh"), "#!/bin/sh\n");
    chmod(tmp.Native("src.sh").c_str(), 0750);
    WriteNative(tmp.Native("old.txt"), "old");

    EXPECT_TRUE(CopyFile(tmp.Win() + "SRC.SH", tmp.Win() + "copy.sh", true));
    EXPECT_EQ(ReadNative(tmp.Native("copy.sh")), "#!/bin/sh\n");
    struct stat st;
    ASSERT_EQ(stat(tmp.Native("copy.sh").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u);
    EXPECT_EQ(FileAge(tmp.Win() + "copy.sh"), FileAge(tmp.Win() + "src.sh"));

    EXPECT_FALSE(CopyFile(tmp.Win() + "src.sh", tmp.Win() + "old.txt", true));
    EXPECT_EQ(ReadNative(tmp.Native("old.txt")), "old");
    EXPECT_TRUE(CopyFile(tmp.Win() + "src.sh", tmp.Win() + "OLD.TXT", false));
    EXPECT_EQ(ReadNative(tmp.Native("old.txt")), "#!/bin/sh\n");

    EXPECT_FALSE(CopyFile(tmp.Win() + "missing", tmp.Win() + "x", false));
    EXPECT_FALSE(CopyFile(tmp.Win() + "src.sh", tmp.Win() + "no-dir\\x", false));
    // No temporary file is left behind.
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(tmp.Native())) names.insert(e.path().filename());
    EXPECT_EQ(names, (std::set<std::string>{"copy.sh", "old.txt", "src.sh"}));
}

TEST(PathsTest, CopyDeleteAndRenameRespectReadOnlyAndExistingTargets) {
    TempFolder tmp;
    WriteNative(tmp.Native("a.txt"), "a");
    WriteNative(tmp.Native("b.txt"), "b");
    WriteNative(tmp.Native("ro.txt"), "ro");
    ASSERT_EQ(FileSetAttr(tmp.Win() + "ro.txt", faReadOnly), 0);

    EXPECT_FALSE(CopyFile(tmp.Win() + "a.txt", tmp.Win() + "ro.txt", false));
    EXPECT_FALSE(DeleteFile(tmp.Win() + "ro.txt"));
    EXPECT_TRUE(NativeExists(tmp.Native("ro.txt")));

    EXPECT_FALSE(RenameFile(tmp.Win() + "a.txt", tmp.Win() + "B.TXT"));
    EXPECT_EQ(ReadNative(tmp.Native("b.txt")), "b");
    EXPECT_TRUE(RenameFile(tmp.Win() + "A.TXT", tmp.Win() + "c.txt"));
    EXPECT_TRUE(NativeExists(tmp.Native("c.txt")));
    EXPECT_FALSE(NativeExists(tmp.Native("a.txt")));

    EXPECT_TRUE(DeleteFile(tmp.Win() + "C.txt"));
    EXPECT_FALSE(DeleteFile(tmp.Win() + "c.txt"));
    std::filesystem::create_directory(tmp.Native("dir"));
    EXPECT_FALSE(DeleteFile(tmp.Win() + "dir"));
}

TEST(PathsTest, FolderCreationAndRemoval) {
    TempFolder tmp;
    EXPECT_TRUE(ForceDirectories(tmp.Win() + Ru("один\\два\\три\\")));
    EXPECT_TRUE(std::filesystem::is_directory(tmp.Native("один/два/три")));
    EXPECT_TRUE(ForceDirectories(tmp.Win() + Ru("ОДИН\\два")));  // already there, other case
    EXPECT_FALSE(CreateDir(tmp.Win() + Ru("один")));
    EXPECT_TRUE(CreateDir(tmp.Win() + "new"));
    EXPECT_FALSE(RemoveDir(tmp.Win() + Ru("один")));  // not empty
    EXPECT_TRUE(RemoveDir(tmp.Win() + Ru("один\\ДВА\\три")));
    EXPECT_FALSE(DirectoryExists(tmp.Win() + Ru("один\\два\\три")));
    WriteNative(tmp.Native("file"), "");
    EXPECT_FALSE(ForceDirectories(tmp.Win() + "file\\sub"));
}

TEST(PathsTest, FileDatesAsDosDateTime) {
    TempFolder tmp;
    WriteNative(tmp.Native("f.txt"), "x");
    int32_t when = DateTimeToFileDate(EncodeDate(2021, 6, 15) + EncodeTime(13, 45, 30, 0));
    EXPECT_EQ(FileSetDate(tmp.Win() + "F.TXT", when), 0);
    EXPECT_EQ(FileAge(tmp.Win() + "f.txt"), when);
    // Years from 2044 on set the sign bit of the value; they must survive the round trip.
    int32_t late = DateTimeToFileDate(EncodeDate(2050, 12, 31) + EncodeTime(23, 59, 58, 0));
    EXPECT_LT(late, 0);
    EXPECT_EQ(FileSetDate(tmp.Win() + "f.txt", late), 0);
    EXPECT_EQ(FileAge(tmp.Win() + "f.txt"), late);

    EXPECT_EQ(FileAge(tmp.Win() + "missing"), -1);
    EXPECT_NE(FileSetDate(tmp.Win() + "missing", when), 0);
    EXPECT_NE(FileSetDate(tmp.Win() + "f.txt", 0), 0);  // month 0: not a date
}

TEST(PathsTest, Attributes) {
    TempFolder tmp;
    WriteNative(tmp.Native("plain.txt"), "");
    WriteNative(tmp.Native(".hidden"), "");
    std::filesystem::create_directory(tmp.Native("dir"));
    std::filesystem::create_directory_symlink(tmp.Native("dir"), tmp.Native("dirlink"));
    EXPECT_EQ(FileGetAttr(tmp.Win() + "plain.txt"), 0);
    EXPECT_EQ(FileGetAttr(tmp.Win() + ".HIDDEN"), faHidden);
    EXPECT_EQ(FileGetAttr(tmp.Win() + "dir"), faDirectory);
    EXPECT_EQ(FileGetAttr(tmp.Win() + "dirlink"), faDirectory | faSymLink);
    EXPECT_EQ(FileGetAttr(tmp.Win() + "missing"), -1);

    EXPECT_EQ(FileSetAttr(tmp.Win() + "plain.txt", faReadOnly), 0);
    EXPECT_EQ(FileGetAttr(tmp.Win() + "plain.txt"), faReadOnly);
    struct stat st;
    ASSERT_EQ(stat(tmp.Native("plain.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    EXPECT_EQ(FileSetAttr(tmp.Win() + "plain.txt", 0), 0);
    EXPECT_EQ(FileGetAttr(tmp.Win() + "plain.txt"), 0);
}

TEST(PathsTest, NameParts) {
    EXPECT_EQ(ExtractFilePath("C:\\book\\data\\page.html"), "C:\\book\\data\\");
    EXPECT_EQ(ExtractFilePath("/opt/book/x"), "/opt/book/");
    EXPECT_EQ(ExtractFilePath("C:x"), "C:");
    EXPECT_EQ(ExtractFilePath("name"), "");
    EXPECT_EQ(ExtractFileDir("\\opt\\book\\x"), "\\opt\\book");
    EXPECT_EQ(ExtractFileDir("\\x"), "\\");
    EXPECT_EQ(ExtractFileDir("C:\\x"), "C:\\");
    EXPECT_EQ(ExtractFileName("a\\b/c.txt"), "c.txt");
    EXPECT_EQ(ExtractFileExt("dir.d\\name"), "");
    EXPECT_EQ(ExtractFileExt("page.tar.GZ"), ".GZ");
    EXPECT_EQ(ExtractFileExt("\\x\\.hidden"), ".hidden");
    EXPECT_EQ(ExtractFileDrive("C:\\book"), "C:");
    EXPECT_EQ(ExtractFileDrive("\\\\server\\share\\dir\\f"), "\\\\server\\share");
    EXPECT_EQ(ExtractFileDrive("\\opt\\book"), "");
    EXPECT_EQ(ChangeFileExt("a.b\\page.html", ".tmp"), "a.b\\page.tmp");
    EXPECT_EQ(ChangeFileExt("a.b\\page", ".tmp"), "a.b\\page.tmp");
    EXPECT_EQ(ChangeFileExt("page.html", ""), "page");
    EXPECT_EQ(IncludeTrailingBackslash("\\opt"), "\\opt\\");
    EXPECT_EQ(IncludeTrailingBackslash("/opt/"), "/opt/");
    EXPECT_EQ(IncludeTrailingBackslash(""), "\\");
    EXPECT_EQ(ExcludeTrailingBackslash("\\opt\\"), "\\opt");
    EXPECT_EQ(ExcludeTrailingBackslash("/opt/"), "/opt");
}

TEST(PathsTest, TemporaryNames) {
    TempFolder tmp;
    rtltest::EnvGuard env("TMPDIR", tmp.Native());
    EXPECT_EQ(GetTempDir(), tmp.Win());

    std::string first = GetTempFileName("", "FC");
    std::string second = GetTempFileName(ExcludeTrailingBackslash(tmp.Win()), "FC");
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_NE(first, second);
    for (const std::string& name : {first, second}) {
        EXPECT_EQ(ExtractFilePath(name), tmp.Win());
        std::string file = ExtractFileName(name);
        ASSERT_EQ(file.size(), 2 + 4 + 4u) << file;
        EXPECT_EQ(file.substr(0, 2), "FC");
        EXPECT_EQ(file.find_first_not_of("0123456789ABCDEF", 2), 6u);
        EXPECT_EQ(file.substr(6), ".tmp");
        EXPECT_EQ(FileSizeOf(name), 0);
    }
    // Only three characters of the prefix are used, as on the platform.
    std::string third = ExtractFileName(GetTempFileName("", "ABCDE"));
    EXPECT_EQ(third.size(), 3 + 4 + 4u);
    EXPECT_EQ(third.substr(0, 3), "ABC");
    EXPECT_EQ(GetTempFileName(tmp.Win() + "missing", "FC"), "");
}

TEST(PathsTest, ProgramFolder) {
    std::string folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.front(), '\\');
    EXPECT_EQ(folder.back(), '\\');
    EXPECT_EQ(ExtractFilePath(ParamStr0()), folder);
    EXPECT_EQ(ExtractFileName(ParamStr0()), "rtl_system_tests");
    SetProgramFolderForTests("\\opt\\book");
    EXPECT_EQ(ProgramFolder(), "\\opt\\book\\");
    SetProgramFolderForTests("");
    EXPECT_EQ(ProgramFolder(), folder);
}
