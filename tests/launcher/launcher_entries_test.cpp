// The menu's entries: what each click starts, in which window state, the click sound around it,
// whether the window closes, and the entries the layout does not reach.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/rtl/codepage.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/process.h"
#include "tests/launcher/launcher_fixture.h"
#include "tests/rtl/system_fixture.h"

namespace launchertest {
namespace {

namespace fs = std::filesystem;
using launcher::Form1;

const forms::TPoint kRunRow{100, 90};
const forms::TPoint kInstallRow{100, 140};
const forms::TPoint kRemoveRow{100, 190};
const forms::TPoint kBrowserRow{290, 190};
const forms::TPoint kCloseCross{390, 10};
const forms::TPoint kMakerZone{50, 297};

TEST_F(LauncherTest, InstallStartsSetUpThenClicksAndCloses) {
    ASSERT_EQ(Start(), 0);
    Click(kInstallRow.X, kInstallRow.Y);
    ASSERT_EQ(started_.size(), 1u);
    EXPECT_EQ(started_[0].cmdLine, CdWin() + "setup.exe");
    EXPECT_EQ(started_[0].showCmd, rtl::SW_SHOWNORMAL);
    EXPECT_EQ(started_[0].soundsBefore, 0u);
    ASSERT_EQ(Sounds(), 1u);
    EXPECT_EQ(media_.sound->Sounds[0].path, cd_ + "click.wav");
    EXPECT_TRUE(media_.sound->Sounds[0].waited);
    EXPECT_TRUE(Closed());
}

TEST_F(LauncherTest, WithdrawnRowsDoNothing) {
    ASSERT_EQ(Start(), 0);
    Click(kRunRow.X, kRunRow.Y);
    Click(kRemoveRow.X, kRemoveRow.Y);
    Click(kBrowserRow.X, kBrowserRow.Y);  // faded: no browser recorded
    EXPECT_TRUE(started_.empty());
    EXPECT_EQ(Sounds(), 0u);
    EXPECT_FALSE(Closed());
}

TEST_F(LauncherTest, RunRereadsPathAndStartsTheViewerMaximized) {
    SetInstallPath("C:\\Program Files\\X\\");
    ASSERT_EQ(Start(), 0);
    SetInstallPath("D:\\Book\\");
    Click(kRunRow.X, kRunRow.Y);
    ASSERT_EQ(started_.size(), 1u);
    EXPECT_EQ(started_[0].cmdLine, "D:\\Book\\book.exe");
    EXPECT_EQ(started_[0].showCmd, rtl::SW_SHOWMAXIMIZED);
    EXPECT_EQ(started_[0].soundsBefore, 1u);
    EXPECT_TRUE(Closed());
}

TEST_F(LauncherTest, RunWithPathEmptiedStartsBareBookExe) {
    SetInstallPath("C:\\X\\");
    ASSERT_EQ(Start(), 0);
    SetInstallPath("");
    Click(kRunRow.X, kRunRow.Y);
    ASSERT_EQ(started_.size(), 1u);
    EXPECT_EQ(started_[0].cmdLine, "book.exe");
}

TEST_F(LauncherTest, AnyMouseButtonRunsAnEntry) {
    SetInstallPath("C:\\X\\");
    ASSERT_EQ(Start(), 0);
    backend_->MouseDown(*Form1, kRunRow.X, kRunRow.Y, forms::mbRight);
    backend_->MouseUp(*Form1, kRunRow.X, kRunRow.Y, forms::mbRight);
    ASSERT_EQ(started_.size(), 1u);
    EXPECT_EQ(started_[0].cmdLine, "C:\\X\\book.exe");
}

TEST_F(LauncherTest, RemoveClicksThenStartsTheUninstallerReadAtShowTime) {
    SetInstallPath("C:\\X\\");
    ASSERT_EQ(Start(), 0);
    SetInstallPath("D:\\Elsewhere\\");
    Click(kRemoveRow.X, kRemoveRow.Y);
    ASSERT_EQ(started_.size(), 1u);
    EXPECT_EQ(started_[0].cmdLine, "C:\\X\\uninstall.exe");
    EXPECT_EQ(started_[0].showCmd, rtl::SW_SHOWNORMAL);
    EXPECT_EQ(started_[0].soundsBefore, 1u);
    EXPECT_TRUE(Closed());
}

TEST_F(LauncherTest, ProgramThatCannotStartStillClicksAndCloses) {
    startResult_ = 2;
    ASSERT_EQ(Start(), 0);
    Click(kInstallRow.X, kInstallRow.Y);
    EXPECT_EQ(started_.size(), 1u);
    EXPECT_EQ(Sounds(), 1u);
    EXPECT_TRUE(Closed());
    EXPECT_TRUE(dialogs_.Log().empty());
}

TEST_F(LauncherTest, BrowserSetUpRunsAndTheWindowStays) {
    SetBrowserVersion("5.50.4134.0600");
    ASSERT_EQ(Start(), 0);
    Click(kBrowserRow.X, kBrowserRow.Y);
    ASSERT_EQ(started_.size(), 1u);
    EXPECT_EQ(started_[0].cmdLine, CdWin() + "ie6\\ie6setup.exe");
    EXPECT_EQ(started_[0].soundsBefore, 0u);
    EXPECT_EQ(Sounds(), 1u);
    EXPECT_FALSE(Closed());
}

TEST_F(LauncherTest, CloseCrossClicksAndCloses) {
    ASSERT_EQ(Start(), 0);
    Click(kCloseCross.X, kCloseCross.Y);
    EXPECT_TRUE(started_.empty());
    EXPECT_EQ(Sounds(), 1u);
    EXPECT_TRUE(Closed());
}

TEST_F(LauncherTest, MissingClickSoundPlaysNothing) {
    fs::remove(cd_ + "click.wav");
    ASSERT_EQ(Start(), 0);
    Click(kCloseCross.X, kCloseCross.Y);
    EXPECT_EQ(Sounds(), 0u);
    EXPECT_TRUE(Closed());
}

TEST_F(LauncherTest, MakerPageTriesBothBrowsersThenTheDesktopOpener) {
    startResult_ = 2;
    ASSERT_EQ(Start(), 0);
    Click(kMakerZone.X, kMakerZone.Y);
    ASSERT_EQ(started_.size(), 2u);
    EXPECT_EQ(started_[0].cmdLine, "c:\\program files\\Internet Explorer\\iexplore.exe " + launcher::MakerUrl);
    EXPECT_EQ(started_[1].cmdLine, "c:\\program files\\iexplore\\iexplore.exe " + launcher::MakerUrl);
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0], launcher::MakerUrl);
    EXPECT_EQ(Sounds(), 1u);
    EXPECT_FALSE(Closed());
    EXPECT_EQ(launcher::MakerUrl.back(), '/');
}

