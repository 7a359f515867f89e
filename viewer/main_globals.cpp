// The program-wide state of the viewer's main unit and the binding of TForm1's description.
#include "platform/forms/formdesc.h"
#include "viewer/main.h"
#include "viewer/scratch.h"

namespace viewer {

std::string AppDir;
rtl::TInstanceGuard StartedFile;
uint8_t StartedOnce = 0;
uint8_t NotMaximized = 1;
TNormalBounds NormalBounds;
int32_t Resizing = 0;
uint16_t StartButton = 0;
uint16_t SearchTop = 0;
uint16_t SearchImgTop = 0;
std::string RegistryKeyName;
std::string UpdateUrl;
std::vector<TMBut> Buttons;
std::vector<forms::TImage*> ButtonImages;
std::vector<TKorSkin> SkinStyles;
TCurDoc CurrentDoc;
uint8_t FirstPageShown = 0;

uint8_t MusicEnabled = 0;
uint8_t SliderDragging = 0;
int32_t VolumePos = 0;
uint16_t VolumeStep = 6500;
uint32_t SavedWaveVolume = 0;

TForm1* Form1 = nullptr;
TForm2* Form2 = nullptr;
TForm3* Form3 = nullptr;
TForm4* Form4 = nullptr;
TForm5* Form5 = nullptr;
Tsett* sett = nullptr;
bool SettingsFailureReported = false;

void ResetMainState() {
    StartedFile.Close();
    AppDir.clear();
    StartedOnce = 0;
    NotMaximized = 1;
    NormalBounds = {};
    Resizing = 0;
    StartButton = 0;
    SearchTop = 0;
    SearchImgTop = 0;
    RegistryKeyName.clear();
    UpdateUrl.clear();
    Buttons.clear();
    ButtonImages.clear();
    SkinStyles.clear();
    CurrentDoc = {};
    FirstPageShown = 0;
    SettingsFailureReported = false;
    MusicEnabled = 0;
    SliderDragging = 0;
    VolumePos = 0;
    VolumeStep = 6500;
    SavedWaveVolume = 0;
    scratch::Reset();
}

namespace {

// The platform's visual-styles manifest: a component with nothing to do on this platform.
class TXPManifest : public forms::TComponent {
public:
    using forms::TComponent::TComponent;
    const char* ClassName() const override { return "TXPManifest"; }
};

void RegisterMainWindowClasses() {
    forms::RegisterWebBrowserClass();
    forms::RegisterMediaPlayerClass();
    forms::RegisterComponentClass("TXPManifest", [](forms::TComponent* owner) { return new TXPManifest(owner); });
}

const forms::TFormTable<TForm1>& Form1Table() {
    static const forms::TFormTable<TForm1> table = [] {
        forms::TFormTable<TForm1> t("TForm1", "Form1.frm");
        t.Field("datacenter", &TForm1::datacenter).Field("mailcenter", &TForm1::mailcenter);
        t.Field("bg_top", &TForm1::bg_top).Field("bg_tl", &TForm1::bg_tl).Field("bg_tr", &TForm1::bg_tr);
        t.Field("bg_l", &TForm1::bg_l).Field("bg_r", &TForm1::bg_r).Field("bg_bl", &TForm1::bg_bl);
        t.Field("bg_bot", &TForm1::bg_bot).Field("bg_br", &TForm1::bg_br).Field("bg_lt", &TForm1::bg_lt);
        t.Field("bg_lb", &TForm1::bg_lb).Field("bg_rt", &TForm1::bg_rt).Field("bg_rb", &TForm1::bg_rb);
        t.Field("header", &TForm1::header).Field("ico_logo", &TForm1::ico_logo).Field("ico_name", &TForm1::ico_name);
        t.Field("ico_min", &TForm1::ico_min).Field("ico_max", &TForm1::ico_max).Field("ico_clo", &TForm1::ico_clo);
        t.Field("_resizer", &TForm1::_resizer).Field("testbutton", &TForm1::testbutton);
        t.Field("searcher", &TForm1::searcher).Field("searcher_img", &TForm1::searcher_img);
        t.Field("Sound_fon", &TForm1::Sound_fon).Field("sound_but", &TForm1::sound_but);
        t.Field("Sound_play", &TForm1::Sound_play).Field("Sound_pause", &TForm1::Sound_pause);
        t.Field("music_but", &TForm1::music_but).Field("videocenter", &TForm1::videocenter);
        t.Field("volume_upper", &TForm1::volume_upper).Field("volume_downer", &TForm1::volume_downer);
        t.Field("Timer1", &TForm1::Timer1).Field("Timer2", &TForm1::Timer2);
        t.Field("ActionList1", &TForm1::ActionList1);
        t.Field("cleft", &TForm1::cleft).Field("Cright", &TForm1::Cright).Field("AUpdate", &TForm1::AUpdate);
        t.Field("ASettings", &TForm1::ASettings).Field("Aindex", &TForm1::Aindex);
        t.Field("ReloadDoc", &TForm1::ReloadDoc).Field("ACreators", &TForm1::ACreators);
        t.Field("AFavs", &TForm1::AFavs).Field("Vol_UP", &TForm1::Vol_UP).Field("Vol_down", &TForm1::Vol_down);
        t.Field("XPManifest1", &TForm1::XPManifest1);

        t.Handler("FormCreate", &TForm1::FormCreate).Handler("FormShow", &TForm1::FormShow);
        t.Handler("FormClose", &TForm1::FormClose).Handler("FormDestroy", &TForm1::FormDestroy);
        t.Handler("FormResize", &TForm1::FormResize).Handler("FormMouseMove", &TForm1::FormMouseMove);
        t.Handler("headerMouseDown", &TForm1::headerMouseDown).Handler("ico_maxClick", &TForm1::ico_maxClick);
        t.Handler("ico_minClick", &TForm1::ico_minClick).Handler("ico_cloClick", &TForm1::ico_cloClick);
        t.Handler("_resizerMouseDown", &TForm1::_resizerMouseDown);
        t.Handler("_resizerMouseMove", &TForm1::_resizerMouseMove);
        t.Handler("_resizerMouseUp", &TForm1::_resizerMouseUp);
        t.Handler("Timer1Timer", &TForm1::Timer1Timer).Handler("Timer2Timer", &TForm1::Timer2Timer);
        t.Handler("datacenterBeforeNavigate2", &TForm1::datacenterBeforeNavigate2);
        t.Handler("datacenterDocumentComplete", &TForm1::datacenterDocumentComplete);
        t.Handler("datacenterDownloadComplete", &TForm1::datacenterDownloadComplete);
        t.Handler("testbuttonClick", &TForm1::testbuttonClick);
        t.Handler("testbuttonMouseDown", &TForm1::testbuttonMouseDown);
        t.Handler("testbuttonMouseUp", &TForm1::testbuttonMouseUp);
        t.Handler("testbuttonMouseMove", &TForm1::testbuttonMouseMove);
        t.Handler("searcherKeyPress", &TForm1::searcherKeyPress);
        t.Handler("cleftExecute", &TForm1::cleftExecute).Handler("CrightExecute", &TForm1::CrightExecute);
        t.Handler("ASettingsExecute", &TForm1::ASettingsExecute).Handler("AUpdateExecute", &TForm1::AUpdateExecute);
        t.Handler("AindexExecute", &TForm1::AindexExecute).Handler("ReloadDocExecute", &TForm1::ReloadDocExecute);
        t.Handler("ACreatorsExecute", &TForm1::ACreatorsExecute).Handler("AFavsExecute", &TForm1::AFavsExecute);
        t.Handler("music_butNotify", &TForm1::music_butNotify);
        t.Handler("Sound_pauseClick", &TForm1::Sound_pauseClick).Handler("Sound_playClick", &TForm1::Sound_playClick);
        t.Handler("sound_butMouseDown", &TForm1::sound_butMouseDown);
        t.Handler("sound_butMouseUp", &TForm1::sound_butMouseUp);
        t.Handler("sound_butMouseMove", &TForm1::sound_butMouseMove);
        t.Handler("volume_upperTimer", &TForm1::volume_upperTimer);
        t.Handler("volume_downerTimer", &TForm1::volume_downerTimer);
        t.Handler("Vol_UPExecute", &TForm1::Vol_UPExecute).Handler("Vol_downExecute", &TForm1::Vol_downExecute);
        return t;
    }();
    return table;
}

}  // namespace

TForm1::TForm1(forms::TComponent* owner) : forms::TForm(owner) {
    RegisterMainWindowClasses();
    InitForm(Form1Table());
}

TForm1::~TForm1() {
    // A plain delete reaches here without BeforeDestruction: OnDestroy must run while this is
    // still a TForm1, not later from the base class (it runs once either way).
    BeforeDestruction();
    // The picture tables point into this window's components, which go away with it.
    ButtonImages.clear();
    for (TMBut& button : Buttons)
        button.NormalPicture = button.DownPicture = button.UpPicture = button.ExtraPicture = nullptr;
    if (Form1 == this) Form1 = nullptr;
}

}  // namespace viewer
