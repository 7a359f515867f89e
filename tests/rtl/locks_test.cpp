#include "platform/rtl/locks.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "tests/rtl/readonly_place.h"
#include "tests/rtl/system_fixture.h"

using namespace rtl;
using rtltest::ReadNative;

namespace {

// A child process that runs `hold`, reports "ready" through a pipe and then waits until the parent
// closes its end (or kills it).
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

}  // namespace

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
    holder.Stop();
    ASSERT_TRUE(mine.Open(name));
    EXPECT_EQ(ReadNative(tmp.Native("started.dat")), "");

    mine.Close();
    Holder killed([&] { return (new THeldFile)->Open(name); });
    ASSERT_TRUE(killed.Holding());
    EXPECT_FALSE(mine.Open(name));
    killed.Kill();  // a dead holder leaves no lock behind
    EXPECT_TRUE(mine.Open(name));
}

TEST(NamedMutexTest, OneHolderAtATime) {
    rtltest::TempFolder tmp;
    rtltest::EnvGuard env("XDG_RUNTIME_DIR", tmp.Native());
    const std::string name = "orbel_lumen";
    EXPECT_EQ(TNamedMutex::LockFileName(name), tmp.Native("tome-mutex-orbel_lumen.lock"));
    EXPECT_FALSE(TNamedMutex::OpenExisting(name));

    TNamedMutex mutex;
    ASSERT_TRUE(mutex.Create(name));
    EXPECT_TRUE(mutex.IsHeld());
    EXPECT_TRUE(TNamedMutex::OpenExisting(name));
    EXPECT_FALSE(TNamedMutex::OpenExisting("other"));

    Holder child([&] {
        TNamedMutex second;
        return TNamedMutex::OpenExisting(name) && !second.Create(name);
    });
    EXPECT_TRUE(child.Holding());
    child.Stop();

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

TEST(NamedMutexTest, AnyNameGivesAPlainFileInThePrivateFolder) {
    rtltest::EnvGuard env("XDG_RUNTIME_DIR", "");
    std::string file = TNamedMutex::LockFileName(std::string("Global\\../x y") + Ru("я"));
    std::string folder = "/tmp/tome-" + std::to_string(getuid());
    ASSERT_EQ(file.substr(0, folder.size() + 1), folder + "/");
    EXPECT_EQ(file.substr(folder.size() + 1), "tome-mutex-Global%5C..%2Fx%20y%FF.lock");
    struct stat st;
    ASSERT_EQ(stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);

    std::string longName(400, 'n');
    std::string longFile = TNamedMutex::LockFileName(longName);
    EXPECT_LT(longFile.size() - folder.size(), 255u);
    EXPECT_NE(longFile, TNamedMutex::LockFileName(longName + "2"));
    TNamedMutex mutex;
    EXPECT_TRUE(mutex.Create(longName));
}

// ---- places that cannot be written ----

// A book folder, a runtime folder and a fallback base of the test's own.
class GuardPlacesTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"book", "run", "tmp"}) std::filesystem::create_directories(tmp.Native(folder));
    }
    std::string Guard() const { return tmp.Win() + "book\\started.dat"; }

    rtltest::TempFolder tmp;
    rtltest::EnvGuard run{"XDG_RUNTIME_DIR", tmp.Native("run")};
    rtltest::EnvGuard fallback{"TMPDIR", tmp.Native("tmp")};
};

TEST_F(GuardPlacesTest, AFolderThatCannotBeWrittenHasItsGuardInTheRuntimeFolder) {
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
    // Another user, who may only read started.dat, meets its holder by a read-only probe; and once
    // it holds the file shared, the holder's next start meets it.
    rtltest::ReadOnlyPlace file(tmp.Native("book/started.dat"));
    ASSERT_TRUE(file.Usable());
    std::optional<rtltest::EnvGuard> otherUser(std::in_place, "XDG_RUNTIME_DIR", tmp.Native("tmp"));
    EXPECT_EQ(second.Open(Guard()), TGuardResult::HeldElsewhere);
    third.Close();
    ASSERT_EQ(second.Open(Guard()), TGuardResult::Held);
    file.Release();
    otherUser.reset();
    EXPECT_EQ(third.Open(Guard()), TGuardResult::HeldElsewhere);
}

TEST_F(GuardPlacesTest, NowhereToHoldIsToldApartFromAnotherHolder) {
    rtltest::ReadOnlyPlace book(tmp.Native("book")), run(tmp.Native("run")), fallback(tmp.Native("tmp"));
    if (!book.Usable() || !run.Usable() || !fallback.Usable()) GTEST_SKIP() << "a folder cannot be made read-only here";
    TInstanceGuard guard;
    EXPECT_EQ(guard.Open(Guard()), TGuardResult::NowhereToHold);
    EXPECT_FALSE(guard.IsOpen());
    TNamedMutex mutex;
    EXPECT_FALSE(mutex.Create("orbel_lumen"));
    EXPECT_FALSE(mutex.AlreadyExists());
    // With only the fallback usable the mutex lives there, and a holder that sees the runtime
    // folder usable again still meets it.
    fallback.Release();
    ASSERT_TRUE(mutex.Create("orbel_lumen"));
    run.Release();
    TNamedMutex second;
    EXPECT_FALSE(second.Create("orbel_lumen"));
    EXPECT_TRUE(second.AlreadyExists());
    EXPECT_TRUE(TNamedMutex::OpenExisting("orbel_lumen"));
}

// Whatever stands at the guard's name is neither waited on, nor followed, nor emptied.
TEST_F(GuardPlacesTest, AGuardNameThatIsNoFileLeavesTheGuardToTheRuntimeFolder) {
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
