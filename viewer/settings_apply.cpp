// Applying the settings: the stylesheet, the text style index, the last-page option, the skin style
// (with a skin reload), the background music (with a restart of the viewer) and the registry values.
#include <algorithm>
#include <cstdint>
#include <exception>

#include "platform/forms/application.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/process.h"
#include "viewer/bindings.h"
#include "viewer/main.h"
#include "viewer/prepare.h"
#include "viewer/settings.h"

namespace viewer {

namespace {

bool StartProgram(const std::string& Program) {
    return rtl::ShellExecuteOpen(Program, "", rtl::ExtractFilePath(Program), rtl::SW_SHOWNORMAL) > 32;
}

TProgramStarter& Starter() {
    static TProgramStarter starter = StartProgram;
    return starter;
}

std::string ProgramDirectory() { return rtl::ExcludeTrailingBackslash(rtl::ProgramFolder()); }

// Slider value per pixel of the knob's offset on the volume track, as the slider itself reads it;
// 0 for a track without width.
int SliderFactor(int trackWidth) {
    if (trackWidth <= 0) return 0;
    return trackWidth > 1000 ? 1 : 1000 / trackWidth;
}

// The restart that music asks for. The new copy is started only when the apply handler is left
// (normally or by an error), so it reads the registry values this apply writes; and this copy lets
// go of "started.dat" first, so the new copy's single-instance guard lets it through. This copy
// ends as soon as the handler returns to the message loop.
class TRestart {
public:
    TRestart() = default;
    TRestart(const TRestart&) = delete;
    TRestart& operator=(const TRestart&) = delete;
    ~TRestart() {
        if (!FRequested) return;
        try {
            StartedFile.Close();
            if (Starter()) Starter()(rtl::ParamStr0());
        } catch (...) {
            // The ending copy has nothing left to report to.
        }
    }
    void Request() {
        FRequested = true;
        forms::Application().Terminate();
    }

private:
    bool FRequested = false;
};

void ShowPictures(std::initializer_list<forms::TImage*> pictures, bool visible) {
    for (forms::TImage* picture : pictures) picture->SetVisible(visible);
}

}  // namespace

void SetProgramStarter(TProgramStarter NewStarter) { Starter() = NewStarter ? std::move(NewStarter) : StartProgram; }

void ResetSettingsState() {
    SettProgramFolder.clear();
    StyleSrc.clear();
    StyleDst.clear();
    Starter() = StartProgram;
}

void Tsett::Image1Click(forms::TObject*) {
    TRestart restart;
    ApplyTextStyle();
    Hide();
    Form1->WriteLastPage(SavePage->Checked() ? "Enabled" : "");
    StyleSrc = ProgramDirectory() + "\\Styles\\" + KorStyle->Text() + "\\";
    StyleDst = ProgramDirectory() + "\\";
    Form1->Show();
    Form1->BringToFront();
    ApplySkinStyle();

    if (Back_sound->Checked()) restart.Request();
    const std::string track = ApplyMusic();
    Form1->WriteSoundAndStyle(track, KorStyle->Text());
    std::string stored;
    Form1->ReadBackSound(stored);
    if (stored.empty()) Form1->music_but->Close();
    // Nothing shown yet: there is no document to reopen (opening none would close the viewer).
    if (!CurrentDoc.Path.empty()) Form1->OpenPage(CurrentDoc.Path);
    Form1->Timer1->SetEnabled(true);

    if (Form1->music_but->Mode() == forms::mpPaused) {
        if (const int factor = SliderFactor(Form1->Sound_fon->Width()); factor > 0)
            VolumePos = factor * (Form1->sound_but->Left() - Form1->Sound_fon->Left()) - 5;
        Form1->Sound_pause->Hide();
    }
}

// The chosen style's stylesheet for the chosen size becomes "data\style.css"; the choice is stored.
// Without a chosen style (none configured, or none selected) both are left as they were.
void Tsett::ApplyTextStyle() {
    const int index = textstyle->ItemIndex();
    if (index < 0 || size_t(index) >= SkinStyles.size()) return;
    const TKorSkin& style = SkinStyles[size_t(index)];
    const std::string data = rtl::IncludeTrailingBackslash(rtl::ProgramFolder()) + "data\\";
    const std::string& sheet = fontsize->ItemIndex() == 1 ? style.LargeSheet : style.MediumSheet;
    rtl::CopyFile(data + sheet, data + "style.css", false);  // a failed copy is silent
    IntConfig.TextStyleIndex = uint16_t(index);
    SaveIntConfigOrReport();
}

void Tsett::ApplySkinStyle() {
    std::string stored;
    Form1->ReadStyle(stored);
    if (KorStyle->Text() == stored) return;
    ApplyStyleFiles();
    Buttons_Destroy();
    Form2->LoadSkin();
}

// Returns the track to store: the chosen one with music on, else empty.
std::string Tsett::ApplyMusic() {
    TForm1& f = *Form1;
    forms::TMediaPlayer& player = *f.music_but;
    if (!Back_sound->Checked()) {
        ShowPictures({f.Sound_fon, f.sound_but, f.Sound_play, f.Sound_pause}, false);
        for (forms::TImage* picture : {f.Sound_pause, f.Sound_fon, f.sound_but}) picture->SetEnabled(true);
        return "";
    }
    ShowPictures({f.Sound_fon, f.sound_but, f.Sound_pause}, true);
    player.Close();
    const std::string file = ProgramDirectory() + "\\BackSound\\" + Sound_Box->Text() + ".mp3";
    player.FileName = file;
    player.Open();
    player.Play();
    const std::string track = Sound_Box->Text();
    std::string stored;
    f.ReadBackSound(stored);
    if (track != stored) {
        player.FileName = file;
        player.Open();
        f.SetMusicVolume(&player, VolumePos);
        player.Play();
    }
    return track;
}

void Tsett::Buttons_Destroy() {
    for (forms::TImage* image : ButtonImages)
        if (image) image->Free();
    ButtonImages.clear();
    // The four picture holders of every button go too: nothing refers to them once Buttons is empty.
    for (TMBut& button : Buttons)
        for (forms::TImage* holder : {button.NormalPicture, button.DownPicture, button.UpPicture, button.ExtraPicture})
            if (holder) holder->Free();
    Buttons.clear();
}

}  // namespace viewer
