// The wave-out volume of the default output device: one 32-bit value, the left channel in the low
// and the right channel in the high 16 bits, each 0..65535. The device behind it is installed with
// SetWaveVolumeDevice: the ALSA mixer of the default card (tome_media, UseSystemWaveVolume), a
// fake in tests, or, until one is installed, a value held by the process.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace media {

constexpr uint32_t PackVolume(uint16_t left, uint16_t right) { return uint32_t(left) | (uint32_t(right) << 16); }
constexpr uint16_t LeftVolume(uint32_t volume) { return uint16_t(volume & 0xFFFF); }
constexpr uint16_t RightVolume(uint32_t volume) { return uint16_t(volume >> 16); }

class IWaveVolume {
public:
    virtual ~IWaveVolume() = default;
    // False when the device cannot be reached (volume is then left unchanged).
    virtual bool GetVolume(uint32_t& volume) = 0;
    virtual bool SetVolume(uint32_t volume) = 0;
};

// A volume kept in the process: what is set is what is read. Starts at full volume on both channels.
class THeldWaveVolume : public IWaveVolume {
public:
    explicit THeldWaveVolume(uint32_t initial = 0xFFFFFFFFu) : FVolume(initial) {}
    bool GetVolume(uint32_t& volume) override {
        volume = FVolume;
        return true;
    }
    bool SetVolume(uint32_t volume) override {
        FVolume = volume;
        return true;
    }

private:
    uint32_t FVolume;
};

// Installs the device every later call uses (null: back to a fresh process-held value).
void SetWaveVolumeDevice(std::shared_ptr<IWaveVolume> device);
std::shared_ptr<IWaveVolume> WaveVolumeDevice();

// The default device's volume; false when it cannot be reached.
bool WaveOutGetVolume(uint32_t& volume);
bool WaveOutSetVolume(uint32_t volume);

}  // namespace media
