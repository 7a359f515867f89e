// The wave-out volume on the ALSA mixer: the 0..65535 <-> mixer-step mapping, and the system
// device (the default card's mixer, or a process-held value on a machine without one).
#include <gtest/gtest.h>

#include "platform/media/alsa_volume.h"
#include "platform/media/wavevolume.h"

namespace {

using namespace media;

TEST(AlsaMapping, EndsMeetAndStepsRound) {
    EXPECT_EQ(WaveToMixer(0, 0, 87), 0);
    EXPECT_EQ(WaveToMixer(65535, 0, 87), 87);
    EXPECT_EQ(WaveToMixer(65535, -10239, 400), 400);
    EXPECT_EQ(WaveToMixer(0, -10239, 400), -10239);
    EXPECT_EQ(MixerToWave(0, 0, 87), 0);
    EXPECT_EQ(MixerToWave(87, 0, 87), 65535);
    EXPECT_EQ(MixerToWave(-10239, -10239, 400), 0);
    EXPECT_EQ(MixerToWave(500, 0, 87), 65535) << "values outside the range are clamped";
    EXPECT_EQ(MixerToWave(-3, 0, 87), 0);
    EXPECT_EQ(MixerToWave(5, 3, 3), 0) << "an empty range";
    EXPECT_EQ(WaveToMixer(32768, 0, 1), 1);
    EXPECT_EQ(WaveToMixer(32767, 0, 1), 0);
}

TEST(AlsaMapping, EveryStepSurvivesTheRoundTrip) {
    for (long max : {1L, 15L, 31L, 87L, 255L, 16383L, 65535L}) {
        for (long raw = 0; raw <= max; raw += (max > 300 ? 997 : 1)) {
            EXPECT_EQ(WaveToMixer(MixerToWave(raw, 0, max), 0, max), raw) << "range 0.." << max;
        }
    }
}

TEST(SystemWaveVolume, WhatIsSetReadsBackExactly) {
    UseSystemWaveVolume();
    uint32_t original = 0;
    ASSERT_TRUE(WaveOutGetVolume(original));
    for (uint32_t volume : {PackVolume(6500, 6500), PackVolume(8000, 1500), PackVolume(0, 0)}) {
        ASSERT_TRUE(WaveOutSetVolume(volume));
        uint32_t read = 1;
        ASSERT_TRUE(WaveOutGetVolume(read));
        // A mono mixer keeps one channel; the value this process wrote still reads back whole.
        EXPECT_EQ(read, volume);
    }
    WaveOutSetVolume(original);
    SetWaveVolumeDevice(nullptr);
}

}  // namespace
