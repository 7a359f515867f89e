// Volume: the slider of the background track (track picture and knob), the system's wave-out
// volume stepped by the volume buttons (repeatedly while one is held) and muted by the mute button.
#include <algorithm>
#include <cstdint>

#include "platform/forms/application.h"
#include "platform/media/wavevolume.h"
#include "viewer/main.h"

namespace viewer {

namespace {

// Slider value per pixel of the knob's offset on the track. A track wider than 1000 pixels counts
// one per pixel (the layout places the knob by the same factor); 0 for a track without width.
int SliderFactor(int trackWidth) {
    if (trackWidth <= 0) return 0;
    return trackWidth > 1000 ? 1 : 1000 / trackWidth;
}

uint16_t StepChannel(uint16_t channel, int step) { return uint16_t(std::clamp(int(channel) + step, 0, 65535)); }

// Steps both channels of the default device by step (negative: down); device failures are silent.
void StepWaveVolume(int step) {
    uint32_t volume = 0;
    if (!media::WaveOutGetVolume(volume)) return;
    media::WaveOutSetVolume(media::PackVolume(StepChannel(media::LeftVolume(volume), step),
                                              StepChannel(media::RightVolume(volume), step)));
}

}  // namespace

void TForm1::WaveVolumeUp() { StepWaveVolume(VolumeStep); }

void TForm1::WaveVolumeDown() { StepWaveVolume(-int(VolumeStep)); }

void TForm1::ToggleMute() {
    uint32_t volume = 0;
    if (!media::WaveOutGetVolume(volume)) return;
    if (media::LeftVolume(volume) != 0 || media::RightVolume(volume) != 0) {
        SavedWaveVolume = volume;
        media::WaveOutSetVolume(0);
    } else {
        media::WaveOutSetVolume(SavedWaveVolume);
    }
}

void TForm1::sound_butMouseDown(TObject*, TMouseButton, TShiftState, int, int) { SliderDragging = 1; }

void TForm1::sound_butMouseUp(TObject*, TMouseButton, TShiftState, int, int) { SliderDragging = 0; }

void TForm1::sound_butMouseMove(TObject*, TShiftState, int X, int Y) {
    if (SliderDragging != 1) return;
    const int trackLeft = Sound_fon->Left();
    const int trackWidth = Sound_fon->Width();
    // The knob follows the pointer horizontally, strictly inside the track. The pointer is taken in
    // the window's coordinates (its screen position less the window's left edge).
    if (trackLeft < sound_but->Left() && sound_but->Left() < trackLeft + trackWidth) {
        const int x = sound_but->ClientToForm(forms::TPoint{X, Y}).X;
        const int half = sound_but->Width() / 2;
        if (x > trackLeft + half && x - half < trackLeft + trackWidth - sound_but->Width())
            sound_but->SetLeft(x - half);
    }
    // A track without width has no scale to read.
    const int factor = SliderFactor(trackWidth);
    if (factor == 0) return;
    const int64_t position = int64_t(factor) * (int64_t(sound_but->Left()) - trackLeft) - 5;
    VolumePos = int32_t(std::clamp<int64_t>(position, INT32_MIN, INT32_MAX));
    if (sound_but->Left() - 2 < trackLeft) SetMusicVolume(music_but, 0);
    else SetMusicVolume(music_but, VolumePos);
}

// While a volume button is held: small steps every tick; the release adds one full step.
void TForm1::volume_upperTimer(TObject*) {
    forms::Application().ProcessMessages();
    VolumeStep = 1500;
    WaveVolumeUp();
    VolumeStep = 6500;
}

void TForm1::volume_downerTimer(TObject*) {
    forms::Application().ProcessMessages();
    VolumeStep = 3000;
    WaveVolumeDown();
    VolumeStep = 6500;
}

// The first execution only makes the timer's handler the action's own.
void TForm1::Vol_UPExecute(TObject*) {
    Vol_UP->OnExecute = [this](TObject* Sender) { volume_upperTimer(Sender); };
}

void TForm1::Vol_downExecute(TObject*) {
    Vol_down->OnExecute = [this](TObject* Sender) { volume_downerTimer(Sender); };
}

}  // namespace viewer
