// The media player's rules on the scripted device: modes, completion reports (when they arrive and
// with which value), the one-shot Notify, the volume scale, the display and form descriptions.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "media_files.h"
#include "platform/forms/application.h"
#include "platform/forms/form.h"
#include "platform/forms/formdesc.h"
#include "platform/forms/panel.h"
#include "platform/headless/headless.h"
#include "platform/media/fake_media.h"
#include "platform/media/mediaplayer.h"

using namespace forms;
using media::FakeMediaPeer;

namespace {

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        media::UseFakeMedia();
        player = new TMediaPlayer(&owner);
        player->OnNotify = [this](TObject* sender) {
            EXPECT_EQ(sender, player);
            reports.push_back(player->NotifyValue);
        };
        folder.Write("track.mp3", "ID3");
        track = folder.WinPath("track.mp3");
    }
    void TearDown() override { SetMediaPeerFactory(nullptr); }

    FakeMediaPeer& Fake() { return *FakeMediaPeer::Of(*player); }
    void Pump() { Application().ProcessMessages(); }
    void OpenTrack() {
        player->FileName = track;
        player->Open();
    }

    headless::TScopedHeadless backend;
    mediatest::ScratchFolder folder;
    TComponent owner{nullptr};
    TMediaPlayer* player = nullptr;
    std::vector<TMPNotifyValues> reports;
    std::string track;
};

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EMCIDeviceError& e) {
        return e.Message();
    }
    return "";
}

TEST_F(PlayerTest, OpenFailuresRaiseAndLeaveThePlayerClosed) {
    player->FileName = folder.WinPath("absent.mp3");
    EXPECT_EQ(ErrorOf([&] { player->Open(); }), sMCIFileNotFound);
    EXPECT_EQ(player->Mode(), mpNotReady);

    player->FileName = "";
    EXPECT_EQ(ErrorOf([&] { player->Open(); }), sMCINoFileName);

    FakeMediaPeer::FailNextOpen("unreadable medium");
    player->FileName = track;
    EXPECT_EQ(ErrorOf([&] { player->Open(); }), "unreadable medium");
    EXPECT_EQ(player->Mode(), mpNotReady);
    EXPECT_EQ(ErrorOf([&] { player->Play(); }), sMCINotOpen);

    player->Open();  // the failure was for one open only
    EXPECT_EQ(player->Mode(), mpStopped);
}

TEST_F(PlayerTest, WithoutADeviceOpenRaises) {
    SetMediaPeerFactory(nullptr);
    player->FileName = track;
    EXPECT_EQ(ErrorOf([&] { player->Open(); }), sMCINoDevice);
}

TEST_F(PlayerTest, CommandsNeedAnOpenMediumExceptClose) {
    TMediaPlayer* p = player;
    const std::vector<std::function<void()>> commands = {[p] { p->Play(); }, [p] { p->Pause(); },
                                                         [p] { p->Resume(); }, [p] { p->Stop(); },
                                                         [p] { p->Rewind(); }};
    for (const auto& command : commands) EXPECT_EQ(ErrorOf(command), sMCINotOpen);
    EXPECT_EQ(ErrorOf([&] { player->Close(); }), "");
    EXPECT_EQ(player->Mode(), mpNotReady);
}

TEST_F(PlayerTest, ModesFollowTheCommands) {
    OpenTrack();
    EXPECT_EQ(player->Mode(), mpStopped);  // a file never reports the door-open mode
    EXPECT_EQ(Fake().OpenedPath(), folder.Native() + "track.mp3");
    player->Play();
    EXPECT_EQ(player->Mode(), mpPlaying);
    EXPECT_TRUE(Fake().IsPlaying());
    player->Pause();
    EXPECT_EQ(player->Mode(), mpPaused);
    EXPECT_FALSE(Fake().IsPlaying());
    player->Pause();  // pausing a paused medium changes nothing
    EXPECT_EQ(player->Mode(), mpPaused);
    player->Resume();
    EXPECT_EQ(player->Mode(), mpPlaying);
    player->Stop();
    EXPECT_EQ(player->Mode(), mpStopped);
    player->Resume();  // only a paused medium resumes
    EXPECT_EQ(player->Mode(), mpStopped);
    player->Close();
    EXPECT_EQ(player->Mode(), mpNotReady);
    EXPECT_FALSE(Fake().IsOpen());
    EXPECT_EQ(Fake().Commands(), (std::vector<std::string>{"open " + folder.Native() + "track.mp3", "volume 1000",
                                                           "play", "pause", "play", "pause", "close"}));
}

