// The settings dialog: filling at show, the text style and size, the skin style (files copied and
// the skin rebuilt), the last-page option, the music with its restart, cancel, and the layout.
#include "tests/viewer/main_fixture.h"

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/forms/application.h"
#include "platform/forms/bitmap.h"
#include "platform/forms/bmp.h"
#include "platform/media/fake_media.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/locks.h"
#include "platform/rtl/paths.h"
#include "viewer/bindings.h"
#include "viewer/facefile.h"
#include "viewer/forms.h"
#include "viewer/prepare.h"
#include "viewer/settings.h"

namespace viewertest {
namespace {

namespace fs = std::filesystem;
using namespace viewer;

constexpr uint32_t kSettingsPixel = 0x123456;

std::string SolidPicture(int width, int height, uint32_t pixel) {
    forms::TBitmap bitmap(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) bitmap.SetPixel(x, y, pixel);
    return forms::EncodeBmp24(bitmap);
}

class SettingsTest : public ViewerTest {
protected:
    void SetUp() override {
        ViewerTest::SetUp();
        ResetBindingsState();
        ResetSettingsState();
        SetProgramStarter([this](const std::string& program) {
            // What the new copy would find at its start.
            restarts_.push_back({program, ReadViewerValue("BackSound"), GuardIsFree()});
            return true;
        });
    }
    void TearDown() override {
        ResetSettingsState();
        ViewerTest::TearDown();
        ResetBindingsState();
    }

    // A book of one page with two text styles and the given button count; face.dat holds the
    // dialog's background.
    void WriteBook(int buttonCount = 1, const std::string& configName = "config.ncf") {
        std::vector<std::string> buttons;
        for (int i = 0; i < buttonCount; ++i) buttons.push_back(Button("html", "index.html", 10 + 50 * i));
        WriteSkin(buttons, {"START_button=0", "START_registry=TestBook", "SKIN=Plain,plain_m.css,plain_l.css",
                            "SKIN=Serif,serif_m.css,serif_l.css"});
        if (configName != "config.ncf") {
            fs::rename(Book() + "config.ncf", Book() + configName);
        }
        WriteBookFile("face.dat", WriteFaceFile({{"btn_n.bmp", SolidPicture(40, 20, kNormalPixel)},
                                                 {"settings.bmp", SolidPicture(400, 300, kSettingsPixel)}}));
        WritePage("index.html", "index");
        WritePage("frew.html", "bye");
        for (const char* sheet : {"plain_m.css", "plain_l.css", "serif_m.css", "serif_l.css"})
            WriteBookFile(std::string("data/") + sheet, sheet);
        WriteBookFile("data/style.css", "original");
    }
    void StartAndShow() {
        Start();
        ASSERT_NE(sett, nullptr);
        sett->Show();
        Pump();
    }
    void Apply() {
        sett->Image1Click(sett->Image3);
        Pump();
    }
    bool GuardIsFree() {
        rtl::THeldFile probe;
        return probe.Open(BookWin() + "started.dat");
    }
    media::FakeMediaPeer* Player() { return media::FakeMediaPeer::Of(*Form1->music_but); }
    uint16_t StoredStyleIndex() {
        const std::string record = ReadBookFile("intcfg.dat");
        if (record.size() < 6) return 0xFFFF;
        return uint16_t(uint8_t(record[4]) | uint8_t(record[5]) << 8);
    }