// Where nothing opens the maker's page (no xdg-open on PATH, or an opener that fails), a box says so
// once the opener has ended, and the menu goes on; an opener that opens it says nothing.
TEST_F(LauncherTest, MakerPageThatNothingOpensIsSaidInABox) {
    launcher::SetDocumentOpener({});
    startResult_ = 2;  // neither of the platform's browsers
    rtltest::EnvGuard path("PATH", cd_);
    ASSERT_EQ(Start(), 0);
    const int idle = backend_->TimerCount();
    const std::string box = rtl::Ru("Не удается открыть «") + launcher::MakerUrl +
                            rtl::Ru("»: в системе нет программы, которая может это открыть.");
    for (const auto& [opener, boxes] : {std::pair<const char*, size_t>{"", 1}, {"/bin/false", 1}, {"/bin/true", 0}}) {
        SCOPED_TRACE(opener);  // "": xdg-open, which PATH lacks
        rtltest::EnvGuard command("TOME_OPEN_COMMAND", opener);
        const size_t before = dialogs_.Log().size();
        Click(kMakerZone.X, kMakerZone.Y);
        for (int i = 0; i < 1000 && backend_->TimerCount() > idle; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            backend_->Advance(100);
        }
        ASSERT_EQ(dialogs_.Log().size(), before + boxes);
        if (boxes) {
            EXPECT_EQ(dialogs_.Log().back().Text, box);
        }
    }
    EXPECT_FALSE(Closed());
}

TEST_F(LauncherTest, MakerPageWithABrowserPresentNeedsNoOpener) {
    ASSERT_EQ(Start(), 0);
    Click(kMakerZone.X, kMakerZone.Y);
    EXPECT_EQ(started_.size(), 2u);  // both command lines always run
    EXPECT_TRUE(opened_.empty());
}

TEST_F(LauncherTest, HiddenEntriesCannotBeReached) {
    ASSERT_EQ(Start(), 0);
    Click(395, 295);  // where b41 and Image6 would lie
    Click(150, 298);  // above Image4, which lies below the window
    EXPECT_TRUE(started_.empty());
    EXPECT_TRUE(opened_.empty());
    EXPECT_EQ(Sounds(), 0u);
    EXPECT_FALSE(Form1->Timer1->Enabled());
}

