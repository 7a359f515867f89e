// The settings dialog Tsett (unit settings): text size and text style of the pages, the skin style
// (files of a style folder copied over the program's own, then the skin reloaded), background
// music and its track, and whether the last page is reopened at the next start.
//
// Its design is the form description "sett.frm". As designed, the lists, the check boxes, their
// label zones and the OK and Cancel pictures lie outside the 400 x 300 client area: the dialog shows
// its background, its title strip (which drags it) and its close box.
#pragma once

#include <functional>
#include <string>

#include "platform/forms/checkbox.h"
#include "platform/forms/combobox.h"
#include "platform/forms/form.h"
#include "platform/forms/image.h"
#include "platform/media/mediaplayer.h"

namespace viewer {

class Tsett : public forms::TForm {
public:
    explicit Tsett(forms::TComponent* owner);
    const char* ClassName() const override { return "Tsett"; }

    // ---- components (bound from the form description) ----
    forms::TImage* bg = nullptr;
    forms::TImage* Image1 = nullptr;  // hover zone of the OK picture
    forms::TImage* Image2 = nullptr;  // title strip
    forms::TImage* Image3 = nullptr;  // OK picture
    forms::TImage* Image4 = nullptr;  // hover zone of the Cancel picture
    forms::TImage* Image5 = nullptr;  // Cancel picture
    forms::TImage* Image6 = nullptr;  // close box
    forms::TImage* Image7 = nullptr;  // label zone of SavePage
    forms::TImage* Image8 = nullptr;  // label zone of Back_sound
    forms::TComboBox* fontsize = nullptr;
    forms::TComboBox* textstyle = nullptr;
    forms::TCheckBox* Back_sound = nullptr;
    forms::TComboBox* KorStyle = nullptr;
    forms::TCheckBox* SavePage = nullptr;
    forms::TComboBox* Sound_Box = nullptr;
    forms::TMediaPlayer* MediaPlayer123 = nullptr;

    // ---- handlers (settings.cpp, settings_apply.cpp) ----
    void FormShow(forms::TObject* Sender);
    void Image1Click(forms::TObject* Sender);  // apply
    void Image5Click(forms::TObject* Sender);
    void Image6Click(forms::TObject* Sender);
    void Image2MouseDown(forms::TObject* Sender, forms::TMouseButton Button, forms::TShiftState Shift, int X, int Y);
    void Image1MouseMove(forms::TObject* Sender, forms::TShiftState Shift, int X, int Y);
    void Image4MouseMove(forms::TObject* Sender, forms::TShiftState Shift, int X, int Y);
    void bgMouseMove(forms::TObject* Sender, forms::TShiftState Shift, int X, int Y);
    void Back_soundClick(forms::TObject* Sender);
    void Image7Click(forms::TObject* Sender);
    void Image8Click(forms::TObject* Sender);

    // Fills KorStyle from the subfolders of "Styles" and Sound_Box from the ".mp3" files of
    // "BackSound", both under the program's folder.
    void Prepare_boxes();
    // Index of the stored track in Sound_Box: the last equal item; 0 when none is stored or none
    // equals it.
    int sound_index();
    // Frees the skin's picture buttons before a skin reload; Buttons and ButtonImages are empty then.
    void Buttons_Destroy();

private:
    void ApplyTextStyle();
    void ApplySkinStyle();
    std::string ApplyMusic();
};

// ---- unit state ----
extern std::string SettProgramFolder;  // the program folder at the last show, trailing "\"
extern std::string StyleSrc;           // source and target folders of the style-file copy
extern std::string StyleDst;

// Copies the files of StyleSrc over their namesakes in StyleDst, in every subfolder too. Files
// without a namesake are not copied; a missing folder on either side changes nothing.
void ApplyStyleFiles();

// Starts the new copy of the viewer after an apply with music on. The default opens the program's
// own file; tests record the call instead. Returns false when the start failed.
using TProgramStarter = std::function<bool(const std::string& Program)>;
void SetProgramStarter(TProgramStarter Starter);

// Puts this unit's state back to its start values (and the default starter).
void ResetSettingsState();

}  // namespace viewer
