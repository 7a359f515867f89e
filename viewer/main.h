// The viewer's main window TForm1 (unit main) and the program-wide state of the viewer.
//
// All of the viewer's own code lives in namespace viewer. The window's design is the form
// description "Form1.frm" in the resources folder; its components are bound to the fields below
// and its handlers by name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/forms/actions.h"
#include "platform/forms/edit.h"
#include "platform/forms/form.h"
#include "platform/forms/image.h"
#include "platform/forms/panel.h"
#include "platform/forms/timer.h"
#include "platform/media/mediaplayer.h"
#include "platform/rtl/locks.h"
#include "platform/web/webbrowser.h"
#include "viewer/types.h"

namespace viewer {

class TForm2;
class TForm3;
class TForm4;
class TForm5;
class Tsett;

using forms::TCloseAction;
using forms::TMouseButton;
using forms::TObject;
using forms::TShiftState;
// The player's modes and reports, as the viewer's code names them.
using forms::TMPModes;
using forms::mpNotReady, forms::mpStopped, forms::mpPlaying, forms::mpRecording, forms::mpSeeking, forms::mpPaused,
    forms::mpOpen;
using forms::TMPNotifyValues;
using forms::nvSuccessful, forms::nvSuperseded, forms::nvAborted, forms::nvFailure;

class TForm1 : public forms::TForm {
public:
    explicit TForm1(forms::TComponent* owner);
    ~TForm1() override;
    const char* ClassName() const override { return "TForm1"; }

    // ---- components (bound from the form description) ----
    forms::TWebBrowser* datacenter = nullptr;
    forms::TWebBrowser* mailcenter = nullptr;
    forms::TImage* bg_top = nullptr;
    forms::TImage* bg_tl = nullptr;
    forms::TImage* bg_tr = nullptr;
    forms::TImage* bg_l = nullptr;
    forms::TImage* bg_r = nullptr;
    forms::TImage* bg_bl = nullptr;
    forms::TImage* bg_bot = nullptr;
    forms::TImage* bg_br = nullptr;
    forms::TImage* bg_lt = nullptr;
    forms::TImage* bg_lb = nullptr;
    forms::TImage* bg_rt = nullptr;
    forms::TImage* bg_rb = nullptr;
    forms::TImage* header = nullptr;
    forms::TImage* ico_logo = nullptr;
    forms::TImage* ico_name = nullptr;
    forms::TImage* ico_min = nullptr;
    forms::TImage* ico_max = nullptr;
    forms::TImage* ico_clo = nullptr;
    forms::TImage* _resizer = nullptr;
    forms::TImage* testbutton = nullptr;
    forms::TEdit* searcher = nullptr;
    forms::TImage* searcher_img = nullptr;
    forms::TImage* Sound_fon = nullptr;
    forms::TImage* sound_but = nullptr;
    forms::TImage* Sound_play = nullptr;
    forms::TImage* Sound_pause = nullptr;
    forms::TMediaPlayer* music_but = nullptr;
    forms::TPanel* videocenter = nullptr;
    forms::TTimer* volume_upper = nullptr;
    forms::TTimer* volume_downer = nullptr;
    forms::TTimer* Timer1 = nullptr;
    forms::TTimer* Timer2 = nullptr;
    forms::TActionList* ActionList1 = nullptr;
    forms::TAction* cleft = nullptr;
    forms::TAction* Cright = nullptr;
    forms::TAction* AUpdate = nullptr;
    forms::TAction* ASettings = nullptr;
    forms::TAction* Aindex = nullptr;
    forms::TAction* ReloadDoc = nullptr;
    forms::TAction* ACreators = nullptr;
    forms::TAction* AFavs = nullptr;
    forms::TAction* Vol_UP = nullptr;
    forms::TAction* Vol_down = nullptr;
    forms::TComponent* XPManifest1 = nullptr;