TEST_F(LauncherTest, ReadmeEntryOpensTheTextWithTheEditorOrTheDesktop) {
    WriteCdFile("My CD/readme.txt", "text");
    rtl::SetProgramFolderForTests(rtl::FromNativePath(cd_ + "My CD/"));
    WriteCdFile("My CD/click.wav", "RIFF");
    ASSERT_EQ(Start(), 0);
    std::string readme = launcher::LauncherDir + "readme.txt";
    Form1->b41MouseUp(Form1->b41, forms::mbLeft, 0, 1, 1);
    ASSERT_EQ(started_.size(), 1u);
    EXPECT_EQ(started_[0].cmdLine, "notepad.exe \"" + readme + "\"");
    EXPECT_TRUE(opened_.empty());
    EXPECT_EQ(Sounds(), 1u);

    startResult_ = 2;
    Form1->b41MouseUp(Form1->b41, forms::mbLeft, 0, 1, 1);
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0], readme);
}

TEST_F(LauncherTest, HiddenCodecPublisherAndViewerEntries) {
    SetInstallPath("C:\\X\\");
    ASSERT_EQ(Start(), 0);
    Form1->Image6MouseUp(Form1->Image6, forms::mbLeft, 0, 1, 1);
    ASSERT_EQ(started_.size(), 1u);
    EXPECT_EQ(started_[0].cmdLine, CdWin() + "DivX\\Setup.exe");
    EXPECT_EQ(started_[0].soundsBefore, 1u);

    Form1->Image4Click(Form1->Image4);
    ASSERT_EQ(started_.size(), 3u);
    EXPECT_EQ(started_[1].cmdLine, "c:\\program files\\Internet Explorer\\iexplore.exe " + launcher::PublisherUrl);
    EXPECT_EQ(started_[2].cmdLine, "c:\\program files\\iexplore\\iexplore.exe " + launcher::PublisherUrl);
    EXPECT_EQ(Sounds(), 1u);  // no sound for the publisher's page

    Form1->b61MouseUp(nullptr, forms::mbLeft, 0, 1, 1);
    ASSERT_EQ(started_.size(), 4u);
    EXPECT_EQ(started_[3].cmdLine, "C:\\X\\book.exe");
    EXPECT_EQ(started_[3].showCmd, rtl::SW_SHOWNORMAL);
    EXPECT_FALSE(Closed());
}

TEST_F(LauncherTest, TimerReappliesThePendingRowOnceAndStops) {
    ASSERT_EQ(Start(), 0);
    Form1->b11->SetLeft(500);
    launcher::PendingRow = 1;
    Form1->Timer1->SetEnabled(true);
    backend_->Advance(100);
    EXPECT_EQ(Form1->b11->Left(), 0);
    EXPECT_FALSE(Form1->Timer1->Enabled());

    Form1->b51->SetLeft(0);
    launcher::PendingRow = 3;  // the run row's remembered selector withdraws it again
    Form1->Timer1->SetEnabled(true);
    backend_->Advance(100);
    EXPECT_EQ(Form1->b51->Left(), 500);
    EXPECT_EQ(Form1->b54->Left(), 0);
}

TEST_F(LauncherTest, SelectorNamingNoPictureParksTheWholeRow) {
    ASSERT_EQ(Start(), 0);
    Form1->SetRowStates(0, 0, false, 2);
    EXPECT_EQ(Form1->b51->Left(), 500);
    EXPECT_EQ(Form1->b54->Left(), 500);
    EXPECT_EQ(launcher::RunRowSelector, launcher::rsWithdrawn);  // not remembered
}

// The real start: an unquoted install path with a blank reaches the viewer's program, which has
// no ".exe" on this system.
TEST_F(LauncherTest, RunStartsTheInstalledProgramForReal) {
    launcher::SetProgramStarter({});
    std::string folder = scratch_ + "Program Files/X/";
    fs::create_directories(folder);
    std::string marker = scratch_ + "started";
    {
        std::ofstream script(folder + "book");
        script << "#!/bin/sh\ntouch '" << marker << "'\n";
    }
    fs::permissions(folder + "book", fs::perms::owner_all);
    SetInstallPath(rtl::FromNativePath(folder));
    ASSERT_EQ(Start(), 0);
    Click(kRunRow.X, kRunRow.Y);
    EXPECT_TRUE(Closed());
    for (int i = 0; i < 100 && !fs::exists(marker); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(fs::exists(marker));
}

}  // namespace
}  // namespace launchertest
