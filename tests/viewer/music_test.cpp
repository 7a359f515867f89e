// Background music, clips and volume of the main window, with the scripted media devices: the
// music start, pages with clips, the repeat at the end of the track, the play and pause pictures,
// activation, the volume slider, the wave-out volume, mute and the held volume buttons.
#include "tests/viewer/main_fixture.h"

#include "platform/forms/application.h"
#include "platform/media/fake_media.h"
#include "platform/rtl/codepage.h"
#include "viewer/forms.h"

namespace viewertest {
namespace {

using namespace viewer;

class MusicTest : public ViewerTest {
protected:
    void SetUp() override {
        ViewerTest::SetUp();
        fakes_ = media::UseFakeMedia();
        WritePage("index.html", "index");
        WritePage("frew.html", "bye");
        WritePage("clip.html", "<a href=\"film.avi\">film</a>");
        WriteBookFile("data/clips/film.avi", "RIFF....AVI ");
        WriteBookFile("BackSound/theme.mp3", "ID3");
    }
    // Starts the viewer with the given background track ("" = music off) and skin buttons.
    void StartWith(const std::string& track, std::vector<std::string> buttons = {}) {
        buttons.insert(buttons.begin(), Button("html", "index.html", 10));
        WriteSkin(buttons);
        WriteViewerValue("BackSound", track);
        Start();
    }
    media::FakeMediaPeer* Device() { return media::FakeMediaPeer::Of(*Form1->music_but); }
    TMPModes Mode() { return Form1->music_but->Mode(); }
    void ClickControl(forms::TControl* control) {
        forms::TRect r = control->FormRect();
        Backend().Click(*Form1, r.Left + 2, r.Top + 2);
        Pump();
    }
    void SwitchApplication(bool active) {
        Backend().ActivateWindow(*Form1, active);
        Pump();
    }
    std::vector<forms::TImage*> SoundPictures() {
        return {Form1->Sound_fon, Form1->sound_but, Form1->Sound_play, Form1->Sound_pause};
    }
    // The wave-out volume of the fake device, as (left, right).
    std::pair<int, int> Wave() {
        return {media::LeftVolume(fakes_.waveVolume->Volume), media::RightVolume(fakes_.waveVolume->Volume)};
    }
    void SetWave(uint16_t left, uint16_t right) { fakes_.waveVolume->Volume = media::PackVolume(left, right); }

