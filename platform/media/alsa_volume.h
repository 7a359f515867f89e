// The wave-out volume as the ALSA mixer of a sound card: its "Master" element, else "PCM", else the
// first element with a playback volume. Mixer steps are coarser than 0..65535, so a value this
// process wrote reads back exactly as long as the mixer still holds it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/media/wavevolume.h"

struct _snd_mixer;
struct _snd_mixer_elem;

namespace media {

// 0..65535 <-> a mixer's range [min, max] (max > min), rounding to the nearest step.
long WaveToMixer(uint16_t value, long min, long max);
uint16_t MixerToWave(long raw, long min, long max);

class AlsaWaveVolume : public IWaveVolume {
public:
    // Null when the card has no mixer with a playback volume.
    static std::unique_ptr<AlsaWaveVolume> Open(const std::string& card = "default");
    ~AlsaWaveVolume() override;
    AlsaWaveVolume(const AlsaWaveVolume&) = delete;
    AlsaWaveVolume& operator=(const AlsaWaveVolume&) = delete;

    bool GetVolume(uint32_t& volume) override;
    bool SetVolume(uint32_t volume) override;
    const std::string& ElementName() const { return name_; }

private:
    AlsaWaveVolume(_snd_mixer* mixer, _snd_mixer_elem* element);
    bool ReadRaw(long& left, long& right);

    _snd_mixer* mixer_;
    _snd_mixer_elem* element_;
    std::string name_;
    long min_ = 0;
    long max_ = 0;
    bool stereo_ = false;
    bool written_ = false;  // what this process wrote last, and the mixer values it became
    uint32_t writtenVolume_ = 0;
    long writtenLeft_ = 0;
    long writtenRight_ = 0;
};

// Installs the default card's mixer as the wave-out volume, or a process-held value without one.
void UseSystemWaveVolume();

}  // namespace media
