// Clips, background music and volume as far as navigation needs them: a clip takes the browser's
// place in the video panel, plays there and becomes the current document. Music, the slider and
// the wave-out volume do nothing yet.
#include "platform/forms/panel.h"
#include "viewer/main.h"

namespace viewer {

void TForm1::PlayVideo(const std::string& ClipName) {
    uint16_t top = uint16_t((videocenter->Height() - 480) / 2);
    uint16_t left = uint16_t((videocenter->Width() - 640) / 2);
    if (datacenter->Left() < 2000) datacenter->SetLeft(datacenter->Left() + 2000);
    videocenter->Show();
    music_but->FileName = AppDir + "data\\" + ClipName;
    music_but->Open();
    music_but->SetDisplayRect(forms::TRect{left, top, 640, 480});
    music_but->Play();
    CurrentDoc = {ClipName, 1};
}

void TForm1::SetMusicVolume(forms::TMediaPlayer*, int) {}

int TForm1::GetMusicVolume(forms::TMediaPlayer*) { return 0; }

bool TForm1::PageHasVideo(const std::string&) { return false; }

void TForm1::VideoPageRule(const std::string&) {}

void TForm1::StartBackgroundMusic() {}

void TForm1::WaveVolumeUp() {}

void TForm1::WaveVolumeDown() {}

void TForm1::ToggleMute() {}

void TForm1::music_butNotify(TObject*) {}

void TForm1::Sound_pauseClick(TObject*) {}

void TForm1::Sound_playClick(TObject*) {}

void TForm1::sound_butMouseDown(TObject*, TMouseButton, TShiftState, int, int) {}

void TForm1::sound_butMouseUp(TObject*, TMouseButton, TShiftState, int, int) {}

void TForm1::sound_butMouseMove(TObject*, TShiftState, int, int) {}

void TForm1::volume_upperTimer(TObject*) {}

void TForm1::volume_downerTimer(TObject*) {}

void TForm1::Vol_UPExecute(TObject*) {
    Vol_UP->OnExecute = [this](TObject* Sender) { volume_upperTimer(Sender); };
}

void TForm1::Vol_downExecute(TObject*) {
    Vol_down->OnExecute = [this](TObject* Sender) { volume_downerTimer(Sender); };
}

void TForm1::AppActivate(TObject*) {}

void TForm1::AppDeactivate(TObject*) {}

}  // namespace viewer