TEST_F(PlayerTest, NaturalEndReportsSuccessOnceThroughTheMessageQueue) {
    OpenTrack();
    player->Play();
    ASSERT_TRUE(Fake().FinishMedium());
    EXPECT_EQ(player->Mode(), mpStopped);
    EXPECT_TRUE(reports.empty()) << "reports are messages, not calls from inside the device";
    Pump();
    EXPECT_EQ(reports, std::vector<TMPNotifyValues>{nvSuccessful});
    Pump();
    EXPECT_EQ(reports.size(), 1u);
}

TEST_F(PlayerTest, RepeatingOnSuccessStartsTheMediumOver) {
    player->AutoRewind = false;
    int plays = 0;
    player->OnNotify = [&](TObject*) {
        reports.push_back(player->NotifyValue);
        if (player->NotifyValue != nvSuccessful) return;
        player->SetNotify(true);
        player->Play();
        ++plays;
    };
    OpenTrack();
    player->Play();
    Fake().FinishMedium();
    Pump();
    EXPECT_EQ(player->Mode(), mpPlaying);
    EXPECT_EQ(Fake().PositionMs(), 0) << "playing at the end starts over";
    Fake().FinishMedium();
    Pump();
    EXPECT_EQ(plays, 2);
    EXPECT_EQ(reports, (std::vector<TMPNotifyValues>{nvSuccessful, nvSuccessful}));
}

TEST_F(PlayerTest, InterruptionsReportAbortedOrSuperseded) {
    OpenTrack();
    player->Play();
    player->Pause();
    Pump();
    EXPECT_EQ(reports, std::vector<TMPNotifyValues>{nvAborted});
    EXPECT_FALSE(Fake().FinishMedium()) << "a paused medium does not end";

    reports.clear();
    player->Play();
    player->Play();  // asks for a report again: the first one is superseded
    Pump();
    EXPECT_EQ(reports, std::vector<TMPNotifyValues>{nvSuperseded});
    player->Stop();
    player->Play();
    player->Close();
    Pump();
    EXPECT_EQ(reports, (std::vector<TMPNotifyValues>{nvSuperseded, nvAborted, nvAborted}));
}

TEST_F(PlayerTest, NotifyFalseSilencesTheNextCommandOnly) {
    OpenTrack();
    player->SetNotify(false);
    player->Play();
    Fake().FinishMedium();
    Pump();
    EXPECT_TRUE(reports.empty());
    player->Play();  // commands ask for reports again by default
    Fake().FinishMedium();
    Pump();
    EXPECT_EQ(reports, std::vector<TMPNotifyValues>{nvSuccessful});

    reports.clear();
    player->Play();
    player->SetNotify(false);
    player->Play();  // the running report is ended, not superseded
    Pump();
    EXPECT_EQ(reports, std::vector<TMPNotifyValues>{nvAborted});
}

TEST_F(PlayerTest, PlaybackErrorReportsFailure) {
    OpenTrack();
    player->Play();
    ASSERT_TRUE(Fake().FailPlayback());
    EXPECT_EQ(player->Mode(), mpStopped);
    Pump();
    EXPECT_EQ(reports, std::vector<TMPNotifyValues>{nvFailure});
}

TEST_F(PlayerTest, AutoRewindReturnsToTheStartAtTheEnd) {
    OpenTrack();
    player->Play();
    Fake().Advance(70000);  // past the 60 s medium: it ends
    EXPECT_EQ(Fake().PositionMs(), 0);
    EXPECT_EQ(player->Mode(), mpStopped);

    player->AutoRewind = false;
    player->Play();
    Fake().Advance(70000);
    EXPECT_EQ(player->Position(), 60000);
    EXPECT_EQ(player->Length(), 60000);
}

TEST_F(PlayerTest, ReportsQueuedForAFreedPlayerAreDropped) {
    OpenTrack();
    player->Play();
    Fake().FinishMedium();
    delete player;
    Pump();
    EXPECT_TRUE(reports.empty());
}

