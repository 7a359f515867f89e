// The player on the GStreamer device, with files made at test time: play to the end, pause and
// resume, close, repeat, failures. Runs headless with or without a sound card: audio goes to a
// silent real-time sink (or the desktop's sink in one case), video to a silent sink.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include "media_files.h"
#include "platform/forms/application.h"
#include "platform/forms/panel.h"
#include "platform/headless/headless.h"
#include "platform/media/gst_player.h"
#include "platform/media/gst_support.h"
#include "platform/media/mediaplayer.h"
#include "platform/media/system_media.h"

using namespace forms;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kWaitMs = 15000;

// Runs the GLib main context (where the device's reports land) and the application's queue
// (where the player's reports land) until done() holds or the time is up.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = kWaitMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        Application().ProcessMessages();
        if (done()) return true;
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void PumpFor(int ms) {
    PumpUntil([] { return false; }, ms);
}

int ElapsedMs(Clock::time_point since) {
    return int(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// Pipeline text to make a test file, or "" with the reason when an element is missing.
bool MakeWithPipeline(const std::string& description, std::string& why) {
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
    if (!pipeline || error) {
        why = error ? error->message : "cannot build the pipeline";
        if (error) g_error_free(error);
        if (pipeline) gst_object_unref(pipeline);
        return false;
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* end = gst_bus_timed_pop_filtered(bus, 20 * GST_SECOND,
                                                 GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool ok = end && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS;
    if (!ok) why = end ? media::ErrorText(end) : "timed out";
    if (end) gst_message_unref(end);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return ok;
}

class GstPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(media::EnsureGStreamer());
        setenv("TOME_AUDIO_SINK", "fake", 1);
        media::UseSystemMedia();
        player = new TMediaPlayer(&owner);
        player->OnNotify = [this](TObject*) { reports.push_back(player->NotifyValue); };
        folder.Write("tone.wav", mediatest::MakeWav(1000));
        tone = folder.WinPath("tone.wav");
    }
    void TearDown() override {
        unsetenv("TOME_AUDIO_SINK");
        SetMediaPeerFactory(nullptr);
    }
    void OpenFile(const std::string& winPath) {
        player->FileName = winPath;
        player->Open();
    }
    bool WaitForReports(size_t count) {
        return PumpUntil([&] { return reports.size() >= count; });
    }

    headless::TScopedHeadless backend;
    mediatest::ScratchFolder folder;
    TComponent owner{nullptr};
    TMediaPlayer* player = nullptr;
    std::vector<TMPNotifyValues> reports;
    std::string tone;
};

TEST_F(GstPlayerTest, PlaysToTheEndAndReportsSuccessOnce) {
    OpenFile(tone);
    EXPECT_EQ(player->Mode(), mpStopped);
    EXPECT_NEAR(double(player->Length()), 1000.0, 50.0);
    const auto start = Clock::now();
    player->Play();
    EXPECT_EQ(player->Mode(), mpPlaying);
    ASSERT_TRUE(WaitForReports(1));
    EXPECT_GE(ElapsedMs(start), 800) << "the medium plays in real time";
    EXPECT_EQ(reports, std::vector<TMPNotifyValues>{nvSuccessful});
    EXPECT_EQ(player->Mode(), mpStopped);
    PumpFor(500);
    EXPECT_EQ(reports.size(), 1u);
}

TEST_F(GstPlayerTest, PlayingAgainAfterTheEndStartsOver) {
    player->AutoRewind = false;
    player->OnNotify = [this](TObject*) {
        reports.push_back(player->NotifyValue);
        if (player->NotifyValue == nvSuccessful && reports.size() < 2) {
            player->SetNotify(true);
            player->Play();
        }
    };
    OpenFile(tone);
    const auto start = Clock::now();
    player->Play();
    ASSERT_TRUE(WaitForReports(2));
    EXPECT_GE(ElapsedMs(start), 1700) << "the second round played the whole medium";
    EXPECT_EQ(reports, (std::vector<TMPNotifyValues>{nvSuccessful, nvSuccessful}));
}

TEST_F(GstPlayerTest, PauseHoldsThePositionAndResumeFinishes) {
    OpenFile(tone);
    player->Play();
    PumpFor(300);
    player->Pause();
    EXPECT_EQ(player->Mode(), mpPaused);
    PumpFor(100);
    const int64_t held = player->Position();
    EXPECT_GT(held, 100);
    EXPECT_LT(held, 900);
    PumpFor(1200);
    EXPECT_NEAR(double(player->Position()), double(held), 30.0) << "a paused medium stands still";
    EXPECT_EQ(reports, std::vector<TMPNotifyValues>{nvAborted});
    player->Resume();
    EXPECT_EQ(player->Mode(), mpPlaying);
    ASSERT_TRUE(WaitForReports(2));
    EXPECT_EQ(reports, (std::vector<TMPNotifyValues>{nvAborted, nvSuccessful}));
}

TEST_F(GstPlayerTest, CloseWhilePlayingEndsWithoutSuccess) {
    OpenFile(tone);
    player->Play();
    PumpFor(200);
    player->Close();
    EXPECT_EQ(player->Mode(), mpNotReady);
    PumpFor(1500);
    EXPECT_EQ(reports, std::vector<TMPNotifyValues>{nvAborted});
    EXPECT_EQ(player->AudioVolume(), 0);
}

TEST_F(GstPlayerTest, FilesThatCannotPlayRaise) {
    player->FileName = folder.WinPath("absent.wav");
    EXPECT_THROW(player->Open(), EMCIDeviceError);
    folder.Write("text.mp3", std::string(4000, 'x'));
    player->FileName = folder.WinPath("text.mp3");
    try {
        player->Open();
        FAIL() << "a text file opened as a medium";
    } catch (const EMCIDeviceError& e) {
        EXPECT_NE(e.Message().find("cannot play"), std::string::npos) << e.Message();
    }
    EXPECT_EQ(player->Mode(), mpNotReady);
    OpenFile(tone);  // the player is still usable
    EXPECT_EQ(player->Mode(), mpStopped);
}

TEST_F(GstPlayerTest, OpeningAnotherMediumAbortsThePlayingOne) {
    OpenFile(tone);
    player->Play();
    PumpFor(100);
    OpenFile(tone);
    EXPECT_EQ(player->Mode(), mpStopped);
    EXPECT_EQ(player->Position(), 0);
    PumpFor(1300);
    EXPECT_EQ(reports, std::vector<TMPNotifyValues>{nvAborted});
}

TEST_F(GstPlayerTest, VolumeAndRewind) {
    OpenFile(tone);
    EXPECT_EQ(player->AudioVolume(), 1000);
    EXPECT_TRUE(player->SetAudioVolume(400));
    EXPECT_EQ(player->AudioVolume(), 400);
    player->Play();
    PumpFor(400);
    player->Rewind();
    PumpFor(100);
    EXPECT_LT(player->Position(), 50);
    EXPECT_EQ(player->Mode(), mpStopped);
}

TEST_F(GstPlayerTest, Mp3TrackPlaysToTheEnd) {
    if (!gst_element_factory_find("lamemp3enc")) GTEST_SKIP() << "no MP3 encoder plugin (lamemp3enc) to make a track";
    const std::string path = folder.Native() + "track.mp3";
    std::string why;
    ASSERT_TRUE(MakeWithPipeline("audiotestsrc num-buffers=40 samplesperbuffer=1102 ! audio/x-raw,rate=44100 ! "
                                 "audioconvert ! lamemp3enc ! filesink location=\"" + path + "\"",
                                 why))
        << why;
    OpenFile(folder.WinPath("TRACK.MP3"));
    player->Play();
    ASSERT_TRUE(WaitForReports(1));
    EXPECT_EQ(reports, std::vector<TMPNotifyValues>{nvSuccessful});
}

TEST_F(GstPlayerTest, VideoClipWithoutAWindowPlaysSilently) {
    const std::string path = folder.Native() + "clip.avi";
    std::string why;
    if (!MakeWithPipeline("videotestsrc num-buffers=10 ! video/x-raw,width=160,height=120,framerate=20/1 ! "
                          "jpegenc ! avimux ! filesink location=\"" + path + "\"",
                          why))
        GTEST_SKIP() << "cannot make a clip: " << why;
    TPanel display(&owner);
    player->SetDisplay(&display);  // the headless panel has no native window
    OpenFile(folder.WinPath("clip.avi"));
    EXPECT_EQ(static_cast<media::GstMediaPeer*>(player->Peer())->VideoWindowHandle(), 0u);
    player->SetDisplayRect(TRect{0, 0, 640, 480});
    player->Play();
    ASSERT_TRUE(WaitForReports(1));
    EXPECT_EQ(reports, std::vector<TMPNotifyValues>{nvSuccessful});
}

TEST_F(GstPlayerTest, DesktopAudioOutputOrItsSilentStandIn) {
    unsetenv("TOME_AUDIO_SINK");  // no sound device: the silent stand-in plays in its place
    folder.Write("short.wav", mediatest::MakeWav(300));
    // Choosing the output prints nothing, with a device or without one.
    testing::internal::CaptureStderr();
    OpenFile(folder.WinPath("short.wav"));
    player->SetAudioVolume(0);
    player->Play();
    const bool ended = WaitForReports(1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_TRUE(ended);
    EXPECT_EQ(reports, std::vector<TMPNotifyValues>{nvSuccessful});
}

TEST_F(GstPlayerTest, FreeingThePlayerWhilePlayingIsClean) {
    OpenFile(tone);
    player->Play();
    PumpFor(100);
    delete player;
    PumpFor(1200);
    EXPECT_TRUE(reports.empty());
}

}  // namespace
