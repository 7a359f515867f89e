#include "platform/rtl/locks.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "tests/rtl/child_process.h"
#include "tests/rtl/readonly_place.h"
#include "tests/rtl/system_fixture.h"

using namespace rtl;
using rtltest::Holder;
using rtltest::kOtherUser;
using rtltest::ReadNative;

TEST(HeldFileTest, SecondOpenerIsRefusedUntilTheFirstCloses) {
    rtltest::TempFolder tmp;
    std::string name = tmp.Win() + "started.dat";
    THeldFile first;
    ASSERT_TRUE(first.Open(name));
    EXPECT_TRUE(rtltest::NativeExists(tmp.Native("started.dat")));
    EXPECT_TRUE(fcntl(first.Handle(), F_GETFD) & FD_CLOEXEC);  // not inherited by started programs
    THeldFile second;
    EXPECT_FALSE(second.Open(tmp.Win() + "STARTED.DAT"));
    first.Close();
    EXPECT_TRUE(second.Open(name));
    EXPECT_FALSE(second.Open(tmp.Win() + "missing\\started.dat"));
    EXPECT_FALSE(second.IsOpen());
}

TEST(HeldFileTest, HeldByAnotherProcess) {
    rtltest::TempFolder tmp;
    std::string name = tmp.Win() + "started.dat";
    Holder holder([&] {
        THeldFile* held = new THeldFile;  // lives until the child ends
        return held->Open(name) && write(held->Handle(), "held", 4) == 4;
    });
    ASSERT_TRUE(holder.Holding());

    THeldFile mine;
    EXPECT_FALSE(mine.Open(name));
    EXPECT_EQ(ReadNative(tmp.Native("started.dat")), "held");  // a refused opener truncates nothing
    holder.Kill();  // a dead holder leaves no lock behind
    ASSERT_TRUE(mine.Open(name));
    EXPECT_EQ(ReadNative(tmp.Native("started.dat")), "");
}

// A book folder and a mutex name of the test's own; their lock files and the other user's folders go.
class LocksTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(tmp.Native("book")); }
    void TearDown() override {
        rtltest::RemoveMutexFiles(name);
        rtltest::RemoveOtherUsersFolders();
    }
    std::string Guard() const { return tmp.Win() + "book\\started.dat"; }

    rtltest::TempFolder tmp;
    const std::string name = "tome-test-" + std::to_string(getpid());
};

using NamedMutexTest = LocksTest;

TEST_F(NamedMutexTest, OneHolderAtATime) {
    EXPECT_FALSE(TNamedMutex::OpenExisting(name));
    TNamedMutex mutex;
    ASSERT_TRUE(mutex.Create(name));
    EXPECT_TRUE(mutex.IsHeld());
    EXPECT_TRUE(TNamedMutex::OpenExisting(name));
    EXPECT_FALSE(TNamedMutex::OpenExisting(name + "-other"));
    mutex.Close();
    EXPECT_FALSE(TNamedMutex::OpenExisting(name));
    Holder owner([&] { return (new TNamedMutex)->Create(name); });
    ASSERT_TRUE(owner.Holding());
    EXPECT_TRUE(TNamedMutex::OpenExisting(name));
    EXPECT_FALSE(mutex.Create(name));
    EXPECT_TRUE(mutex.AlreadyExists());
    owner.Kill();
    EXPECT_FALSE(TNamedMutex::OpenExisting(name));
    EXPECT_TRUE(mutex.Create(name));
}

TEST_F(NamedMutexTest, AnyNameGivesAPlainFileInAPrivateFolderOfTheUser) {
    std::string file = TNamedMutex::LockFileName(std::string("Global\\../x y") + Ru("я"));
    const std::string folder = file.substr(0, file.rfind('/')), uid = std::to_string(geteuid());
    EXPECT_TRUE(folder == "/run/user/" + uid || folder == "/tmp/tome-" + uid) << folder;
    EXPECT_EQ(file.substr(folder.size() + 1), "tome-mutex-Global%5C..%2Fx%20y%FF.lock");
    struct stat st;
    ASSERT_EQ(stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);

    std::string longName(400, 'n');
    std::string longFile = TNamedMutex::LockFileName(longName);
    EXPECT_LT(longFile.size() - folder.size(), 255u);
    EXPECT_NE(longFile, TNamedMutex::LockFileName(longName + "2"));
}

// ---- two processes of one book, or of one user, whatever their environments ----

// A process's environment (folders under the test's; nullptr: unset) and what else sets it apart.
struct Side {
    const char* runtime;
    const char* tmp;
    enum { Nothing, OtherUser, ReadOnlyMount, OwnPidNamespace } apart = Nothing;
};