TEST_F(PlayerTest, AnErrorInTheHandlerGoesToTheApplication) {
    std::string reported;
    Application().OnException = [&](TObject*, const std::exception& e) { reported = e.what(); };
    player->OnNotify = [](TObject*) { throw EMCIDeviceError("handler failed"); };
    OpenTrack();
    player->Play();
    Fake().FinishMedium();
    Pump();
    EXPECT_EQ(reported, "handler failed");
}

TEST_F(PlayerTest, VolumeUsesTheDigitalVideoScale) {
    EXPECT_EQ(player->AudioVolume(), 0);
    EXPECT_FALSE(player->SetAudioVolume(500));
    OpenTrack();
    EXPECT_EQ(player->AudioVolume(), 1000);
    EXPECT_DOUBLE_EQ(Fake().Volume(), 1.0);
    EXPECT_TRUE(player->SetAudioVolume(250));
    EXPECT_EQ(player->AudioVolume(), 250);
    EXPECT_DOUBLE_EQ(Fake().Volume(), 0.25);
    player->SetAudioVolume(-5);
    EXPECT_EQ(player->AudioVolume(), 0);
    EXPECT_DOUBLE_EQ(Fake().Volume(), 0.0);
    player->SetAudioVolume(1500);
    EXPECT_EQ(player->AudioVolume(), 1000);
    player->SetAudioVolume(300);
    OpenTrack();  // each open starts at full volume
    EXPECT_EQ(player->AudioVolume(), 1000);
    EXPECT_DOUBLE_EQ(Fake().Volume(), 1.0);
}

TEST_F(PlayerTest, DisplayRectCarriesWidthAndHeight) {
    TPanel panel(&owner);
    player->SetDisplay(&panel);
    OpenTrack();
    EXPECT_EQ(Fake().Display(), &panel);
    player->SetDisplayRect(TRect{10, 20, 640, 480});
    EXPECT_EQ(player->DisplayRect(), (TRect{10, 20, 640, 480}));
    EXPECT_EQ(Fake().DisplayRect(), Bounds(10, 20, 640, 480));
    player->SetDisplayRect(TRect{});
    EXPECT_TRUE(Fake().DisplayRect().IsEmpty());
}

TEST_F(PlayerTest, FreeingTheDisplayClosesTheMedium) {
    auto* panel = new TPanel(&owner);
    player->SetDisplay(panel);
    OpenTrack();
    player->Play();
    delete panel;
    EXPECT_EQ(player->Display(), nullptr);
    EXPECT_EQ(player->Mode(), mpNotReady);
    EXPECT_FALSE(Fake().IsOpen());
}

class TPlayerForm : public TForm {
public:
    explicit TPlayerForm(TComponent* owner) : TForm(owner) {}
    TMediaPlayer* music_but = nullptr;
    TPanel* videocenter = nullptr;
    int notified = 0;
    void music_butNotify(TObject*) { ++notified; }
    static const TFormClass& Class() {
        static TFormTable<TPlayerForm> table = [] {
            TFormTable<TPlayerForm> t("TPlayerForm", "player.frm");
            t.Field("music_but", &TPlayerForm::music_but)
                .Field("videocenter", &TPlayerForm::videocenter)
                .Handler("music_butNotify", &TPlayerForm::music_butNotify);
            return t;
        }();
        return table;
    }
};

TEST_F(PlayerTest, FormDescriptionsCreateAndBindThePlayer) {
    auto* form = new TPlayerForm(&Application());
    TFormLoader loader(*form, TPlayerForm::Class(), "player.frm");
    loader.LoadFromText(R"(object Player: TPlayerForm
  object videocenter: TPanel
    Width = 640
    Height = 480
  end
  object music_but: TMediaPlayer
    Left = 8
    Visible = False
    AutoRewind = False
    Display = videocenter
    OnNotify = music_butNotify
  end
end
)");
    ASSERT_NE(form->music_but, nullptr);
    EXPECT_FALSE(form->music_but->Visible);
    EXPECT_FALSE(form->music_but->AutoRewind);
    EXPECT_EQ(form->music_but->Display(), form->videocenter);
    form->music_but->FileName = track;
    form->music_but->Open();
    form->music_but->Play();
    FakeMediaPeer::Of(*form->music_but)->FinishMedium();
    Pump();
    EXPECT_EQ(form->notified, 1);
}

}  // namespace
