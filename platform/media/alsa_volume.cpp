#include "platform/media/alsa_volume.h"

#include <alsa/asoundlib.h>

#include <algorithm>

namespace media {
namespace {

snd_mixer_elem_t* FindNamed(snd_mixer_t* mixer, const char* name) {
    snd_mixer_selem_id_t* id = nullptr;
    if (snd_mixer_selem_id_malloc(&id) < 0) return nullptr;
    snd_mixer_selem_id_set_index(id, 0);
    snd_mixer_selem_id_set_name(id, name);
    snd_mixer_elem_t* element = snd_mixer_find_selem(mixer, id);
    snd_mixer_selem_id_free(id);
    return element && snd_mixer_selem_has_playback_volume(element) ? element : nullptr;
}

snd_mixer_elem_t* ChooseElement(snd_mixer_t* mixer) {
    if (snd_mixer_elem_t* master = FindNamed(mixer, "Master")) return master;
    if (snd_mixer_elem_t* pcm = FindNamed(mixer, "PCM")) return pcm;
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer); e; e = snd_mixer_elem_next(e))
        if (snd_mixer_selem_is_active(e) && snd_mixer_selem_has_playback_volume(e)) return e;
    return nullptr;
}

// The library reports a missing card on stderr; here that only means "no mixer".
void Quiet(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

long WaveToMixer(uint16_t value, long min, long max) {
    const int64_t span = int64_t(max) - min;
    return long(min + (int64_t(value) * span + 32767) / 65535);
}

uint16_t MixerToWave(long raw, long min, long max) {
    const int64_t span = int64_t(max) - min;
    if (span <= 0) return 0;
    const int64_t offset = std::clamp<int64_t>(int64_t(raw) - min, 0, span);
    return uint16_t((offset * 65535 + span / 2) / span);
}

std::unique_ptr<AlsaWaveVolume> AlsaWaveVolume::Open(const std::string& card) {
    snd_mixer_t* mixer = nullptr;
    if (snd_mixer_open(&mixer, 0) < 0) return nullptr;
    snd_mixer_elem_t* element = nullptr;
    // The handler is process-wide: the audio sinks install their own, which must stay in place
    // after this look-up, or a later sink's failure to open a device would print on stderr.
    const snd_lib_error_handler_t previous = snd_lib_error;
    snd_lib_error_set_handler(&Quiet);
    if (snd_mixer_attach(mixer, card.c_str()) >= 0 && snd_mixer_selem_register(mixer, nullptr, nullptr) >= 0 &&
        snd_mixer_load(mixer) >= 0) {
        element = ChooseElement(mixer);
    }
    snd_lib_error_set_handler(previous);
    long min = 0, max = 0;
    if (!element || snd_mixer_selem_get_playback_volume_range(element, &min, &max) < 0 || max <= min) {
        snd_mixer_close(mixer);
        return nullptr;
    }
    return std::unique_ptr<AlsaWaveVolume>(new AlsaWaveVolume(mixer, element));
}

AlsaWaveVolume::AlsaWaveVolume(snd_mixer_t* mixer, snd_mixer_elem_t* element)
    : mixer_(mixer), element_(element), name_(snd_mixer_selem_get_name(element)) {
    snd_mixer_selem_get_playback_volume_range(element, &min_, &max_);
    stereo_ = !snd_mixer_selem_is_playback_mono(element) &&
              snd_mixer_selem_has_playback_channel(element, SND_MIXER_SCHN_FRONT_RIGHT);
}

AlsaWaveVolume::~AlsaWaveVolume() { snd_mixer_close(mixer_); }

bool AlsaWaveVolume::ReadRaw(long& left, long& right) {
    snd_mixer_handle_events(mixer_);  // changes made elsewhere since the last call
    if (snd_mixer_selem_get_playback_volume(element_, SND_MIXER_SCHN_FRONT_LEFT, &left) < 0) return false;
    right = left;
    return !stereo_ || snd_mixer_selem_get_playback_volume(element_, SND_MIXER_SCHN_FRONT_RIGHT, &right) >= 0;
}

bool AlsaWaveVolume::GetVolume(uint32_t& volume) {
    long left = 0, right = 0;
    if (!ReadRaw(left, right)) return false;
    if (written_ && left == writtenLeft_ && right == writtenRight_) {
        volume = writtenVolume_;
    } else {
        volume = PackVolume(MixerToWave(left, min_, max_), MixerToWave(right, min_, max_));
    }
    return true;
}

bool AlsaWaveVolume::SetVolume(uint32_t volume) {
    const long left = WaveToMixer(LeftVolume(volume), min_, max_);
    const long right = WaveToMixer(RightVolume(volume), min_, max_);
    bool ok;
    if (stereo_) {
        ok = snd_mixer_selem_set_playback_volume(element_, SND_MIXER_SCHN_FRONT_LEFT, left) >= 0 &&
             snd_mixer_selem_set_playback_volume(element_, SND_MIXER_SCHN_FRONT_RIGHT, right) >= 0;
    } else {
        ok = snd_mixer_selem_set_playback_volume_all(element_, left) >= 0;  // one channel: the left word
    }
    long readLeft = 0, readRight = 0;
    written_ = ok && ReadRaw(readLeft, readRight);
    writtenVolume_ = volume;
    writtenLeft_ = readLeft;
    writtenRight_ = readRight;
    return ok;
}

void UseSystemWaveVolume() {
    std::shared_ptr<IWaveVolume> mixer = AlsaWaveVolume::Open();
    SetWaveVolumeDevice(mixer ? mixer : std::make_shared<THeldWaveVolume>());
}

}  // namespace media
