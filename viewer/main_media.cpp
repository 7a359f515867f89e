// Background music and video clips: the one player of the main window holds either the background
// track (from the BackSound folder) or the last clip. Music pauses while another application is
// active and while a page that links to clips is shown; the play and pause pictures let the reader
// pause it. The player's completion reports start the background track over at its end.
#include <exception>
#include <initializer_list>

#include "platform/forms/panel.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/textfile.h"
#include "viewer/main.h"

namespace viewer {

namespace {

// The extensions of clip files, as they stand inside a double-quoted attribute.
const char* const kClipMarks[] = {".avi\"", ".mpeg\"", ".mov\"", ".mpg\""};

std::string ClipFolder() { return AppDir + "data\\"; }

// Clips are always opened from the data folder; the background track never lies there.
bool HoldsClip(const forms::TMediaPlayer& player) {
    const std::string folder = ClipFolder();
    return rtl::AnsiSameText(rtl::Copy(player.FileName, 1, int(folder.size())), folder);
}

std::string BackgroundTrackPath(const std::string& name) {
    return rtl::ExcludeTrailingBackslash(rtl::ProgramFolder()) + "\\BackSound\\" + name + ".mp3";
}

std::string ReadJoinedLines(const std::string& path) {
    std::string text;
    for (const std::string& line : rtl::ReadLines(path)) text += line + " ";
    return text;
}

void SetPicturesEnabled(std::initializer_list<forms::TImage*> pictures, bool enabled) {
    for (forms::TImage* picture : pictures)
        if (picture) picture->SetEnabled(enabled);
}

}  // namespace

void TForm1::SetMusicVolume(forms::TMediaPlayer* Player, int Value) {
    // Without an open medium the device has nothing to set, as the media layer's own call reports.
    if (Player) Player->SetAudioVolume(Value);
}

int TForm1::GetMusicVolume(forms::TMediaPlayer* Player) { return Player ? Player->AudioVolume() : 0; }

bool TForm1::PageHasVideo(const std::string& PageName) {
    std::string name = PageName;
    if (int at = rtl::Pos("data\\", name); at > 0) name = rtl::Copy(name, at + 5, 99);
    // The name is tested against the current folder (the data folder) and read from the program's
    // data folder; a full name outside it is only read when the two agree.
    const std::string path = ClipFolder() + name;
    if (!rtl::FileExists(name) || !rtl::FileExists(path)) return false;
    const std::string text = ReadJoinedLines(path);
    for (const char* mark : kClipMarks)
        if (rtl::Pos(mark, text) > 0) return true;
    return false;
}

void TForm1::VideoPageRule(const std::string& PageName) {
    if (PageHasVideo(PageName)) {
        if (music_but->Mode() != mpPlaying) return;
        music_but->Pause();
        SetPicturesEnabled({Sound_fon, sound_but, Sound_play, Sound_pause}, false);
        return;
    }
    // Music paused by the reader (the play picture shows) stays paused.
    if (music_but->Mode() != mpPaused || Sound_play->Visible()) return;
    music_but->Play();
    SetPicturesEnabled({Sound_pause, Sound_fon, sound_but, Sound_play}, true);
}

void TForm1::StartBackgroundMusic() {
    std::string name;
    ReadBackSound(name);
    if (name.empty()) {
        music_but->Close();
        return;
    }
    const TMPModes mode = music_but->Mode();
    if (mode == mpPlaying || mode == mpPaused) return;
    music_but->FileName = BackgroundTrackPath(name);
    music_but->Open();
    music_but->Play();
    // The reading of the track showed both pictures; playing music offers only the pause picture,
    // so that a hidden play picture tells music paused by a page or by deactivation from music
    // the reader paused.
    Sound_play->Hide();
}

void TForm1::PlayVideo(const std::string& ClipName) {
    const uint16_t top = uint16_t((videocenter->Height() - 480) / 2);
    const uint16_t left = uint16_t((videocenter->Width() - 640) / 2);
    if (datacenter->Left() < 2000) datacenter->SetLeft(datacenter->Left() + 2000);
    videocenter->Show();
    music_but->FileName = ClipFolder() + ClipName;
    music_but->Open();
    // Right and Bottom carry the width and height.
    music_but->SetDisplayRect(forms::TRect{left, top, 640, 480});
    music_but->Play();
    CurrentDoc = {ClipName, 1};
}

void TForm1::music_butNotify(TObject*) {
    if (music_but->NotifyValue != nvSuccessful) return;
    // The report may arrive after the medium was closed; a clip plays once.
    if (music_but->Mode() == mpNotReady || HoldsClip(*music_but)) return;
    music_but->SetNotify(true);
    music_but->Play();
}

void TForm1::Sound_pauseClick(TObject*) {
    if (music_but->Mode() != mpPlaying) return;
    Sound_pause->Hide();
    music_but->Pause();
    Sound_play->Show();
}

void TForm1::Sound_playClick(TObject*) {
    if (music_but->Mode() != mpPaused) return;
    Sound_play->Hide();
    music_but->Play();
    Sound_pause->Show();
}

void TForm1::AppActivate(TObject*) {
    try {
        // Not when the reader paused (the pause picture is hidden), nor while a page with clips
        // keeps the music paused (its pictures are disabled until a page without clips opens).
        if (music_but->Mode() == mpPaused && Sound_pause->Visible() && Sound_pause->Enabled()) music_but->Play();
    } catch (const std::exception&) {
    }
}

void TForm1::AppDeactivate(TObject*) {
    try {
        if (music_but->Mode() == mpPlaying) music_but->Pause();
    } catch (const std::exception&) {
    }
}

}  // namespace viewer