    // ---- start-up and window (main_start.cpp, main_window.cpp) ----
    void FormCreate(TObject* Sender);
    void FormShow(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void FormDestroy(TObject* Sender);
    void FormResize(TObject* Sender);
    void FormMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
    void CheckBrowserAndStart();
    bool check_reg();
    std::string check_ie(std::string& Version);
    void StartViewer();
    bool set_cursor();

    // Registry values under HKEY_LOCAL_MACHINE "\Software\" + RegistryKeyName (main_registry.cpp).
    void ReadBackSound(std::string& Value);
    void ReadLastPage(std::string& Value);
    void ReadStyle(std::string& Value);
    void WriteSoundAndStyle(const std::string& Sound, const std::string& Style);
    void WriteLastPage(const std::string& Value);

    // Window chrome.
    void headerMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void ico_maxClick(TObject* Sender);
    void ico_minClick(TObject* Sender);
    void ico_cloClick(TObject* Sender);
    void _resizerMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void _resizerMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
    void _resizerMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void Timer1Timer(TObject* Sender);
    void Timer2Timer(TObject* Sender);

    // ---- navigation, actions and skin buttons (main_navigate.cpp, main_buttons.cpp) ----
    void OpenPage(const std::string& PageName);
    void datacenterBeforeNavigate2(TObject* Sender, const std::string& URL, int Flags,
                                   const std::string& TargetFrameName, const std::string& PostData,
                                   const std::string& Headers, bool& Cancel);
    void datacenterDocumentComplete(TObject* Sender, const std::string& URL);
    void datacenterDownloadComplete(TObject* Sender);
    void HideBrowserBorder(forms::TWebBrowser* Browser);
    void testbuttonClick(TObject* Sender);
    void testbuttonMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void testbuttonMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void testbuttonMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
    void searcherKeyPress(TObject* Sender, char& Key);
    void cleftExecute(TObject* Sender);
    void CrightExecute(TObject* Sender);
    void ASettingsExecute(TObject* Sender);
    void AUpdateExecute(TObject* Sender);
    void AindexExecute(TObject* Sender);
    void ReloadDocExecute(TObject* Sender);
    void ACreatorsExecute(TObject* Sender);
    void AFavsExecute(TObject* Sender);
    void OpenCopyright();
    void OpenHelp();
    void AddFavorite();
    void ShowFavorites();
    void RunProgram(const std::string& CommandLine);

    // ---- background music, clips and volume (main_media.cpp) ----
    void SetMusicVolume(forms::TMediaPlayer* Player, int Value);
    int GetMusicVolume(forms::TMediaPlayer* Player);
    bool PageHasVideo(const std::string& PageName);
    void VideoPageRule(const std::string& PageName);
    void StartBackgroundMusic();
    void PlayVideo(const std::string& ClipName);
    void WaveVolumeUp();
    void WaveVolumeDown();
    void ToggleMute();
    void music_butNotify(TObject* Sender);
    void Sound_pauseClick(TObject* Sender);
    void Sound_playClick(TObject* Sender);
    void sound_butMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void sound_butMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void sound_butMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
    void volume_upperTimer(TObject* Sender);
    void volume_downerTimer(TObject* Sender);
    void Vol_UPExecute(TObject* Sender);
    void Vol_downExecute(TObject* Sender);
    void AppActivate(TObject* Sender);
    void AppDeactivate(TObject* Sender);

    // True once FormClose has begun: the close runs once, and an open that finds nothing to show
    // while closing does not close again.
    bool Closing() const { return FClosing; }

private:
    void RunButtonAction(const TMBut& Button);
    void OpenHtmlButton(const TMBut& Button);
    void StepPartPage(int Delta);
    void OpenIgnoringFailures(const std::string& PageName);

    bool FClosing = false;
};

// Window bounds saved before maximising.
struct TNormalBounds {
    uint16_t Left = 0;
    uint16_t Top = 0;
    uint16_t Width = 0;
    uint16_t Height = 0;
};

// ---- program-wide state (main_globals.cpp) ----
extern std::string AppDir;           // program folder with a trailing "\"
extern rtl::TInstanceGuard StartedFile;  // "started.dat" and the lock on the program folder, held
                                       // from the start sequence to FormDestroy
extern uint8_t StartedOnce;          // 1 after the end of the first show
extern uint8_t NotMaximized;         // 1 while the window has its normal bounds
extern TNormalBounds NormalBounds;
extern int32_t Resizing;             // -1 while the resize grip is held
extern uint16_t StartButton;         // index of the skin button clicked at start
extern uint16_t SearchTop;           // configured tops of searcher and searcher_img below the header
extern uint16_t SearchImgTop;
extern std::string RegistryKeyName;  // subkey under HKEY_LOCAL_MACHINE "\Software\"
extern std::string UpdateUrl;        // base address of the update server
extern std::vector<TMBut> Buttons;   // skin buttons in configuration order
extern std::vector<forms::TImage*> ButtonImages;  // their on-form pictures, same index
extern std::vector<TKorSkin> SkinStyles;
extern TCurDoc CurrentDoc;
extern uint8_t FirstPageShown;       // 1 after the first "html" button click of the run

// Background music and volume.
extern uint8_t MusicEnabled;         // 1 when "BackSound" names a track
extern uint8_t SliderDragging;
extern int32_t VolumePos;            // last volume-slider value, 0 = none yet
extern uint16_t VolumeStep;
extern uint32_t SavedWaveVolume;

// The windows, created by the program block in this order: Form1, Form2, Form3, Form5, sett, Form4.
extern TForm1* Form1;
extern TForm2* Form2;
extern TForm3* Form3;
extern TForm4* Form4;
extern TForm5* Form5;
extern Tsett* sett;

// A string value of the book's key HKEY_LOCAL_MACHINE "\Software\" + RegistryKeyName: read ("" when missing; false while the book names no key) and
// written (a store that cannot be written is reported once a run, and the viewer goes on).
bool ReadSetting(const char* name, std::string& value);
void WriteSetting(const char* name, const std::string& value);
// Tells the reader, the first time in a run, that a setting could not be saved.
void ReportSettingsNotSaved();
extern bool SettingsFailureReported;  // the report above has been shown in this run

// Puts the program-wide state of this unit back to its start values (tests start afresh with it).
void ResetMainState();

}  // namespace viewer
