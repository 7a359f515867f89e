// Start-up of the main window: browser check, start sequence, single instance, registry values,
// window chrome and closing.
#include "tests/viewer/main_fixture.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/forms/application.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/locks.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/registry.h"
#include "tests/rtl/child_process.h"
#include "viewer/forms.h"
#include "viewer/prepare.h"

namespace viewertest {
namespace {

using namespace viewer;

const char* const kBrowserKey = "\\SOFTWARE\\tervanix";
const char* const kVersionKey = "\\Software\\Microsoft\\Internet Explorer";

class StartTest : public ViewerTest {
protected:
    void WriteBasicBook() {
        WriteSkin({Button("html", "index.html")});
        WritePage("index.html", "index");
        WritePage("frew.html", "bye");
    }
    static std::string ReadStore() {
        std::ifstream in(rtl::RegistryFileName(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool AskedForBrowser() {
        for (const auto& box : dialogs_.Log())
            if (box.Text.find("Internet Explorer 6.0?") != std::string::npos) return true;
        return false;
    }
};

// ---- browser check ----

TEST_F(StartTest, OldBrowserAnsweredNoRecordsTheAnswerAndStarts) {
    WriteBasicBook();
    WriteMachineValue(kVersionKey, "Version", "5.50.4522");
    WriteMachineValue(kBrowserKey, "IExplorer6", "");
    dialogs_.PushResult(rtl::mrNo);
    Start();
    EXPECT_TRUE(AskedForBrowser());
    EXPECT_EQ(dialogs_.Log().at(0).Type, rtl::mtInformation);
    EXPECT_EQ(ReadMachineValue(kBrowserKey, "IExplorer6"), "0");
    EXPECT_FALSE(Terminated());
    EXPECT_EQ(CurrentDoc.Path, "index.html");
    EXPECT_EQ(StartedOnce, 1);
}

TEST_F(StartTest, OldBrowserAnsweredYesRecordsTheAnswerAndEndsWithoutStarting) {
    WriteBasicBook();
    WriteMachineValue(kVersionKey, "Version", "5.0");
    WriteMachineValue(kBrowserKey, "IExplorer6", "");
    dialogs_.PushResult(rtl::mrYes);
    Start();
    EXPECT_EQ(ReadMachineValue(kBrowserKey, "IExplorer6"), "1");
    EXPECT_TRUE(Terminated());
    EXPECT_FALSE(Form1->Visible());
    EXPECT_FALSE(BookFileExists("started.dat"));
    EXPECT_EQ(StartedOnce, 1);
    // The start ended before the book's key was known: no music start, no value on "\Software\".
    EXPECT_EQ(ReadMachineValue("\\Software", "BackSound"), "<no value>");
}

TEST_F(StartTest, AnswerIsNotRecordedWhenTheKeyIsMissing) {
    WriteBasicBook();
    WriteMachineValue(kVersionKey, "Version", "4.0");
    dialogs_.PushResult(rtl::mrNo);
    Start();
    EXPECT_TRUE(AskedForBrowser());
    EXPECT_EQ(ReadMachineValue(kBrowserKey, "IExplorer6"), "<no key>");
    EXPECT_EQ(CurrentDoc.Path, "index.html");
}

TEST_F(StartTest, NoPromptForACurrentUnknownOrAlreadyAnsweredBrowser) {
    for (const char* version : {"6.0.2800", "9", "", "x1"}) {
        dialogs_.ClearLog();
        WriteMachineValue(kVersionKey, "Version", version);
        CreateWindows();
        Form1->CheckBrowserAndStart();
        EXPECT_FALSE(AskedForBrowser()) << version;
        forms::ResetApplication();
        ResetMainState();
    }
    WriteMachineValue(kVersionKey, "Version", "5.0");
    WriteMachineValue(kBrowserKey, "IExplorer6", "0");
    dialogs_.ClearLog();
    CreateWindows();
    EXPECT_FALSE(Form1->check_reg());
    Form1->CheckBrowserAndStart();
    EXPECT_FALSE(AskedForBrowser());
}

TEST_F(StartTest, OnlyTheFirstCharacterOfTheVersionCounts) {
    WriteMachineValue(kVersionKey, "Version", "11.0");
    CreateWindows();
    Form1->CheckBrowserAndStart();
    EXPECT_TRUE(AskedForBrowser());
}

TEST_F(StartTest, CheckIeReturnsAndStoresTheVersion) {
    CreateWindows();
    std::string version = "stale";
    EXPECT_EQ(Form1->check_ie(version), "");
    EXPECT_EQ(version, "");
    WriteMachineValue(kVersionKey, "Version", "6.0");
    EXPECT_EQ(Form1->check_ie(version), "6.0");
    EXPECT_EQ(version, "6.0");
}

// ---- start sequence ----

// The start also removes what writers killed before they finished (an id that no process has) left
// beside the book's records and the settings store, and what an update killed while it unpacked left.
TEST_F(StartTest, StartSetsFoldersCaptionGuardAndOpensTheStartButtonsPage) {
    WriteBasicBook();
    const std::string killed = ".2147483647.0.tmp";
    const std::filesystem::path store = rtl::RegistryFileName();
    const std::string leftovers[] = {Book() + ".intcfg.dat" + killed, Book() + ".kor_iphist.dat" + killed,
                                     store.parent_path() / ("." + store.filename().string() + killed)};
    for (const std::string& name : leftovers) std::ofstream(name) << "left";
    WriteBookFile("made/FC2147483647.00000000abcd.tmp", "stale");
    WriteBookFile(kInstallNote, "=\r\n+made\\\r\n");
    Start();
    for (const std::string& name : leftovers) EXPECT_FALSE(std::filesystem::exists(name)) << name;
    EXPECT_FALSE(BookFileExists("made"));
    EXPECT_FALSE(BookFileExists(kInstallNote));
    EXPECT_EQ(AppDir, BookWin());
    EXPECT_EQ(rtl::IncludeTrailingBackslash(rtl::GetCurrentDir()), BookWin() + "data\\");
    EXPECT_EQ(Form1->Caption(), "TestBook");
    EXPECT_TRUE(StartedFile.IsOpen());
    EXPECT_EQ(Form5->my_ip.HistoryFilename, BookWin() + "kor_iphist.dat");
    EXPECT_TRUE(Form1->Visible());
    EXPECT_EQ(CurrentDoc.Path, "index.html");
    EXPECT_TRUE(ShowsComposedPage());
    EXPECT_NE(ReadBookFile("data/tomeview.tmp").find("index"), std::string::npos);
    EXPECT_EQ(ReadViewerValue("PATH"), BookWin());
    EXPECT_TRUE(forms::Application().OnActivate != nullptr);
}

TEST_F(StartTest, FirstPageLoadsBehindTheSplashWhichGoesOnlyAfterItsPause) {
    WriteBasicBook();
    SplashPauseMs = 2000;
    CreateWindows();
    auto mainAboveSplash = [this] { return Backend().WindowOf(*Form1)->ZOrder > Backend().WindowOf(*Form2)->ZOrder; };
    bool mainAboveAtComplete = true, splashShownAtComplete = false;
    Form1->datacenter->OnDocumentComplete = [&, shown = Form1->datacenter->OnDocumentComplete](
                                                forms::TObject* sender, const std::string& url) {
        mainAboveAtComplete = mainAboveSplash();
        splashShownAtComplete = Form2->Visible();
        shown(sender, url);
    };
    Form1->Show();
    Pump();
    EXPECT_FALSE(mainAboveAtComplete);
    EXPECT_TRUE(splashShownAtComplete);
    EXPECT_TRUE(mainAboveSplash());
    EXPECT_FALSE(Form2->Visible());
}

TEST_F(StartTest, StartButtonBeyondTheButtonsOpensNothing) {
    WriteSkin({Button("html", "index.html")}, {"START_button=0", "START_registry=TestBook"});
    WritePage("index.html");
    Start();
    EXPECT_EQ(StartButton, 65535);
    EXPECT_FALSE(Terminated());
    EXPECT_TRUE(Form1->Visible());
    EXPECT_EQ(CurrentDoc.Path, "");
    EXPECT_TRUE(Engine().Loads().empty());
}

TEST_F(StartTest, MissingConfigurationEndsTheStart) {
    Start();
    EXPECT_TRUE(Terminated());
    EXPECT_FALSE(Form1->Visible());
}

TEST_F(StartTest, MissingDataFolderIsReportedAndStopsTheStart) {
    WriteBasicBook();
    std::filesystem::remove_all(Book() + "data");
    Start();
    ASSERT_FALSE(dialogs_.Log().empty());
    EXPECT_FALSE(StartedFile.IsOpen());
    EXPECT_EQ(CurrentDoc.Path, "");
}

TEST_F(StartTest, SecondViewerEndsSilentlyWithoutAWindow) {
    WriteBasicBook();
    rtl::THeldFile firstViewer;
    ASSERT_TRUE(firstViewer.Open(BookWin() + "started.dat"));
    Start();
    EXPECT_TRUE(Terminated());
    EXPECT_FALSE(Form1->Visible());
    EXPECT_TRUE(dialogs_.Log().empty());
    EXPECT_EQ(CurrentDoc.Path, "");
    EXPECT_TRUE(firstViewer.IsOpen());
}

// A start that ends early, and a book whose skin names no registry key, have no key of their own:
// the start, the settings' writers and the close leave the settings store byte for byte alone.
TEST_F(StartTest, StartsWithoutTheBooksKeyLeaveTheSettingsStoreAsItWas) {
    struct Case {
        const char* name;
        const char* registryLine;  // nullptr: no skin configuration at all
        bool guardHeld;            // another viewer runs in the folder
    };
    const Case cases[] = {{"second viewer", "START_registry=TestBook", true},
                          {"no configuration", nullptr, false},
                          {"empty key name", "START_registry=", false},
                          {"separator as key name", "START_registry=\\", false}};
    for (const Case& c : cases) {
        std::filesystem::remove(rtl::RegistryFileName());
        WritePage("index.html");
        WritePage("frew.html");
        if (c.registryLine) WriteSkin({Button("html", "index.html")}, {"START_button=1", c.registryLine});
        else std::filesystem::remove(Book() + "config.ncf");
        WriteViewerValue("BackSound", "lumen");
        const std::string before = ReadStore();
        rtl::THeldFile firstViewer;
        if (c.guardHeld) {
            ASSERT_TRUE(firstViewer.Open(BookWin() + "started.dat"));
        }
        Start();
        Form1->WriteSoundAndStyle("other", "blue");
        Form1->Close();
        EXPECT_EQ(ReadStore(), before) << c.name;
        forms::ResetApplication();
        ResetMainState();
        ResetPrepareState();
    }
}

TEST_F(StartTest, GuardIsReleasedWhenTheWindowGoesAway) {
    WriteBasicBook();
    Start();
    rtl::THeldFile another;
    EXPECT_FALSE(another.Open(BookWin() + "started.dat"));
    forms::ResetApplication();
    Form1 = nullptr;
    EXPECT_TRUE(another.Open(BookWin() + "started.dat"));
}

// ---- last page at start ----

TEST_F(StartTest, StoredLastPageIsReopenedOnceByItsFullPath) {
    WriteBasicBook();
    WritePage("2part/200.html", "stored");
    WriteViewerValue("LastPage", "2part\\200.html");
    Start();
    EXPECT_EQ(CurrentDoc.Path, BookWin() + "data\\2part\\200.html");
    EXPECT_NE(ReadBookFile("data/tomeview.tmp").find("stored"), std::string::npos);
    // Later "html" clicks open their own target.
    Form1->testbuttonClick(ButtonImages[0]);
    EXPECT_EQ(CurrentDoc.Path, "index.html");
}

TEST_F(StartTest, LastPageEnabledOrGoneOpensTheButtonsTarget) {
    for (const char* stored : {"Enabled", "gone.html", "clips\\film.avi"}) {
        WriteBasicBook();
        WriteBookFile("data/clips/film.avi", "RIFF");
        WriteViewerValue("LastPage", stored);
        Start();
        EXPECT_FALSE(Terminated()) << stored;
        EXPECT_EQ(CurrentDoc.Path, "index.html") << stored;
        forms::ResetApplication();
        ResetMainState();
    }
}

// ---- registry values ----

// Values that are only read are never written: missing ones read as "", with or without the key.
TEST_F(StartTest, ReadersLeaveTheStoreAsItIs) {
    CreateWindows();
    RegistryKeyName = "TestBook";
    for (bool withKey : {false, true}) {
        if (withKey) WriteMachineValue("\\Software\\TestBook", "PATH", BookWin());
        const std::string before = ReadStore();
        std::string value = "x";
        Form1->ReadLastPage(value);
        EXPECT_EQ(value, "");
        Form1->ReadStyle(value);
        Form1->ReadBackSound(value);
        EXPECT_EQ(value, "");
        EXPECT_EQ(ReadStore(), before);
    }
    WriteViewerValue("Style", "blue");
    std::string value;
    Form1->ReadStyle(value);
    EXPECT_EQ(value, "blue");
}

// A user who may neither read nor write the book folder has nowhere to hold the guard: the start
// says why and ends.
TEST_F(StartTest, AGuardThatCannotBeHeldAnywhereIsSaidAndTheStartEnds) {
    if (geteuid() != 0) GTEST_SKIP() << "another user needs root";
    WriteBasicBook();
    std::filesystem::permissions(Book(), std::filesystem::perms::owner_all | std::filesystem::perms::others_exec);
    EXPECT_TRUE(rtltest::Holder([&] {
        if (!rtltest::BecomeOtherUser()) return false;
        Start();
        return Terminated() && !Form1->Visible() && dialogs_.Log().size() == 1 &&
               dialogs_.Log().front().Text == rtl::Ru("Не удается запустить программу: нет доступа к папке программы.");
    }).Holding());
}

TEST_F(StartTest, BackSoundSwitchesMusicAndTheSoundPictures) {
    CreateWindows();
    RegistryKeyName = "TestBook";
    std::string track;
    Form1->ReadBackSound(track);
    EXPECT_EQ(track, "");
    EXPECT_EQ(MusicEnabled, 0);
    EXPECT_FALSE(Form1->Sound_fon->Visible());
    Form1->WriteSoundAndStyle("track1", "green");
    Form1->ReadBackSound(track);
    EXPECT_EQ(track, "track1");
    EXPECT_EQ(MusicEnabled, 1);
    for (auto* picture : {Form1->Sound_fon, Form1->sound_but, Form1->Sound_play, Form1->Sound_pause})
        EXPECT_TRUE(picture->Visible());
    EXPECT_EQ(ReadViewerValue("Style"), "green");
    Form1->WriteLastPage("a.html");
    EXPECT_EQ(ReadViewerValue("LastPage"), "a.html");
}

// ---- window chrome ----

TEST_F(StartTest, MaximiseThenRestoreReturnsToTheEarlierBounds) {
    CreateWindows();
    Backend().SetScreen({1280, 1024}, forms::Rect(0, 24, 1280, 1000));
    Form1->SetBounds(100, 50, 950, 720);
    Form1->ico_maxClick(Form1->ico_max);
    EXPECT_EQ(NotMaximized, 0);
    EXPECT_EQ(Form1->BoundsRect(), forms::Rect(0, 24, 1280, 24 + 1000));
    Form1->ico_maxClick(Form1->ico_max);
    EXPECT_EQ(NotMaximized, 1);
    EXPECT_EQ(Form1->BoundsRect(), forms::Bounds(100, 50, 950, 720));
}

TEST_F(StartTest, ResizeGripFollowsThePointerOnlyWhileHeld) {
    CreateWindows();
    Form1->SetBounds(0, 0, 1000, 800);
    Form1->_resizerMouseMove(Form1->_resizer, 0, 30, 20);
    EXPECT_EQ(Form1->Width(), 1000);
    Form1->_resizerMouseDown(Form1->_resizer, forms::mbLeft, 0, 0, 0);
    EXPECT_EQ(Resizing, -1);
    Form1->_resizerMouseMove(Form1->_resizer, 0, 30, 20);
    EXPECT_EQ(Form1->Width(), 1030);
    EXPECT_EQ(Form1->Height(), 820);
    Form1->_resizerMouseMove(Form1->_resizer, 0, -500, -500);
    EXPECT_EQ(Form1->Width(), 900);  // the minimum size holds
    EXPECT_EQ(Form1->Height(), 700);
    Form1->_resizerMouseUp(Form1->_resizer, forms::mbLeft, 0, 0, 0);
    EXPECT_EQ(Resizing, 0);
}

TEST_F(StartTest, ResizeKeepsTheSearchBoxBelowTheHeader) {
    CreateWindows();
    SearchTop = 4;
    SearchImgTop = 2;
    Form1->header->SetHeight(33);
    Form1->SetWidth(Form1->Width() + 10);
    EXPECT_EQ(Form1->searcher->Top(), 37);
    EXPECT_EQ(Form1->searcher_img->Top(), 35);
}

TEST_F(StartTest, DragPicturesStartTheSystemMove) {
    CreateWindows();
    Form1->Show();
    Form1->headerMouseDown(Form1->header, forms::mbRight, 0, 1, 1);
    EXPECT_TRUE(Backend().WindowOf(*Form1)->MoveDragging);
}

// ---- closing ----

class CloseTest : public StartTest {
protected:
    int closes_ = 0;
    void CountCloses() {
        forms::TCloseEvent original = Form1->OnClose;
        Form1->OnClose = [this, original](forms::TObject* sender, forms::TCloseAction& action) {
            ++closes_;
            original(sender, action);
        };
    }
};

TEST_F(CloseTest, ClosingStoresTheShownPageWhenTheOptionIsOn) {
    WriteBasicBook();
    WritePage("1part/17.html");
    WriteViewerValue("LastPage", "Enabled");
    Start();
    Form1->OpenPage("1part\\17.html");
    Form1->Close();
    EXPECT_EQ(ReadViewerValue("LastPage"), "1part\\17.html");
    EXPECT_EQ(CurrentDoc.Path, "frew.html");
    EXPECT_TRUE(Terminated());
}

TEST_F(CloseTest, ClosingWithTheOptionOffOrOnFrewStoresNothing) {
    WriteBasicBook();
    Start();
    Form1->Close();
    EXPECT_EQ(ReadViewerValue("LastPage"), "<no value>");
    forms::ResetApplication();
    ResetMainState();
    WriteViewerValue("LastPage", "index.html");
    Start();
    Form1->OpenPage("frew.html");
    Form1->Close();
    EXPECT_EQ(ReadViewerValue("LastPage"), "index.html");
}

TEST_F(CloseTest, ClosingOnAFullPathStoresThePartAfterData) {
    WriteBasicBook();
    WriteViewerValue("LastPage", "Enabled");
    Start();
    CurrentDoc = {BookWin() + "data\\tomeview_search.tmp", 0};
    Form1->Close();
    EXPECT_EQ(ReadViewerValue("LastPage"), "tomeview_search.tmp");
}

TEST_F(CloseTest, ClosingRunsOnceWhenNothingCanBeShown) {
    WriteSkin({Button("html", "index.html")}, {"START_button=0", "START_registry=TestBook"});
    Start();
    CountCloses();
    Form1->Close();
    EXPECT_EQ(closes_, 1);
    EXPECT_TRUE(Terminated());
    Form1->Close();  // the platform's close after the loop ended changes nothing
    EXPECT_EQ(closes_, 2);
    EXPECT_EQ(CurrentDoc.Path, "");
}

}  // namespace
}  // namespace viewertest