TEST_F(LocksTest, ViewersOfOneBookAndLaunchersOfOneUserMeetWhateverTheirEnvironment) {
    chmod(tmp.Native().c_str(), 0755);  // the other user reaches the book
    for (const char* folder : {"ro", "run", "tmp1", "tmp2"}) std::filesystem::create_directories(tmp.Native(folder));
    rtltest::ReadOnlyMount ro(tmp.Native("ro"), tmp.Native("book"));
    rtltest::ReadOnlyPlace book(tmp.Native("book"));  // the viewers cannot write the book folder
    if (!book.Usable() || geteuid() != 0) GTEST_SKIP() << "needs root and a folder that can be made read-only";
    // In a child: takes on the side's environment, namespace and user.
    const auto become = [&](const Side& side) {
        for (auto [variable, folder] : {std::pair{"XDG_RUNTIME_DIR", side.runtime}, {"TMPDIR", side.tmp}}) {
            if (folder) setenv(variable, tmp.Native(folder).c_str(), 1);
            else unsetenv(variable);
        }
        return (side.apart != Side::OwnPidNamespace || rtltest::EnterOwnPidNamespace()) &&
               (side.apart != Side::OtherUser || rtltest::BecomeOtherUser());
    };
    // take(side): 1 when it took the lock, 0 when another holds it. a holds and b tries, then the other way.
    const auto expectMeeting = [&](const Side& a, const Side& b, bool meet, const auto& take) {
        const int secondGets = meet ? 0 : 1;
        Holder first([&] { return become(a) && take(a) == 1; });
        ASSERT_TRUE(first.Holding());
        EXPECT_TRUE(Holder([&] { return become(b) && take(b) == secondGets; }).Holding());
        first.Kill();  // the lock goes with its holder
        Holder second([&] { return become(b) && take(b) == 1; });
        EXPECT_TRUE(second.Holding());
        EXPECT_TRUE(Holder([&] { return become(a) && take(a) == secondGets; }).Holding());
    };
    const struct {
        const char* name;
        Side a, b;
    } rows[] = {
        {"with and without a runtime folder", {"run", nullptr}, {nullptr, nullptr}},
        {"different temporary folders", {nullptr, "tmp1"}, {nullptr, "tmp2"}},
        {"another user", {"run", nullptr}, {"run", nullptr, Side::OtherUser}},
        {"a read-only bind mount", {"run", nullptr}, {"run", nullptr, Side::ReadOnlyMount}},
        {"a process namespace of its own", {"run", nullptr}, {nullptr, "tmp1", Side::OwnPidNamespace}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.b.apart == Side::ReadOnlyMount && !ro.Usable()) continue;
        expectMeeting(row.a, row.b, true, [&](const Side& side) {
            const char* view = side.apart == Side::ReadOnlyMount ? "ro" : "book";
            const TGuardResult result = (new TInstanceGuard)->Open(FromNativePath(tmp.Native(view)) + "\\started.dat");
            return result == TGuardResult::Held ? 1 : result == TGuardResult::HeldElsewhere ? 0 : -1;
        });
        // The launcher's mutex is the user's: another user's launcher runs beside it.
        expectMeeting(row.a, row.b, row.b.apart != Side::OtherUser, [&](const Side&) {
            auto* mutex = new TNamedMutex;
            return mutex->Create(name) ? 1 : mutex->AlreadyExists() ? 0 : -1;
        });
    }
}

// ---- places that cannot be written ----

using GuardPlacesTest = LocksTest;

TEST_F(GuardPlacesTest, AFolderThatCannotBeWrittenHasItsGuardAllTheSame) {
    rtltest::ReadOnlyPlace book(tmp.Native("book"));
    if (!book.Usable()) GTEST_SKIP() << "a folder cannot be made read-only here";
    TInstanceGuard first, second, third;
    ASSERT_EQ(first.Open(Guard()), TGuardResult::Held);
    EXPECT_FALSE(rtltest::NativeExists(tmp.Native("book/started.dat")));
    EXPECT_EQ(second.Open(Guard()), TGuardResult::HeldElsewhere);
    // The folder becomes writable: a viewer that can make started.dat still meets the first.
    book.Release();
    EXPECT_EQ(third.Open(Guard()), TGuardResult::HeldElsewhere);
    first.Close();
    EXPECT_EQ(third.Open(Guard()), TGuardResult::Held);
    EXPECT_TRUE(rtltest::NativeExists(tmp.Native("book/started.dat")));
    // A viewer that may only read started.dat holds it shared: a writer who comes later meets it.
    third.Close();
    THeldFile reader;
    ASSERT_TRUE(reader.OpenShared(Guard()));
    EXPECT_EQ(third.Open(Guard()), TGuardResult::HeldElsewhere);
}

// A launcher that could hold the mutex only in the runtime folder (another took the user's folder
// under /tmp) is met by one that finds both folders usable.
TEST_F(GuardPlacesTest, AMutexThatMovesToTheRuntimeFolderIsMetThere) {
    const std::string user = std::to_string(kOtherUser), own = "/tmp/tome-" + user, runtime = "/run/user/" + user;
    if (geteuid() != 0 || mkdir(runtime.c_str(), 0700) != 0 || chown(runtime.c_str(), kOtherUser, kOtherUser) != 0)
        GTEST_SKIP() << "needs root and a runtime folder for another user";
    ASSERT_TRUE(std::filesystem::create_directory(own));  // root's, so not the user's
    Holder first([] { return rtltest::BecomeOtherUser() && (new TNamedMutex)->Create("orbel_lumen"); });
    ASSERT_TRUE(first.Holding());
    std::filesystem::remove(own);
    EXPECT_TRUE(Holder([] {
        TNamedMutex second;
        return rtltest::BecomeOtherUser() && !second.Create("orbel_lumen") && second.AlreadyExists();
    }).Holding());
}

// Whatever stands at the guard's name is neither waited on, nor followed, nor emptied.
TEST_F(GuardPlacesTest, AGuardNameThatIsNoFileLeavesTheGuardToTheFolderLock) {
    const std::string name = tmp.Native("book/started.dat");
    const std::string target = tmp.Native("target");
    rtltest::WriteNative(target, "keep");
    for (int kind = 0; kind < 3; ++kind) {  // a fifo, a link, a folder
        SCOPED_TRACE(kind);
        std::filesystem::remove(name);
        ASSERT_TRUE(kind == 0   ? mkfifo(name.c_str(), 0644) == 0
                    : kind == 1 ? symlink(target.c_str(), name.c_str()) == 0
                                : std::filesystem::create_directory(name));
        TInstanceGuard first, second;
        EXPECT_EQ(first.Open(Guard()), TGuardResult::Held);
        EXPECT_EQ(second.Open(Guard()), TGuardResult::HeldElsewhere);
        EXPECT_EQ(ReadNative(target), "keep");
    }
}
