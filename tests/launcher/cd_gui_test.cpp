// The CD image as a reader meets it, under X with a window manager: a copy of build/cd anywhere,
// the book's viewer run there once (it records its folder), then the launcher started from the
// copy shows its menu, and a click on its run row starts the book's viewer, maximized.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/rtl/paths.h"
#include "platform/rtl/registry.h"
#include "tests/gui/gui_env.h"
#include "tests/gui/screen.h"
#include "tests/gui/x_clients.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

const std::string kCd = TOME_CD_DIR;
constexpr uint32_t kSkinGround = 0xE9EFF2;  // the sample skin's BACKGROUND_color

pid_t Start(const std::string& program) {
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t pid = 0;
    return posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) == 0 ? pid : 0;
}

std::string InstallPath() {
    rtl::TRegistry registry;
    registry.RootKey = rtl::HKEY_LOCAL_MACHINE;
    return registry.OpenKeyReadOnly("\\Software\\orbel_lumen") ? registry.ReadString("PATH") : std::string();
}

// Ends a program this test started (directly or through the launcher) and waits until it is gone.
void End(pid_t pid) {
    if (pid <= 0 || kill(pid, SIGTERM) != 0) return;
    guitest::WaitUntil([pid] { return waitpid(pid, nullptr, WNOHANG) == pid || kill(pid, 0) != 0; }, 5000);
    if (kill(pid, 0) == 0) kill(pid, SIGKILL), waitpid(pid, nullptr, WNOHANG);
}

size_t Colours(const std::vector<uint32_t>& pixels) { return std::set<uint32_t>(pixels.begin(), pixels.end()).size(); }

TEST(CdGuiTest, LauncherOfACopiedCdStartsTheInstalledBookMaximized) {
    if (!fs::exists(kCd + "/installer")) GTEST_SKIP() << "build/cd is not assembled";
    REQUIRE_GUI();
    guitest::WindowManager wm;
    REQUIRE_WINDOW_MANAGER(wm);

    // A private copy, registry and runtime folder: nothing of the build tree or of the user's session
    // (the launcher's single-instance lock is the user's own, wherever the environment points).
    const std::string scratch = guitest::MakeScratchFolder("cd");
    const std::string cd = scratch + "cd/";
    fs::copy(kCd, cd, fs::copy_options::recursive);
    setenv("TOME_REGISTRY", (scratch + "registry").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", scratch.c_str(), 1);
    setenv("TOME_AUDIO_SINK", "fake", 1);
    unsetenv("TOME_RESOURCES");

    // The viewer records its folder when it starts.
    pid_t first = Start(cd + "book/book");
    ASSERT_GT(first, 0);
    EXPECT_TRUE(guitest::WaitUntil([] { return !InstallPath().empty(); }));
    End(first);
    EXPECT_EQ(InstallPath(), rtl::FromNativePath(cd + "book/"));

    pid_t launcher = Start(cd + "installer");
    ASSERT_GT(launcher, 0);
    std::optional<guitest::ClientWindow> menu;
    ASSERT_TRUE(guitest::WaitUntil([&] {
        menu = guitest::WindowOfProgram("installer");
        return menu && menu->Width == 399 && menu->Height == 299;
    })) << "the launcher shows no window";
    guitest::PumpFor(300);
    const std::vector<uint32_t> shot =
        guitest::GrabScreen(menu->Left, menu->Top, menu->Width, menu->Height, "launcher_cd_screenshot.png");
    EXPECT_GT(Colours(shot), 16u) << "the menu's pictures are not shown";

    guitest::ClickScreen(menu->Left + 100, menu->Top + 94);  // the run row
    int status = -1;
    EXPECT_TRUE(guitest::WaitUntil([&] { return waitpid(launcher, &status, WNOHANG) == launcher; }))
        << "the launcher did not close";
    std::optional<guitest::ClientWindow> viewer;
    const bool maximized = guitest::WaitUntil([&] {
        viewer = guitest::WindowOfProgram("book");
        return viewer && viewer->Maximized && viewer->Width > 1000;
    });
    EXPECT_TRUE(maximized) << (viewer ? "the book's window is not maximized" : "the run row started no book");
    if (viewer) {
        // The page grows with the window: near its bottom the browser shows, not the skin's ground.
        const int x = viewer->Left + viewer->Width / 2, y = viewer->Top + viewer->Height - 60;
        EXPECT_TRUE(guitest::WaitUntil([&] { return guitest::GrabScreen(x, y, 1, 1) != std::vector<uint32_t>{kSkinGround}; }))
            << "the browser kept its normal size";
        // The first page's text across the top of the browser.
        EXPECT_TRUE(guitest::WaitUntil([&] {
            return Colours(guitest::GrabScreen(viewer->Left, viewer->Top + 160, viewer->Width, 40)) > 16;
        })) << "no page is shown";
        guitest::GrabScreen(viewer->Left, viewer->Top, viewer->Width, viewer->Height, "viewer_maximized_screenshot.png");
        End(viewer->Pid);
    }
    End(launcher);
    unsetenv("TOME_AUDIO_SINK");
    unsetenv("TOME_REGISTRY");
    guitest::RemoveScratchFolder(scratch);
}

}  // namespace