    struct Restart {
        std::string Program;
        std::string BackSoundSeen;
        bool GuardFree;
    };
    std::vector<Restart> restarts_;
};

// ---- show ----

TEST_F(SettingsTest, ShowListsStyleFoldersAndTracksAndSelectsTheStoredOnes) {
    WriteBook();
    WriteBookFile("Styles/Blue/config.ncf", "x");
    WriteBookFile("Styles/Green/config.ncf", "x");
    WriteBookFile("Styles/Green2/face.dat", "x");
    WriteBookFile("Styles/.hidden/face.dat", "x");
    WriteBookFile("Styles/readme.txt", "not a style");
    WriteBookFile("BackSound/rain.mp3", "mp3");
    WriteBookFile("BackSound/birds.mp3", "mp3");
    WriteBookFile("BackSound/notes.txt", "text");
    WriteViewerValue("Style", "Green");
    WriteViewerValue("BackSound", "rain");
    StartAndShow();

    EXPECT_EQ(sett->KorStyle->Items(), (std::vector<std::string>{"Blue", "Green", "Green2"}));
    EXPECT_EQ(sett->KorStyle->Text(), "Green");
    EXPECT_EQ(sett->Sound_Box->Items(), (std::vector<std::string>{"birds", "rain"}));
    EXPECT_EQ(sett->Sound_Box->Text(), "rain");
    EXPECT_TRUE(sett->Back_sound->Checked());
    EXPECT_TRUE(sett->Sound_Box->Enabled());
    EXPECT_EQ(sett->textstyle->Items(), (std::vector<std::string>{"Plain", "Serif"}));
    EXPECT_EQ(sett->textstyle->ItemIndex(), 0);
    EXPECT_EQ(sett->fontsize->Text(), rtl::Ru("средний размер"));
    EXPECT_FALSE(Form1->Timer1->Enabled());
    const forms::TBitmap* background = sett->bg->Picture().Graphic();
    ASSERT_NE(background, nullptr);
    EXPECT_EQ(background->Pixel(5, 5) & 0xFFFFFF, kSettingsPixel);
}

TEST_F(SettingsTest, ShowWithoutFoldersOrStoredValuesLeavesListsEmptyAndMusicOff) {
    WriteBook();
    StartAndShow();
    EXPECT_EQ(sett->KorStyle->ItemCount(), 0);
    EXPECT_EQ(sett->KorStyle->ItemIndex(), -1);
    EXPECT_EQ(sett->Sound_Box->ItemCount(), 0);
    EXPECT_FALSE(sett->Back_sound->Checked());
    EXPECT_FALSE(sett->Sound_Box->Enabled());
    EXPECT_FALSE(sett->SavePage->Checked());
}

TEST_F(SettingsTest, ShowSelectsFirstItemsWhenTheStoredOnesAreGone) {
    WriteBook();
    WriteBookFile("Styles/Blue/face.dat", "x");
    WriteBookFile("Styles/Red/face.dat", "x");
    WriteBookFile("BackSound/a.mp3", "mp3");
    WriteBookFile("BackSound/b.mp3", "mp3");
    WriteViewerValue("Style", "Removed");
    WriteViewerValue("BackSound", "gone");
    WriteViewerValue("LastPage", "Enabled");
    StartAndShow();
    EXPECT_EQ(sett->KorStyle->ItemIndex(), 0);
    EXPECT_EQ(sett->Sound_Box->ItemIndex(), 0);
    EXPECT_TRUE(sett->SavePage->Checked());
}

TEST_F(SettingsTest, StoredTextStyleIndexOutsideTheStylesSelectsNothingAndApplyKeepsIt) {
    WriteBook();
    Start();
    IntConfig.TextStyleIndex = 7;
    sett->Show();
    EXPECT_EQ(sett->textstyle->ItemIndex(), -1);
    Apply();
    EXPECT_EQ(IntConfig.TextStyleIndex, 7);
    EXPECT_EQ(ReadBookFile("data/style.css"), "original");
}

// ---- the dialog as designed ----

TEST_F(SettingsTest, OnlyBackgroundTitleStripAndCloseBoxLieInsideTheDialog) {
    WriteBook();
    StartAndShow();
    EXPECT_EQ(sett->ClientWidth(), 400);
    EXPECT_EQ(sett->ClientHeight(), 300);
    for (forms::TControl* inside : std::initializer_list<forms::TControl*>{sett->bg, sett->Image2, sett->Image6})
        EXPECT_FALSE(inside->VisibleFormRect().IsEmpty()) << inside->Name();
    for (forms::TControl* outside : std::initializer_list<forms::TControl*>{
             sett->fontsize, sett->textstyle, sett->KorStyle, sett->Sound_Box, sett->Back_sound, sett->SavePage,
             sett->Image1, sett->Image7, sett->Image8})
        EXPECT_TRUE(outside->VisibleFormRect().IsEmpty()) << outside->Name();
    // The Cancel hover zone reaches 30 pixels into the dialog.
    EXPECT_EQ(sett->Image4->VisibleFormRect().Height(), 30);
    EXPECT_FALSE(sett->Image3->Visible());
    EXPECT_FALSE(sett->Image5->Visible());
}

TEST_F(SettingsTest, HoverZonesSwapTheOkAndCancelPictures) {
    WriteBook();
    StartAndShow();
    sett->Image1MouseMove(sett->Image1, 0, 1, 1);
    EXPECT_TRUE(sett->Image3->Visible());
    EXPECT_FALSE(sett->Image5->Visible());
    Backend().MouseMove(*sett, 340, 290);  // the part of Image4 inside the dialog
    EXPECT_TRUE(sett->Image5->Visible());
    EXPECT_FALSE(sett->Image3->Visible());
    Backend().MouseMove(*sett, 100, 100);
    EXPECT_FALSE(sett->Image3->Visible());
    EXPECT_FALSE(sett->Image5->Visible());
}

TEST_F(SettingsTest, LabelZonesToggleTheCheckBoxesAndMusicGatesTheTrackList) {
    WriteBook();
    StartAndShow();
    sett->Image8Click(sett->Image8);
    EXPECT_TRUE(sett->Back_sound->Checked());
    EXPECT_TRUE(sett->Sound_Box->Enabled());
    sett->Image8Click(sett->Image8);
    EXPECT_FALSE(sett->Sound_Box->Enabled());
    sett->Image7Click(sett->Image7);
    EXPECT_TRUE(sett->SavePage->Checked());
}

TEST_F(SettingsTest, OnlyTheTitleStripDragsTheDialog) {
    WriteBook();
    StartAndShow();
    Backend().MouseDown(*sett, 100, 100);  // the background
    EXPECT_FALSE(Backend().WindowOf(*sett)->MoveDragging);
    Backend().MouseUp(*sett, 100, 100);
    Backend().MouseDown(*sett, 100, 5);
    EXPECT_TRUE(Backend().WindowOf(*sett)->MoveDragging);
    EXPECT_EQ(sett->CaptureControl(), nullptr);  // the system's move takes the mouse
    Backend().FinishMoveDrag(*sett, 200, 150);
    EXPECT_EQ(sett->Left(), 200);
    EXPECT_EQ(sett->Top(), 150);
}

TEST_F(SettingsTest, ShowHidesThePausePictureOnlyWhileTheMusicIsPaused) {
    WriteBook();
    WriteBookFile("BackSound/rain.mp3", "mp3");
    WriteViewerValue("BackSound", "rain");
    Start();
    for (bool paused : {false, true}) {
        Form1->Sound_pause->Show();
        if (paused) Form1->music_but->Pause();
        sett->Show();
        Pump();
        EXPECT_EQ(Form1->Sound_pause->Visible(), !paused) << paused;
        sett->Image5Click(sett->Image5);
    }
}

TEST_F(SettingsTest, CloseBoxHidesTheDialog) {
    WriteBook();
    StartAndShow();
    Backend().Click(*sett, 385, 5);
    Pump();
    EXPECT_FALSE(sett->Visible());
    EXPECT_FALSE(Terminated());
}

// ---- apply: text style and size ----

TEST_F(SettingsTest, LargeSizeCopiesTheChosenStylesLargeSheetAndStoresTheIndex) {
    WriteBook();
    StartAndShow();
    sett->textstyle->SetItemIndex(1);
    sett->fontsize->SetItemIndex(1);
    Apply();
    EXPECT_EQ(ReadBookFile("data/style.css"), "serif_l.css");
    EXPECT_EQ(IntConfig.TextStyleIndex, 1);
    EXPECT_EQ(StoredStyleIndex(), 1);
    EXPECT_FALSE(sett->Visible());
    EXPECT_TRUE(Form1->Timer1->Enabled());
}

TEST_F(SettingsTest, MediumSizeCopiesTheMediumSheet) {
    WriteBook();
    StartAndShow();
    sett->textstyle->SetItemIndex(0);
    sett->fontsize->SetItemIndex(0);
    Apply();
    EXPECT_EQ(ReadBookFile("data/style.css"), "plain_m.css");
    EXPECT_EQ(StoredStyleIndex(), 0);
}

// ---- apply: last page ----

TEST_F(SettingsTest, SavePageStoresEnabledAndClearingItStoresEmpty) {
    WriteBook();
    StartAndShow();
    sett->SavePage->SetChecked(true);
    Apply();
    EXPECT_EQ(ReadViewerValue("LastPage"), "Enabled");
    sett->Show();
    EXPECT_TRUE(sett->SavePage->Checked());
    sett->SavePage->SetChecked(false);
    Apply();
    EXPECT_EQ(ReadViewerValue("LastPage"), "");
}

// ---- apply: skin style ----

TEST_F(SettingsTest, UnchangedSkinStyleTouchesNoFileAndKeepsTheButtons) {
    WriteBook();
    WriteBookFile("Styles/Blue/face.dat", "style picture file");
    WriteViewerValue("Style", "Blue");
    StartAndShow();
    const std::vector<forms::TImage*> before = ButtonImages;
    const std::string face = ReadBookFile("face.dat");
    Apply();
    EXPECT_EQ(ReadBookFile("face.dat"), face);
    EXPECT_EQ(ButtonImages, before);
    EXPECT_EQ(ReadViewerValue("Style"), "Blue");
}

TEST_F(SettingsTest, ChangedSkinStyleReplacesNamesakesInEverySubfolderAndRebuildsTheButtons) {
    WriteBook(1);
    // The style's skin has three buttons; its files replace only files the program already has.
    WriteBook(3, "blue.ncf");
    WriteBook(1);
    fs::create_directories(Book() + "Styles/Blue/data/inner");
    fs::rename(Book() + "blue.ncf", Book() + "Styles/Blue/config.ncf");
    WriteBookFile("Styles/Blue/data/index.html", "<html><body>blue index</body></html>");
    WriteBookFile("Styles/Blue/data/inner/deep.txt", "blue deep");
    WriteBookFile("data/inner/deep.txt", "own deep");
    WriteBookFile("Styles/Blue/extra.txt", "no namesake");
    WriteBookFile("Styles/Blue/Other/x.txt", "no namesake folder");
    WriteBookFile("Styles/Plain/config.ncf", "x");
    WriteViewerValue("Style", "Plain");
    StartAndShow();
    ASSERT_EQ(Buttons.size(), 1u);
    const size_t componentsBefore = size_t(Form1->ComponentCount());

    sett->KorStyle->SetItemIndex(0);
    ASSERT_EQ(sett->KorStyle->Text(), "Blue");
    Apply();

    EXPECT_EQ(ReadBookFile("data/index.html"), "<html><body>blue index</body></html>");
    EXPECT_EQ(ReadBookFile("data/inner/deep.txt"), "blue deep");
    EXPECT_FALSE(BookFileExists("extra.txt"));
    EXPECT_FALSE(BookFileExists("Other"));
    EXPECT_EQ(Buttons.size(), 3u);
    ASSERT_EQ(ButtonImages.size(), 3u);
    for (forms::TImage* image : ButtonImages) EXPECT_EQ(image->Owner(), Form1);
    // One picture and four holders per button: the old button's five are gone.
    EXPECT_EQ(size_t(Form1->ComponentCount()), componentsBefore - 5 + 3 * 5);
    EXPECT_EQ(ReadViewerValue("Style"), "Blue");
    EXPECT_TRUE(dialogs_.Log().empty());
}

TEST_F(SettingsTest, StyleFolderNamingAFileAsFolderLeavesTheProgramsFileInPlace) {
    WriteBook();
    WriteBookFile("Styles/Blue/face.dat/inner.txt", "a folder where the program has a file");
    WriteBookFile("Styles/Blue/data/style.css", "blue sheet");
    StartAndShow();
    const std::string face = ReadBookFile("face.dat");
    sett->KorStyle->SetItemIndex(0);
    Apply();
    EXPECT_EQ(ReadBookFile("face.dat"), face);
    EXPECT_EQ(ReadBookFile("data/style.css"), "blue sheet");
    EXPECT_EQ(ReadViewerValue("Style"), "Blue");
}

TEST_F(SettingsTest, F12ShowsAndFillsTheDialog) {
    WriteBook();
    WriteBookFile("Styles/Blue/face.dat", "x");
    Start();
    ASSERT_FALSE(sett->Visible());
    Backend().KeyDown(*Form1, forms::VK_F12);
    Pump();
    EXPECT_TRUE(sett->Visible());
    EXPECT_EQ(sett->KorStyle->Text(), "Blue");
    EXPECT_FALSE(Form1->Timer1->Enabled());
}

TEST_F(SettingsTest, ButtonsDestroyEmptiesBothTables) {
    WriteBook(2);
    StartAndShow();
    const size_t componentsBefore = size_t(Form1->ComponentCount());
    sett->Buttons_Destroy();
    EXPECT_TRUE(Buttons.empty());
    EXPECT_TRUE(ButtonImages.empty());
    EXPECT_EQ(size_t(Form1->ComponentCount()), componentsBefore - 2 * 5);
}

TEST_F(SettingsTest, StyleFilesWithMissingFoldersChangeNothing) {
    WriteBook();
    Start();
    StyleSrc = BookWin() + "Styles\\Nothing\\";
    StyleDst = BookWin();
    const std::string face = ReadBookFile("face.dat");
    ApplyStyleFiles();
    EXPECT_EQ(ReadBookFile("face.dat"), face);
    EXPECT_TRUE(dialogs_.Log().empty());
}

// ---- apply: music ----

TEST_F(SettingsTest, MusicOffStoresNoTrackHidesTheSoundControlsAndClosesThePlayer) {
    WriteBook();
    WriteBookFile("BackSound/rain.mp3", "mp3");
    WriteViewerValue("BackSound", "rain");
    StartAndShow();
    ASSERT_NE(Player(), nullptr);
    ASSERT_TRUE(Player()->IsPlaying());
    sett->Back_sound->SetChecked(false);
    Apply();
    EXPECT_EQ(ReadViewerValue("BackSound"), "");
    for (forms::TImage* picture : {Form1->Sound_fon, Form1->sound_but, Form1->Sound_play, Form1->Sound_pause})
        EXPECT_FALSE(picture->Visible()) << picture->Name();
    EXPECT_FALSE(Player()->IsOpen());
    EXPECT_EQ(Form1->music_but->Mode(), forms::mpNotReady);
    EXPECT_TRUE(restarts_.empty());
    EXPECT_FALSE(Terminated());
}

TEST_F(SettingsTest, MusicOnStoresTheTrackPlaysItAndRestartsAfterTheValuesAreWritten) {
    WriteBook();
    WriteBookFile("BackSound/birds.mp3", "mp3");
    WriteBookFile("BackSound/rain.mp3", "mp3");
    StartAndShow();
    ASSERT_TRUE(StartedFile.IsOpen());
    sett->Back_sound->SetChecked(true);
    sett->Sound_Box->SetItemIndex(1);
    Apply();

    EXPECT_EQ(ReadViewerValue("BackSound"), "rain");
    ASSERT_NE(Player(), nullptr);
    EXPECT_TRUE(Player()->IsPlaying());
    EXPECT_NE(Player()->OpenedPath().find("BackSound/rain.mp3"), std::string::npos);
    EXPECT_TRUE(Terminated());
    ASSERT_EQ(restarts_.size(), 1u);
    EXPECT_EQ(restarts_[0].Program, rtl::ParamStr0());
    // The new copy finds the track stored and "started.dat" released.
    EXPECT_EQ(restarts_[0].BackSoundSeen, "rain");
    EXPECT_TRUE(restarts_[0].GuardFree);
}

TEST_F(SettingsTest, MusicOnRestartsEvenWhenNothingAboutTheMusicChanged) {
    WriteBook();
    WriteBookFile("BackSound/rain.mp3", "mp3");
    WriteViewerValue("BackSound", "rain");
    StartAndShow();
    Apply();
    EXPECT_EQ(restarts_.size(), 1u);
    EXPECT_EQ(ReadViewerValue("BackSound"), "rain");
}

TEST_F(SettingsTest, UnplayableTrackReportsAndStillRestartsWithTheOldValues) {
    WriteBook();
    WriteBookFile("BackSound/rain.mp3", "mp3");
    StartAndShow();
    sett->Back_sound->SetChecked(true);
    media::FakeMediaPeer::FailNextOpen("cannot play");
    EXPECT_THROW(Apply(), forms::EMCIDeviceError);
    EXPECT_EQ(ReadViewerValue("BackSound"), "<no value>");
    ASSERT_EQ(restarts_.size(), 1u);
    EXPECT_TRUE(restarts_[0].GuardFree);
}

// A newly chosen track plays at the slider's volume, the same track at full volume. When reopening the
// page pauses the music (a page with clips), the slider's knob position becomes the volume to come
// back to and the pause picture goes.
TEST_F(SettingsTest, ApplySetsTheMusicVolumeFromTheSlider) {
    WriteBook();
    WriteBookFile("BackSound/birds.mp3", "mp3");
    WriteBookFile("BackSound/rain.mp3", "mp3");
    WritePage("clip.html", "<a href=\"film.avi\">film</a>");
    WriteViewerValue("BackSound", "rain");
    Start();
    const struct {
        const char* track;
        const char* page;
        long volume;  // of the player, 0..1000
        int32_t volumePos;
        bool pauseShown;
    } cases[] = {
        {"rain", "index.html", 1000, 420, true},
        {"birds", "index.html", 420, 420, true},
        {"rain", "clip.html", 1000, 75, false},
    };
    for (const auto& c : cases) {
        WriteViewerValue("BackSound", "rain");
        Form1->OpenPage(c.page);
        sett->Show();
        Pump();
        sett->Sound_Box->SetItemIndex(c.track == std::string("rain") ? 1 : 0);
        VolumePos = 420;
        Form1->Sound_fon->SetBounds(100, Form1->Sound_fon->Top(), 100, Form1->Sound_fon->Height());
        Form1->sound_but->SetLeft(108);  // 8 pixels of a 100-pixel track: 10 * 8 - 5
        Apply();
        ASSERT_NE(Player(), nullptr);
        EXPECT_EQ(std::lround(Player()->Volume() * 1000), c.volume) << c.track << " " << c.page;
        EXPECT_EQ(VolumePos, c.volumePos) << c.track << " " << c.page;
        EXPECT_EQ(Form1->Sound_pause->Visible(), c.pauseShown) << c.track << " " << c.page;
    }
}

// ---- cancel ----

TEST_F(SettingsTest, CancelLeavesEverythingAsItWas) {
    WriteBook();
    WriteBookFile("Styles/Blue/face.dat", "blue");
    WriteBookFile("BackSound/rain.mp3", "mp3");
    StartAndShow();
    const std::string face = ReadBookFile("face.dat");
    const std::vector<forms::TImage*> buttons = ButtonImages;
    sett->textstyle->SetItemIndex(1);
    sett->fontsize->SetItemIndex(1);
    sett->SavePage->SetChecked(true);
    sett->Back_sound->SetChecked(true);
    sett->Image5Click(sett->Image5);
    Pump();
    EXPECT_FALSE(sett->Visible());
    EXPECT_EQ(ReadBookFile("data/style.css"), "original");
    EXPECT_FALSE(BookFileExists("intcfg.dat"));
    for (const char* name : {"LastPage", "BackSound", "Style"}) EXPECT_EQ(ReadViewerValue(name), "<no value>") << name;
    EXPECT_EQ(ReadBookFile("face.dat"), face);
    EXPECT_EQ(ButtonImages, buttons);
    EXPECT_TRUE(restarts_.empty());
    // The main window's timer stays off until an apply.
    EXPECT_FALSE(Form1->Timer1->Enabled());
}

// ---- apply: the page and the volume ----

TEST_F(SettingsTest, ApplyReopensTheCurrentPage) {
    WriteBook();
    StartAndShow();
    Form1->OpenPage("index.html");
    const size_t loads = LoadCount();
    Apply();
    EXPECT_EQ(LoadCount(), loads + 1);
    EXPECT_TRUE(ShowsComposedPage());
    EXPECT_EQ(CurrentDoc.Path, "index.html");
    EXPECT_FALSE(Terminated());
}

TEST_F(SettingsTest, ApplyBeforeAnyPageWasShownKeepsTheViewerOpen) {
    WriteBook();
    StartAndShow();
    CurrentDoc = {};
    Apply();
    EXPECT_FALSE(Terminated());
    EXPECT_TRUE(Form1->Visible());
}

}  // namespace
}  // namespace viewertest