    media::FakeMedia fakes_;
};

// ---- music start ----

TEST_F(MusicTest, StoredTrackPlaysFromTheBackSoundFolderWithOnlyThePausePicture) {
    StartWith("theme");
    ASSERT_NE(Device(), nullptr);
    EXPECT_EQ(Device()->OpenedPath(), Book() + "BackSound/theme.mp3");
    EXPECT_TRUE(Device()->IsPlaying());
    EXPECT_EQ(Mode(), mpPlaying);
    EXPECT_EQ(MusicEnabled, 1);
    EXPECT_TRUE(Form1->Sound_pause->Visible());
    EXPECT_FALSE(Form1->Sound_play->Visible());
    EXPECT_TRUE(Form1->Sound_fon->Visible());
    EXPECT_TRUE(dialogs_.Log().empty());
}

TEST_F(MusicTest, StartLeavesPlayingOrPausedMusicAloneAndAnEmptyTrackClosesIt) {
    StartWith("theme");
    Device()->ClearCommands();
    Form1->StartBackgroundMusic();
    Form1->music_but->Pause();
    Form1->StartBackgroundMusic();
    EXPECT_EQ(Device()->Commands(), std::vector<std::string>{"pause"});
    WriteViewerValue("BackSound", "");
    Form1->StartBackgroundMusic();
    EXPECT_EQ(Mode(), mpNotReady);
    EXPECT_FALSE(Device()->IsOpen());
    EXPECT_FALSE(Form1->Sound_pause->Visible());
}

TEST_F(MusicTest, NoTrackOpensNothing) {
    StartWith("");
    EXPECT_EQ(Device(), nullptr);
    EXPECT_EQ(MusicEnabled, 0);
    for (forms::TImage* picture : SoundPictures()) EXPECT_FALSE(picture->Visible());
}

TEST_F(MusicTest, MissingTrackIsReportedOnceAndLaterSoundEventsStayQuiet) {
    StartWith("gone");
    ASSERT_EQ(dialogs_.Log().size(), 1u);
    EXPECT_EQ(dialogs_.Log()[0].Text.find(forms::sMCIFileNotFound), 0u);
    EXPECT_EQ(Mode(), mpNotReady);
    EXPECT_EQ(StartedOnce, 0);
    EXPECT_EQ(CurrentDoc.Path, "index.html");  // the start itself went through
    SwitchApplication(true);
    SwitchApplication(false);
    SwitchApplication(true);
    ClickControl(Form1->Sound_pause);
    Form1->OpenPage("clip.html");
    Form1->OpenPage("index.html");
    Form1->music_but->NotifyValue = nvSuccessful;
    Form1->music_butNotify(Form1->music_but);
    EXPECT_EQ(dialogs_.Log().size(), 1u);
    EXPECT_EQ(Mode(), mpNotReady);
}

TEST_F(MusicTest, MusicVolumeGoesToTheOpenMediumOnly) {
    StartWith("");
    EXPECT_EQ(Form1->GetMusicVolume(Form1->music_but), 0);
    Form1->SetMusicVolume(Form1->music_but, 300);  // nothing open: nothing happens
    WriteViewerValue("BackSound", "theme");
    Form1->StartBackgroundMusic();
    EXPECT_EQ(Form1->GetMusicVolume(Form1->music_but), 1000);
    Form1->SetMusicVolume(Form1->music_but, 300);
    EXPECT_EQ(Form1->GetMusicVolume(Form1->music_but), 300);
    EXPECT_DOUBLE_EQ(Device()->Volume(), 0.3);
}

// ---- pages with clips ----

TEST_F(MusicTest, ClipExtensionsCountOnlyInsideDoubleQuotesAndInSmallLetters) {
    StartWith("");
    struct Case {
        const char* text;
        bool clip;
    } cases[] = {
        {"<a href=\"a.avi\">", true},     {"<embed src=\"b.mpeg\">", true}, {"<a href=\"c.mov\">", true},
        {"<a href=\"d.mpg\">", true},     {"<a href=\"a.AVI\">", false},    {"<a href=\"a.Mpg\">", false},
        {"<a href='a.avi'>", false},      {"a.avi is a clip", false},       {"<a href=\"a.mp4\">", false},
        {"<a href=\"a.avi\r\n\">", false},  // the lines are joined with a space
    };
    for (const Case& c : cases) {
        WriteBookFile("data/probe.html", std::string("<html>") + c.text + "</html>\r\n");
        EXPECT_EQ(Form1->PageHasVideo("probe.html"), c.clip) << c.text;
    }
}

TEST_F(MusicTest, ClipPageNamesAreTakenFromBehindTheDataFolder) {
    StartWith("");
    WritePage("sub/clip.html", "<a href=\"x.mov\">");
    EXPECT_TRUE(Form1->PageHasVideo("sub\\clip.html"));
    EXPECT_TRUE(Form1->PageHasVideo(BookWin() + "data\\sub\\clip.html"));
    EXPECT_FALSE(Form1->PageHasVideo("missing.html"));
    EXPECT_FALSE(Form1->PageHasVideo(""));
    // A file outside the data folder is not read from a wrong place.
    WriteBookFile("outside.html", "<a href=\"x.avi\">");
    EXPECT_FALSE(Form1->PageHasVideo(BookWin() + "outside.html"));
}

TEST_F(MusicTest, PageWithClipsPausesTheMusicAndThePageAfterResumesIt) {
    StartWith("theme");
    Form1->OpenPage("clip.html");
    EXPECT_EQ(Mode(), mpPaused);
    EXPECT_FALSE(Device()->IsPlaying());
    for (forms::TImage* picture : SoundPictures()) EXPECT_FALSE(picture->Enabled());
    EXPECT_TRUE(Form1->Sound_pause->Visible());
    EXPECT_TRUE(Form1->Sound_fon->Visible());
    Form1->OpenPage("index.html");
    EXPECT_EQ(Mode(), mpPlaying);
    EXPECT_TRUE(Device()->IsPlaying());
    for (forms::TImage* picture : SoundPictures()) EXPECT_TRUE(picture->Enabled());
}

TEST_F(MusicTest, MusicTheReaderPausedStaysPausedAcrossPages) {
    StartWith("theme");
    ClickControl(Form1->Sound_pause);
    ASSERT_EQ(Mode(), mpPaused);
    Form1->OpenPage("clip.html");
    for (forms::TImage* picture : SoundPictures()) EXPECT_TRUE(picture->Enabled());
    Form1->OpenPage("index.html");
    EXPECT_EQ(Mode(), mpPaused);
}

TEST_F(MusicTest, FarewellPageIsNotCheckedForClips) {
    StartWith("theme");
    WritePage("frew_clips.html", "<a href=\"x.avi\">");
    Form1->OpenPage("frew_clips.html");
    EXPECT_EQ(Mode(), mpPlaying);
}

// ---- repeat ----

TEST_F(MusicTest, TrackStartsOverAtItsEndOnly) {
    StartWith("theme");
    ASSERT_TRUE(Device()->Advance(20000));
    ASSERT_TRUE(Device()->FinishMedium());
    EXPECT_EQ(Mode(), mpStopped);
    Pump();
    EXPECT_EQ(Mode(), mpPlaying);
    EXPECT_TRUE(Device()->IsPlaying());
    EXPECT_EQ(Device()->PositionMs(), 0);
    ASSERT_TRUE(Device()->FinishMedium());
    Pump();
    EXPECT_TRUE(Device()->IsPlaying());
    // Reports of interrupted commands and of failures start nothing.
    ClickControl(Form1->Sound_pause);
    Pump();
    EXPECT_EQ(Mode(), mpPaused);
    ClickControl(Form1->Sound_play);
    ASSERT_TRUE(Device()->FailPlayback());
    Pump();
    EXPECT_EQ(Mode(), mpStopped);
    EXPECT_FALSE(Device()->IsPlaying());
}

TEST_F(MusicTest, ReportForAMediumClosedMeanwhileDoesNothing) {
    StartWith("theme");
    ASSERT_TRUE(Device()->FinishMedium());
    Form1->music_but->Close();
    Pump();
    EXPECT_EQ(Mode(), mpNotReady);
    EXPECT_TRUE(dialogs_.Log().empty());
}

// ---- play and pause pictures ----

TEST_F(MusicTest, PauseAndPlayPicturesSwapAndDriveThePlayer) {
    StartWith("theme");
    ClickControl(Form1->Sound_pause);
    EXPECT_EQ(Mode(), mpPaused);
    EXPECT_FALSE(Form1->Sound_pause->Visible());
    EXPECT_TRUE(Form1->Sound_play->Visible());
    ClickControl(Form1->Sound_play);
    EXPECT_EQ(Mode(), mpPlaying);
    EXPECT_TRUE(Form1->Sound_pause->Visible());
    EXPECT_FALSE(Form1->Sound_play->Visible());
}

TEST_F(MusicTest, PicturesDoNothingInTheWrongMode) {
    StartWith("theme");
    Form1->Sound_playClick(Form1->Sound_play);  // playing: no play
    EXPECT_FALSE(Form1->Sound_play->Visible());
    EXPECT_TRUE(Form1->Sound_pause->Visible());
    Form1->music_but->Stop();
    Form1->Sound_pauseClick(Form1->Sound_pause);  // stopped: no pause
    EXPECT_TRUE(Form1->Sound_pause->Visible());
    EXPECT_EQ(Mode(), mpStopped);
}

// ---- activation ----

TEST_F(MusicTest, MusicPausesWhileAnotherApplicationIsActive) {
    StartWith("theme");
    SwitchApplication(true);
    EXPECT_EQ(Mode(), mpPlaying);
    SwitchApplication(false);
    EXPECT_EQ(Mode(), mpPaused);
    EXPECT_TRUE(Form1->Sound_pause->Visible());
    EXPECT_FALSE(Form1->Sound_play->Visible());
    SwitchApplication(true);
    EXPECT_EQ(Mode(), mpPlaying);
}

TEST_F(MusicTest, MusicTheReaderPausedStaysPausedAcrossActivation) {
    StartWith("theme");
    SwitchApplication(true);
    ClickControl(Form1->Sound_pause);
    SwitchApplication(false);
    SwitchApplication(true);
    EXPECT_EQ(Mode(), mpPaused);
}

TEST_F(MusicTest, MusicAPageWithClipsPausedWaitsForAPageWithoutClips) {
    StartWith("theme");
    SwitchApplication(true);
    Form1->OpenPage("clip.html");
    SwitchApplication(false);
    SwitchApplication(true);
    EXPECT_EQ(Mode(), mpPaused);
    Form1->OpenPage("index.html");
    EXPECT_EQ(Mode(), mpPlaying);
}

// ---- volume slider ----

class SliderTest : public MusicTest {
protected:
    void SetUp() override {
        MusicTest::SetUp();
        StartWith("theme");
        Form1->Sound_fon->SetBounds(100, 8, 120, 10);
        Form1->sound_but->SetBounds(150, 5, 10, 16);
    }
    void Press() { Backend().MouseDown(*Form1, Form1->sound_but->Left() + 5, 10); }
    void MoveTo(int x) { Backend().MouseMove(*Form1, x, 10); }
    void Release(int x) { Backend().MouseUp(*Form1, x, 10); }
    int Knob() { return Form1->sound_but->Left() - Form1->Sound_fon->Left(); }
};

TEST_F(SliderTest, KnobTenPixelsRightOfTheTrackGivesSeventyFive) {
    Press();
    EXPECT_EQ(SliderDragging, 1);
    MoveTo(115);
    EXPECT_EQ(Knob(), 10);
    EXPECT_EQ(VolumePos, 75);
    EXPECT_EQ(Form1->GetMusicVolume(Form1->music_but), 75);
    Release(115);
    EXPECT_EQ(SliderDragging, 0);
}

TEST_F(SliderTest, KnobStaysStrictlyInsideTheTrack) {
    Press();
    MoveTo(106);  // as far left as it goes
    EXPECT_EQ(Knob(), 1);
    EXPECT_EQ(VolumePos, 3);
    EXPECT_EQ(Form1->GetMusicVolume(Form1->music_but), 0);
    MoveTo(105);
    EXPECT_EQ(Knob(), 1);
    MoveTo(400);
    EXPECT_EQ(Knob(), 1);  // a jump beyond the right end does not move it
    MoveTo(214);
    EXPECT_EQ(Knob(), 109);
    EXPECT_EQ(VolumePos, 867);
    MoveTo(215);
    EXPECT_EQ(Knob(), 109);
    EXPECT_EQ(Form1->GetMusicVolume(Form1->music_but), 867);
}

TEST_F(SliderTest, OnlyADraggedKnobMoves) {
    const int32_t before = VolumePos;
    MoveTo(155);
    MoveTo(130);
    EXPECT_EQ(Knob(), 50);
    EXPECT_EQ(VolumePos, before);
    Press();
    Release(155);
    MoveTo(130);
    EXPECT_EQ(Knob(), 50);
    EXPECT_EQ(Form1->GetMusicVolume(Form1->music_but), 1000);
}

TEST_F(SliderTest, TracksWithoutWidthOrWiderThanAThousandPixels) {
    const int32_t before = VolumePos;
    SliderDragging = 1;
    Form1->Sound_fon->SetBounds(100, 8, 0, 10);
    Form1->sound_butMouseMove(Form1->sound_but, 0, 3, 3);
    EXPECT_EQ(VolumePos, before);
    EXPECT_EQ(Knob(), 50);
    Form1->Sound_fon->SetBounds(100, 8, 2000, 10);
    Form1->sound_butMouseMove(Form1->sound_but, 0, -35, 3);  // pointer at 115
    EXPECT_EQ(Knob(), 10);
    EXPECT_EQ(VolumePos, 5);
    EXPECT_EQ(Form1->GetMusicVolume(Form1->music_but), 5);
}

// ---- clips ----

TEST_F(MusicTest, ClipReplacesTheMusicInTheCentredVideoRectangle) {
    StartWith("theme");
    Form1->videocenter->SetBounds(130, 40, 800, 600);
    Form1->PlayVideo("clips\\film.avi");
    EXPECT_EQ(Device()->OpenedPath(), Book() + "data/clips/film.avi");
    EXPECT_EQ(Device()->Display(), Form1->videocenter);
    EXPECT_EQ(Device()->DisplayRect(), forms::Bounds(80, 60, 640, 480));
    EXPECT_EQ(Form1->music_but->DisplayRect(), (forms::TRect{80, 60, 640, 480}));
    EXPECT_TRUE(Device()->IsPlaying());
    EXPECT_EQ(CurrentDoc.Path, "clips\\film.avi");
    EXPECT_EQ(CurrentDoc.IsVideo, 1);
    EXPECT_TRUE(Form1->videocenter->Visible());
    EXPECT_GE(Form1->datacenter->Left(), 2000);
    // A second clip leaves the browser where it is.
    int left = Form1->datacenter->Left();
    Form1->PlayVideo("clips\\film.avi");
    EXPECT_EQ(Form1->datacenter->Left(), left);
}

TEST_F(MusicTest, ClipInADesignSizedPanelFillsIt) {
    StartWith("");
    Form1->PlayVideo("clips\\film.avi");
    EXPECT_EQ(Device()->DisplayRect(), forms::Bounds(0, 0, 640, 480));
}

TEST_F(MusicTest, FinishedClipIsNotStartedOver) {
    StartWith("theme");
    Form1->PlayVideo("clips\\film.avi");
    ASSERT_TRUE(Device()->FinishMedium());
    Pump();
    EXPECT_EQ(Mode(), mpStopped);
    EXPECT_FALSE(Device()->IsPlaying());
}

TEST_F(MusicTest, ClipThatCannotBeOpenedLeavesThePanelShown) {
    StartWith("theme", {Button("avi", "clips\\none.avi", 60)});
    Form1->testbuttonClick(ButtonImages[1]);
    ASSERT_EQ(dialogs_.Log().size(), 1u);
    EXPECT_EQ(dialogs_.Log()[0].Text,
              rtl::Ru("Не удается открыть страницу. Пожалуйста, переустановите приложение."));
    EXPECT_TRUE(Form1->videocenter->Visible());
    EXPECT_GE(Form1->datacenter->Left(), 2000);
    EXPECT_EQ(CurrentDoc.Path, "index.html");
    Form1->OpenPage("index.html");
    EXPECT_FALSE(Form1->videocenter->Visible());
    EXPECT_LT(Form1->datacenter->Left(), 2000);
}

// ---- wave-out volume ----

class WaveTest : public MusicTest {
protected:
    void SetUp() override {
        MusicTest::SetUp();
        StartWith("", {Button("mute", "", 60), Button("volumeup", "", 110), Button("volumedown", "", 160)});
    }
    void Hold(size_t button, int ms) {
        forms::TRect r = ButtonImages.at(button)->FormRect();
        Backend().MouseDown(*Form1, r.Left + 1, r.Top + 1);
        Backend().Advance(ms);
        Backend().MouseUp(*Form1, r.Left + 1, r.Top + 1);
        Pump();
    }
};

TEST_F(WaveTest, StepsClampEachChannel) {
    SetWave(60000, 60000);
    Form1->WaveVolumeUp();
    EXPECT_EQ(Wave(), std::make_pair(65535, 65535));
    SetWave(2000, 8000);
    Form1->WaveVolumeDown();
    EXPECT_EQ(Wave(), std::make_pair(0, 1500));
    SetWave(100, 65535);
    VolumeStep = 65535;
    Form1->WaveVolumeUp();
    EXPECT_EQ(Wave(), std::make_pair(65535, 65535));
    Form1->WaveVolumeDown();
    EXPECT_EQ(Wave(), std::make_pair(0, 0));
}

TEST_F(WaveTest, MuteSavesTheVolumeAndGivesItBack) {
    SetWave(0, 0);
    ClickControl(ButtonImages[1]);
    EXPECT_EQ(Wave(), std::make_pair(0, 0));
    SetWave(0, 4000);
    ClickControl(ButtonImages[1]);
    EXPECT_EQ(Wave(), std::make_pair(0, 0));
    EXPECT_EQ(SavedWaveVolume, media::PackVolume(0, 4000));
    ClickControl(ButtonImages[1]);
    EXPECT_EQ(Wave(), std::make_pair(0, 4000));
}

TEST_F(WaveTest, UnreachableDeviceChangesNothingAndReportsNothing) {
    fakes_.waveVolume->Fail = true;
    Form1->WaveVolumeUp();
    Form1->WaveVolumeDown();
    Form1->ToggleMute();
    EXPECT_EQ(fakes_.waveVolume->Sets, 0);
    EXPECT_EQ(SavedWaveVolume, 0u);
    EXPECT_TRUE(dialogs_.Log().empty());
}

TEST_F(WaveTest, HeldButtonsRepeatSmallStepsAndTheReleaseAddsAFullOne) {
    SetWave(0, 0);
    Hold(2, 500);
    EXPECT_EQ(Wave(), std::make_pair(5 * 1500 + 6500, 5 * 1500 + 6500));
    SetWave(65535, 40000);
    Hold(3, 500);
    EXPECT_EQ(Wave(), std::make_pair(65535 - 5 * 3000 - 6500, 40000 - 5 * 3000 - 6500));
    EXPECT_EQ(VolumeStep, 6500);
    Backend().Advance(1000);  // released: no more steps
    EXPECT_EQ(Wave(), std::make_pair(65535 - 5 * 3000 - 6500, 40000 - 5 * 3000 - 6500));
}

TEST_F(WaveTest, ReleaseWaitingWhenATickComesIsHandledInsideIt) {
    SetWave(0, 0);
    forms::TRect r = ButtonImages[2]->FormRect();
    Backend().MouseDown(*Form1, r.Left + 1, r.Top + 1);
    // The release is queued when the tick comes.
    Backend().Post([&] { Backend().MouseUp(*Form1, r.Left + 1, r.Top + 1); });
    Form1->volume_upperTimer(Form1->volume_upper);
    Backend().Advance(500);
    EXPECT_FALSE(Form1->volume_upper->Enabled());
    EXPECT_EQ(Wave(), std::make_pair(1500 + 6500, 1500 + 6500));
}

TEST_F(WaveTest, VolumeActionsStepOnlyFromTheirSecondExecution) {
    SetWave(10000, 10000);
    Form1->Vol_UP->Execute();
    EXPECT_EQ(Wave(), std::make_pair(10000, 10000));
    Form1->Vol_UP->Execute();
    EXPECT_EQ(Wave(), std::make_pair(11500, 11500));
    Form1->Vol_down->Execute();
    Form1->Vol_down->Execute();
    EXPECT_EQ(Wave(), std::make_pair(8500, 8500));
}

}  // namespace
}  // namespace viewertest
