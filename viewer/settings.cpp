// The settings dialog: its description binding, the filling at each show and the small handlers.
#include "viewer/settings.h"

#include "platform/forms/cursors.h"
#include "platform/forms/formdesc.h"
#include "platform/rtl/findfile.h"
#include "platform/rtl/paths.h"
#include "viewer/bindings.h"
#include "viewer/main.h"
#include "viewer/prepare.h"

namespace viewer {

std::string SettProgramFolder;
std::string StyleSrc;
std::string StyleDst;

namespace {

constexpr forms::TCursor kDialogCursor = 1;
// Attribute bits a track file may carry: read-only, hidden, system, volume label, directory, archive.
constexpr int kPlainAttributes = 0x3F;

std::string ProgramDirectory() { return rtl::ExcludeTrailingBackslash(rtl::ProgramFolder()); }

bool Hidden(const std::string& name) { return !name.empty() && name[0] == '.'; }

void RegisterSettingsClasses() {
    forms::RegisterComboBoxClass();
    forms::RegisterCheckBoxClass();
    forms::RegisterMediaPlayerClass();
}

const forms::TFormTable<Tsett>& SettTable() {
    static const forms::TFormTable<Tsett> table = [] {
        forms::TFormTable<Tsett> t("Tsett", "sett.frm");
        t.Field("bg", &Tsett::bg).Field("Image1", &Tsett::Image1).Field("Image2", &Tsett::Image2);
        t.Field("Image3", &Tsett::Image3).Field("Image4", &Tsett::Image4).Field("Image5", &Tsett::Image5);
        t.Field("Image6", &Tsett::Image6).Field("Image7", &Tsett::Image7).Field("Image8", &Tsett::Image8);
        t.Field("fontsize", &Tsett::fontsize).Field("textstyle", &Tsett::textstyle);
        t.Field("Back_sound", &Tsett::Back_sound).Field("KorStyle", &Tsett::KorStyle);
        t.Field("SavePage", &Tsett::SavePage).Field("Sound_Box", &Tsett::Sound_Box);
        t.Field("MediaPlayer123", &Tsett::MediaPlayer123);

        t.Handler("FormShow", &Tsett::FormShow).Handler("Image1Click", &Tsett::Image1Click);
        t.Handler("Image5Click", &Tsett::Image5Click).Handler("Image6Click", &Tsett::Image6Click);
        t.Handler("Image2MouseDown", &Tsett::Image2MouseDown);
        t.Handler("Image1MouseMove", &Tsett::Image1MouseMove).Handler("Image4MouseMove", &Tsett::Image4MouseMove);
        t.Handler("bgMouseMove", &Tsett::bgMouseMove).Handler("Back_soundClick", &Tsett::Back_soundClick);
        t.Handler("Image7Click", &Tsett::Image7Click).Handler("Image8Click", &Tsett::Image8Click);
        return t;
    }();
    return table;
}

// Names of the entries of pattern that pass keep, in the search's order.
template <class Keep>
std::vector<std::string> FindEntries(const std::string& pattern, int attributes, Keep keep) {
    std::vector<std::string> names;
    rtl::TSearchRec entry;
    if (rtl::FindFirst(pattern, attributes, entry) == 0) {
        do {
            if (!Hidden(entry.Name) && keep(entry)) names.push_back(entry.Name);
        } while (rtl::FindNext(entry) == 0);
    }
    rtl::FindClose(entry);
    return names;
}

// Index of the last item equal to value, or -1.
int LastIndexOf(const forms::TComboBox& box, const std::string& value) {
    int found = -1;
    for (int i = 0; i < box.ItemCount(); ++i)
        if (box.Items()[size_t(i)] == value) found = i;
    return found;
}

}  // namespace

Tsett::Tsett(forms::TComponent* owner) : forms::TForm(owner) {
    RegisterSettingsClasses();
    InitForm(SettTable());
}

void Tsett::FormShow(forms::TObject*) {
    Form1->Timer1->SetEnabled(false);
    Prepare_boxes();
    Sound_Box->SetItemIndex(sound_index());
    Back_sound->SetChecked(MusicEnabled != 0);
    Sound_Box->SetEnabled(MusicEnabled != 0);
    Form2->AssignFaceImage(bg, "settings.bmp");

    textstyle->Clear();
    for (const TKorSkin& style : SkinStyles) textstyle->AddItem(style.Name);
    textstyle->SetItemIndex(IntConfig.TextStyleIndex);

    SettProgramFolder = rtl::IncludeTrailingBackslash(rtl::ProgramFolder());
    rtl::SetCurrentDir(SettProgramFolder + "data\\");
    forms::Screen().LoadCursor(kDialogCursor, SettProgramFolder + "data\\cursor.cur");
    SetCursor(kDialogCursor);
    for (forms::TControl* control : std::initializer_list<forms::TControl*>{
             fontsize, textstyle, KorStyle, Image1, Image2, Image3, Image4, Image5, Image6})
        control->SetCursor(kDialogCursor);

    std::string lastPage;
    Form1->ReadLastPage(lastPage);
    SavePage->SetChecked(!lastPage.empty());
    if (Form1->music_but->Mode() == forms::mpPaused) Form1->Sound_pause->Hide();
}

void Tsett::Prepare_boxes() {
    const std::string dir = ProgramDirectory();
    KorStyle->SetItems(FindEntries(dir + "\\Styles\\*", rtl::faDirectory,
                                   [](const rtl::TSearchRec& e) { return e.Attr == rtl::faDirectory; }));
    std::string stored;
    Form1->ReadStyle(stored);
    const int chosen = stored.empty() ? -1 : LastIndexOf(*KorStyle, stored);
    KorStyle->SetItemIndex(chosen >= 0 ? chosen : 0);

    std::vector<std::string> tracks = FindEntries(dir + "\\BackSound\\*.mp3", rtl::faAnyFile, [](const rtl::TSearchRec& e) {
        return (e.Attr & ~kPlainAttributes) == 0;
    });
    for (std::string& track : tracks) track = track.substr(0, track.size() >= 4 ? track.size() - 4 : 0);
    Sound_Box->SetItems(tracks);
}

int Tsett::sound_index() {
    std::string stored;
    Form1->ReadBackSound(stored);
    if (stored.empty()) return 0;
    const int found = LastIndexOf(*Sound_Box, stored);
    // A track no longer in the folder: the first one is offered instead.
    return found >= 0 ? found : 0;
}

void Tsett::Image5Click(forms::TObject*) { Hide(); }

void Tsett::Image6Click(forms::TObject*) { Close(); }

void Tsett::Image2MouseDown(forms::TObject*, forms::TMouseButton, forms::TShiftState, int, int) {
    ReleaseCapture();
    BeginMoveDrag();
}

void Tsett::Image1MouseMove(forms::TObject*, forms::TShiftState, int, int) {
    Image3->Show();
    Image5->Hide();
}

void Tsett::Image4MouseMove(forms::TObject*, forms::TShiftState, int, int) {
    Image5->Show();
    Image3->Hide();
}

void Tsett::bgMouseMove(forms::TObject*, forms::TShiftState, int, int) {
    Image3->Hide();
    Image5->Hide();
}

void Tsett::Back_soundClick(forms::TObject*) { Sound_Box->SetEnabled(Back_sound->Checked()); }

void Tsett::Image7Click(forms::TObject*) { SavePage->SetChecked(!SavePage->Checked()); }

void Tsett::Image8Click(forms::TObject*) { Back_sound->SetChecked(!Back_sound->Checked()); }

}  // namespace viewer
