// Wave sounds through GStreamer: a waited-for sound plays out before the call returns, a sound
// not waited for returns at once and can be cut off, and no audio device means no sound (and no
// message).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "media_files.h"
#include "platform/media/alsa_volume.h"
#include "platform/media/gst_sound.h"
#include "platform/media/gst_support.h"
#include "platform/media/sound.h"

namespace {

using namespace media;
using Clock = std::chrono::steady_clock;

int ElapsedMs(Clock::time_point since) {
    return int(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

class GstSoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(EnsureGStreamer());
        setenv("TOME_AUDIO_SINK", "fake", 1);
        SetSoundOutput(output);
        folder.Write("click.wav", mediatest::MakeWav(1500));
        click = folder.WinPath("click.wav");
    }
    void TearDown() override {
        SetSoundOutput(nullptr);
        unsetenv("TOME_AUDIO_SINK");
    }

    mediatest::ScratchFolder folder;
    std::shared_ptr<GstSoundOutput> output = std::make_shared<GstSoundOutput>();
    std::string click;
};

TEST_F(GstSoundTest, WaitedSoundPlaysOutBeforeReturning) {
    const auto start = Clock::now();
    EXPECT_TRUE(PlaySound(click, SND_SYNC | SND_FILENAME));
    EXPECT_GE(ElapsedMs(start), 1400);
    EXPECT_FALSE(output->Busy());
}

TEST_F(GstSoundTest, SoundNotWaitedForPlaysOnItsOwn) {
    const auto start = Clock::now();
    EXPECT_TRUE(PlaySound(click, SND_ASYNC));
    EXPECT_LT(ElapsedMs(start), 1000);
    EXPECT_TRUE(output->Busy());
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (output->Busy() && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(output->Busy());
    EXPECT_GE(ElapsedMs(start), 1400);
}

TEST_F(GstSoundTest, NewSoundOrEmptyNameCutsTheLastOne) {
    ASSERT_TRUE(PlaySound(click, SND_ASYNC));
    EXPECT_FALSE(PlaySound(click, SND_ASYNC | SND_NOSTOP));
    const auto start = Clock::now();
    EXPECT_TRUE(PlaySound("", 0));
    EXPECT_LT(ElapsedMs(start), 1000) << "stopping does not wait for the end";
    EXPECT_FALSE(output->Busy());
    ASSERT_TRUE(PlaySound(click, SND_ASYNC));
    ASSERT_TRUE(PlaySound(click, SND_ASYNC));
    EXPECT_TRUE(output->Busy());
}

TEST_F(GstSoundTest, MissingOrBrokenFilesPlayNothing) {
    EXPECT_FALSE(PlaySound(folder.WinPath("absent.wav"), SND_SYNC));
    folder.Write("broken.wav", "RIFF\x10\0\0\0WAVEjunk");
    const auto start = Clock::now();
    EXPECT_FALSE(PlaySound(folder.WinPath("broken.wav"), SND_SYNC));
    EXPECT_LT(ElapsedMs(start), 5000);
}

TEST_F(GstSoundTest, NoAudioDeviceMeansNoSound) {
    unsetenv("TOME_AUDIO_SINK");
    // Looking for the device prints nothing, whether one is found or not, also after a look at the
    // mixer (which silences the sound library for a moment).
    testing::internal::CaptureStderr();
    GstElement* device = MakeAudioSink(true);
    AlsaWaveVolume::Open();
    GstElement* again = MakeAudioSink(true);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    for (GstElement* sink : {device, again})
        if (sink) gst_object_unref(gst_object_ref_sink(sink));
    if (device) GTEST_SKIP() << "this machine has an audio device";
    const auto start = Clock::now();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(PlaySound(click, SND_SYNC));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_LT(ElapsedMs(start), 5000);
}

}  // namespace
