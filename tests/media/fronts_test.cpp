// The device-neutral fronts: wave-out volume packing and the installed device, wave sounds.
#include <gtest/gtest.h>

#include <unistd.h>

#include "media_files.h"
#include "platform/media/fake_media.h"
#include "platform/media/sound.h"
#include "platform/media/wavevolume.h"
#include "platform/rtl/paths.h"

namespace {

using namespace media;

TEST(WaveVolume, ChannelsPackLeftLowRightHigh) {
    EXPECT_EQ(PackVolume(0x1234, 0xABCD), 0xABCD1234u);
    EXPECT_EQ(LeftVolume(0xABCD1234u), 0x1234);
    EXPECT_EQ(RightVolume(0xABCD1234u), 0xABCD);
    EXPECT_EQ(PackVolume(65535, 0), 0x0000FFFFu);
    EXPECT_EQ(PackVolume(0, 65535), 0xFFFF0000u);
}

TEST(WaveVolume, WithoutADeviceTheProcessHoldsTheValue) {
    SetWaveVolumeDevice(nullptr);
    uint32_t volume = 0;
    ASSERT_TRUE(WaveOutGetVolume(volume));
    EXPECT_EQ(volume, 0xFFFFFFFFu);
    ASSERT_TRUE(WaveOutSetVolume(PackVolume(2000, 8000)));
    ASSERT_TRUE(WaveOutGetVolume(volume));
    EXPECT_EQ(volume, PackVolume(2000, 8000));
    SetWaveVolumeDevice(nullptr);  // a fresh value again
    WaveOutGetVolume(volume);
    EXPECT_EQ(volume, 0xFFFFFFFFu);
}

TEST(WaveVolume, CallsReachTheInstalledDevice) {
    FakeMedia fakes = UseFakeMedia(PackVolume(60000, 60000));
    uint32_t volume = 0;
    ASSERT_TRUE(WaveOutGetVolume(volume));
    EXPECT_EQ(volume, PackVolume(60000, 60000));
    ASSERT_TRUE(WaveOutSetVolume(0));
    EXPECT_EQ(fakes.waveVolume->Volume, 0u);
    fakes.waveVolume->Fail = true;
    volume = 7;
    EXPECT_FALSE(WaveOutGetVolume(volume));
    EXPECT_EQ(volume, 7u) << "a failed read leaves the value alone";
    EXPECT_FALSE(WaveOutSetVolume(5));
    EXPECT_EQ(fakes.waveVolume->Volume, 0u);
    EXPECT_EQ(fakes.waveVolume->Gets, 2);
    EXPECT_EQ(fakes.waveVolume->Sets, 2);
    SetWaveVolumeDevice(nullptr);
}

TEST(Sound, PlaysExistingFilesAndIsSilentOtherwise) {
    mediatest::ScratchFolder folder;
    folder.Write("click.wav", mediatest::MakeWav(50));
    FakeMedia fakes = UseFakeMedia();

    EXPECT_FALSE(PlaySound(folder.WinPath("absent.wav"), SND_ASYNC));
    EXPECT_TRUE(fakes.sound->Sounds.empty());

    const std::string previous = rtl::GetCurrentDir();
    ASSERT_TRUE(rtl::SetCurrentDir(folder.WinPath("")));
    EXPECT_TRUE(PlaySound("CLICK.WAV", SND_SYNC | SND_FILENAME)) << "relative, letter case ignored";
    rtl::SetCurrentDir(previous);
    ASSERT_EQ(fakes.sound->Sounds.size(), 1u);
    EXPECT_EQ(fakes.sound->Sounds[0].path, folder.Native() + "click.wav");
    EXPECT_TRUE(fakes.sound->Sounds[0].waited);

    EXPECT_TRUE(PlaySound(folder.WinPath("click.wav"), SND_ASYNC));
    EXPECT_FALSE(fakes.sound->Sounds[1].waited);
    EXPECT_FALSE(PlaySound(folder.WinPath("click.wav"), SND_ASYNC | SND_NOSTOP)) << "one is still playing";
    EXPECT_TRUE(PlaySound("", 0));
    EXPECT_EQ(fakes.sound->Stops, 1);

    fakes.sound->Fail = true;
    EXPECT_FALSE(PlaySound(folder.WinPath("click.wav"), SND_SYNC));
    SetSoundOutput(nullptr);
    EXPECT_FALSE(PlaySound(folder.WinPath("click.wav"), SND_SYNC)) << "no output installed";
}

}  // namespace
