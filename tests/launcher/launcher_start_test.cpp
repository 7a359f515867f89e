// Start-up of the menu: one launcher at a time, the rows offered by the registry, the browser
// gate, cursors and the drawn pictures.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/forms/application.h"
#include "platform/forms/bitmap.h"
#include "platform/forms/cursors.h"
#include "platform/forms/formdesc.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/locks.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/registry.h"
#include "tests/launcher/launcher_fixture.h"
#include "tests/rtl/child_process.h"

namespace launchertest {
namespace {

using launcher::Form1;

TEST_F(LauncherTest, SecondLauncherEndsAtOnceWithoutAWindow) {
    rtl::TNamedMutex first;
    ASSERT_TRUE(first.Create(mutexName_));
    EXPECT_EQ(Start(), 0);
    EXPECT_EQ(Form1, nullptr);
    EXPECT_TRUE(forms::Application().Forms().empty());
    EXPECT_TRUE(dialogs_.Log().empty());
}

TEST_F(LauncherTest, LauncherHoldsTheMutexWhileItRuns) {
    EXPECT_FALSE(rtl::TNamedMutex::OpenExisting(mutexName_));
    ASSERT_EQ(Start(), 0);
    ASSERT_NE(Form1, nullptr);
    EXPECT_TRUE(backend_->WindowOf(*Form1)->Visible);
    EXPECT_EQ(forms::Application().Title, rtl::Ru("Установка справочника"));
    rtl::TNamedMutex second;
    EXPECT_FALSE(second.Create(mutexName_));
    launcher::MutexHandle.Close();
    EXPECT_TRUE(second.Create(mutexName_));  // gone with its holder
}

// A user without a runtime folder, whose folder under /tmp another has taken, has nowhere to hold
// the mutex: the menu says why it does not open.
TEST_F(LauncherTest, NowhereToLockIsSaid) {
    if (geteuid() != 0) GTEST_SKIP() << "another user needs root";
    ASSERT_TRUE(std::filesystem::create_directory("/tmp/tome-" + std::to_string(rtltest::kOtherUser)));  // root's
    EXPECT_TRUE(rtltest::Holder([&] {
        return rtltest::BecomeOtherUser() && Start() == 1 && Form1 == nullptr && dialogs_.Log().size() == 1 &&
               dialogs_.Log().front().Text ==
                   rtl::Ru("Не удается запустить программу: нет доступа на запись во временную папку пользователя.");
    }).Holding());
}

#ifdef TOME_INSTALLER_PROGRAM
// Without a display the program can only end with 1 once it is past the single-instance check. It
// runs as a user of its own, whom no other launcher of the machine is in the way of.
TEST_F(LauncherTest, ProgramEndsSilentlyWhileAnotherRuns) {
    if (geteuid() != 0) GTEST_SKIP() << "another user needs root";
    std::string run = std::string("env -u DISPLAY -u WAYLAND_DISPLAY ") + TOME_INSTALLER_PROGRAM + " 2>/dev/null";
    const auto exitCode = [&] {
        return rtltest::ExitCodeOf([&] {
            return rtltest::BecomeOtherUser() ? execl("/bin/sh", "sh", "-c", run.c_str(), nullptr) : -1;
        });
    };
    EXPECT_EQ(exitCode(), 1);
    rtltest::Holder first([] { return rtltest::BecomeOtherUser() && (new rtl::TNamedMutex)->Create("orbel_lumen"); });
    ASSERT_TRUE(first.Holding());
    EXPECT_EQ(exitCode(), 0);
}
#endif

TEST_F(LauncherTest, WindowIsTheBorderlessMenu) {
    ASSERT_EQ(Start(), 0);
    EXPECT_EQ(Form1->ClientWidth(), 399);
    EXPECT_EQ(Form1->ClientHeight(), 299);
    EXPECT_EQ(Form1->BorderStyle, forms::bsNone);
    EXPECT_EQ(Form1->Image1->Picture().Width(), 400);
    EXPECT_EQ(Form1->Image1->Picture().Height(), 300);
    EXPECT_FALSE(Form1->Timer1->Enabled());
    EXPECT_FALSE(Form1->b41->Visible());
    EXPECT_FALSE(Form1->Image6->Visible());
    EXPECT_EQ(LauncherTest::CdWin(), launcher::LauncherDir);
    EXPECT_EQ(rtl::IncludeTrailingBackslash(rtl::GetCurrentDir()), launcher::LauncherDir);
}

TEST_F(LauncherTest, WithoutInstallOnlyInstallingIsOffered) {
    ASSERT_EQ(Start(), 0);
    EXPECT_EQ(Form1->b11->Left(), 0);
    EXPECT_EQ(Form1->b14->Left(), 500);
    EXPECT_EQ(Form1->b21->Left(), 500);
    EXPECT_EQ(Form1->b24->Left(), 0);
    EXPECT_EQ(Form1->b51->Left(), 500);
    EXPECT_EQ(Form1->b54->Left(), 0);
    EXPECT_EQ(Form1->b12->Left(), 500);  // the other design's pictures are parked too
    EXPECT_EQ(Form1->b23->Left(), 500);
    EXPECT_EQ(launcher::InstallRowSelector, launcher::rsOffered);
    EXPECT_EQ(launcher::RemoveRowSelector, launcher::rsWithdrawn);
    EXPECT_EQ(launcher::RunRowSelector, launcher::rsWithdrawn);
}

TEST_F(LauncherTest, InstalledOffersRunAndRemove) {
    SetInstallPath("C:\\Program Files\\X\\");
    ASSERT_EQ(Start(), 0);
    EXPECT_EQ(launcher::InstallPath, "C:\\Program Files\\X\\");
    EXPECT_EQ(Form1->b11->Left(), 500);
    EXPECT_EQ(Form1->b14->Left(), 0);
    EXPECT_EQ(Form1->b21->Left(), 0);
    EXPECT_EQ(Form1->b51->Left(), 0);
    EXPECT_EQ(Form1->b54->Left(), 500);
}

TEST_F(LauncherTest, EmptyPathOrMissingKeyCountsAsNotInstalled) {
    SetInstallPath("");
    ASSERT_EQ(Start(), 0);
    EXPECT_EQ(Form1->b11->Left(), 0);
    EXPECT_EQ(Form1->b51->Left(), 500);
    EXPECT_FALSE(Form1->ReadInstallPath());

    rtl::TRegistry registry;
    registry.RootKey = rtl::HKEY_LOCAL_MACHINE;
    ASSERT_TRUE(registry.DeleteKey("\\Software\\orbel_lumen"));
    launcher::InstallPath = "C:\\Earlier\\";
    EXPECT_TRUE(Form1->ReadInstallPath());  // a missing key keeps the value read before
    EXPECT_EQ(launcher::InstallPath, "C:\\Earlier\\");
}

// The pictures lie where the background draws their faded entries.
TEST_F(LauncherTest, OfferedRowShowsItsReadablePicture) {
    ASSERT_EQ(Start(), 0);
    forms::TBitmap shown = backend_->Snapshot(*Form1);
    const forms::TBitmap* install = Form1->b11->Picture().Graphic();
    const forms::TBitmap* background = Form1->Image1->Picture().Graphic();
    ASSERT_NE(install, nullptr);
    int differing = 0;
    for (int y = 0; y < install->Height(); ++y)
        for (int x = 0; x < install->Width(); ++x) {
            ASSERT_EQ(shown.Pixel(x, 120 + y), install->Pixel(x, y)) << x << "," << y;
            differing += install->Pixel(x, y) != background->Pixel(x, 120 + y);
        }
    EXPECT_GT(differing, 500);  // the readable look is not the faded one
    for (int y = 70; y < 118; ++y)
        for (int x = 0; x < 355; ++x) ASSERT_EQ(shown.Pixel(x, y), background->Pixel(x, y));
}

TEST_F(LauncherTest, OldBrowserGetsTheBrowserSetUpEntry) {
    SetBrowserVersion("5.50.4134.0600");
    ASSERT_EQ(Start(), 0);
    EXPECT_FALSE(Form1->b39->Visible());
    EXPECT_TRUE(Form1->b31->Visible());
}

TEST_F(LauncherTest, OnlyTheFirstVersionCharacterCounts) {
    for (const char* version : {"6.0.2800.1106", "9.11.9600"}) {
        SetBrowserVersion(version);
        ASSERT_EQ(Start(), 0);
        EXPECT_TRUE(Form1->b39->Visible()) << version;
        forms::ResetApplication();
        launcher::MutexHandle.Close();
    }
}

TEST_F(LauncherTest, NoRecordedBrowserLeavesTheEntryFadedQuietly) {
    ASSERT_EQ(Start(), 0);
    EXPECT_TRUE(Form1->b39->Visible());
    EXPECT_TRUE(dialogs_.Log().empty());
}

TEST_F(LauncherTest, UnreadableVersionIsReportedAndTheEntryStaysFaded) {
    SetBrowserVersion("x.1");
    ASSERT_EQ(Start(), 0);
    ASSERT_EQ(dialogs_.Log().size(), 1u);
    EXPECT_TRUE(Form1->b39->Visible());
    EXPECT_TRUE(backend_->WindowOf(*Form1)->Visible);
}

TEST_F(LauncherTest, CursorsComeFromTheLauncherFolder) {
    const std::string cursor("\0\0\2\0\1\0", 6);
    WriteCdFile("cursor.cur", cursor);
    WriteCdFile("cursorlink.cur", cursor);
    ASSERT_EQ(Start(), 0);
    EXPECT_TRUE(forms::Screen().HasCursor(1));
    EXPECT_TRUE(forms::Screen().HasCursor(2));
    EXPECT_EQ(Form1->Image1->Cursor(), 1);
    EXPECT_EQ(Form1->b39->Cursor(), 1);
    EXPECT_EQ(Form1->b11->Cursor(), 2);
    EXPECT_EQ(Form1->Image5->Cursor(), 2);
}

TEST_F(LauncherTest, MissingCursorFilesLeaveDefaultCursors) {
    ASSERT_EQ(Start(), 0);
    EXPECT_FALSE(forms::Screen().HasCursor(1));
    EXPECT_FALSE(forms::Screen().HasCursor(2));
    EXPECT_TRUE(dialogs_.Log().empty());
}

TEST_F(LauncherTest, UnreachableFolderIsReportedAndRowsStayAsDesigned) {
    rtl::SetProgramFolderForTests(rtl::FromNativePath(scratch_ + "no-such-cd/"));
    SetInstallPath("C:\\X\\");
    ASSERT_EQ(Start(), 0);
    ASSERT_EQ(dialogs_.Log().size(), 1u);
    EXPECT_EQ(dialogs_.Log()[0].Text, "I/O error 3.");  // the run time's error, as the viewer reports it
    EXPECT_EQ(Form1->b11->Left(), 0);
    EXPECT_EQ(Form1->b21->Left(), 0);
    EXPECT_EQ(launcher::InstallRowSelector, 0);
}

}  // namespace
}  // namespace launchertest
