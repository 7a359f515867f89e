// The launcher window: its class table, creation (the browser gate), showing (folder, cursors and
// the rows offered by what the registry says is installed) and the row states.
#include "launcher/Unit1.h"

#include "platform/forms/application.h"
#include "platform/forms/cursors.h"
#include "platform/forms/formdesc.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/registry.h"
#include "platform/rtl/sysutils.h"

namespace launcher {

std::string LauncherDir;
std::string InstallPath;
std::string ProductKey = "orbel_lumen";
std::string MakerUrl;
std::string PublisherUrl = "http://www.orbel-lumen.ru/publisher/";
rtl::TNamedMutex MutexHandle;
uint8_t InstallRowSelector = 0;
uint8_t RemoveRowSelector = 0;
uint8_t RunRowSelector = 0;
uint8_t PendingRow = 0;
TForm1* Form1 = nullptr;

namespace {

constexpr forms::TCursor kArrowCursor = 1;
constexpr forms::TCursor kLinkCursor = 2;
constexpr int kParkedLeft = 500;  // outside the window

const char* const kMakerUrl = "http://www.orbel-lumen.ru/";

std::string ApplicationTitle() { return rtl::Ru("Установка справочника"); }

std::string NoPlaceForTheLockMessage() {
    return rtl::Ru("Не удается запустить программу: нет доступа на запись во временную папку пользователя.");
}

const forms::TFormClass& TForm1Class() {
    using F = TForm1;
    static const forms::TFormTable<F> table = [] {
        forms::TFormTable<F> t("TForm1", "launcher/Form1.frm");
        t.Field("Image1", &F::Image1).Field("Image2", &F::Image2).Field("Image3", &F::Image3);
        t.Field("Image4", &F::Image4).Field("Image5", &F::Image5).Field("Image6", &F::Image6);
        t.Field("b11", &F::b11).Field("b12", &F::b12).Field("b13", &F::b13).Field("b14", &F::b14);
        t.Field("b21", &F::b21).Field("b22", &F::b22).Field("b23", &F::b23).Field("b24", &F::b24);
        t.Field("b31", &F::b31).Field("b32", &F::b32).Field("b33", &F::b33).Field("b34", &F::b34);
        t.Field("b39", &F::b39).Field("b41", &F::b41).Field("b51", &F::b51).Field("b54", &F::b54);
        t.Field("Timer1", &F::Timer1);
        t.Handler("FormCreate", &F::FormCreate).Handler("FormShow", &F::FormShow);
        t.Handler("b11MouseUp", &F::b11MouseUp).Handler("b11MouseDown", &F::b11MouseDown);
        t.Handler("b21MouseUp", &F::b21MouseUp).Handler("b21MouseDown", &F::b21MouseDown);
        t.Handler("b31MouseUp", &F::b31MouseUp).Handler("b31MouseDown", &F::b31MouseDown);
        t.Handler("b41MouseUp", &F::b41MouseUp).Handler("b54MouseUp", &F::b54MouseUp);
        t.Handler("b61MouseUp", &F::b61MouseUp).Handler("Image6MouseUp", &F::Image6MouseUp);
        t.Handler("Image3Click", &F::Image3Click).Handler("Image4Click", &F::Image4Click);
        t.Handler("Image5Click", &F::Image5Click).Handler("Timer1Timer", &F::Timer1Timer);
        return t;
    }();
    return table;
}

// Parks every picture of a row outside the window, then brings the selected one to Left 0.
void PlaceRow(uint8_t selector, std::initializer_list<std::pair<uint8_t, forms::TImage*>> pictures) {
    for (const auto& [number, picture] : pictures)
        if (picture) picture->SetLeft(kParkedLeft);
    for (const auto& [number, picture] : pictures)
        if (picture && number == selector) picture->SetLeft(0);
}

}  // namespace

TForm1::TForm1(forms::TComponent* owner) : forms::TForm(owner) { InitForm(TForm1Class()); }

// The browser gate: the browser set-up entry is offered to browsers older than version 6.
void TForm1::FormCreate(forms::TObject*) {
    std::string version = GetIEVersion();
    // Without a recorded browser there is nothing to upgrade; the entry stays faded.
    if (version.empty()) return;
    if (rtl::StrToInt(rtl::Copy(version, 1, 1)) < 6) b39->Hide();
}

std::string TForm1::GetIEVersion() {
    rtl::TRegistry registry;
    registry.RootKey = rtl::HKEY_LOCAL_MACHINE;
    std::string version;
    if (registry.OpenKeyReadOnly("Software\\Microsoft\\Internet Explorer")) {
        if (registry.ValueExists("Version")) version = registry.ReadString("Version");
        registry.CloseKey();
    }
    return version;
}

void TForm1::FormShow(forms::TObject*) {
    LauncherDir = rtl::ProgramFolder();
    InitConstants();
    InitCursors();
    for (forms::TImage* image : {b14, b54, b24, b39, Image2}) image->SetCursor(kArrowCursor);
    for (forms::TImage* image : {b11, b21, b31, b51, Image3, Image5}) image->SetCursor(kLinkCursor);
    SetRowStates(rsOffered, rsOffered, true, rsOffered);
    if (ReadInstallPath()) {
        SetRowStates(rsWithdrawn, 0, true, 0);
    } else {
        SetRowStates(0, rsWithdrawn, true, 0);
        SetRowStates(0, 0, true, rsWithdrawn);
    }
}

void TForm1::InitConstants() {
    ProductKey = "orbel_lumen";
    MakerUrl = kMakerUrl;
    forms::Application().Title = ApplicationTitle();
}

// Cursors and the click sound are files of the launcher's folder, which becomes the current one.
void TForm1::InitCursors() {
    rtl::ChDir(LauncherDir);
    forms::Screen().LoadCursor(kArrowCursor, "cursor.cur");
    forms::Screen().LoadCursor(kLinkCursor, "cursorlink.cur");
    Image1->SetCursor(kArrowCursor);
}

void TForm1::SetRowStates(uint8_t install, uint8_t remove, bool remember, uint8_t run) {
    if (install != 0) {
        if (remember) InstallRowSelector = install;
        PlaceRow(install, {{1, b11}, {2, b12}, {3, b13}, {4, b14}});
    }
    if (remove != 0) {
        if (remember) RemoveRowSelector = remove;
        PlaceRow(remove, {{1, b21}, {2, b22}, {3, b23}, {4, b24}});
    }
    if (run != 0) {
        if (remember) RunRowSelector = run;
        PlaceRow(run, {{1, b51}, {4, b54}});
    }
}

// PATH names the installed viewer's folder; a missing key keeps what was read before.
bool TForm1::ReadInstallPath() {
    rtl::TRegistry registry;
    registry.RootKey = rtl::HKEY_LOCAL_MACHINE;
    if (registry.OpenKey("\\Software\\" + ProductKey + "\\", false)) {
        InstallPath = registry.ReadString("PATH");
        registry.CloseKey();
    }
    return !InstallPath.empty();
}

int RunInstaller() {
    if (rtl::TNamedMutex::OpenExisting(ProductKey)) return 0;
    if (!MutexHandle.Create(ProductKey)) {
        if (MutexHandle.AlreadyExists()) return 0;  // another launcher runs: end without a word
        // None of the user's lock folders can hold the lock: the menu says why it does not open.
        rtl::Dialogs().MessageDlg(NoPlaceForTheLockMessage(), rtl::mtCustom, rtl::mbOK);
        return 1;
    }
    rtl::RemoveRegistryLeftovers();  // what writers of the settings store killed before they finished left
    forms::TApplication& application = forms::Application();
    application.Title = ApplicationTitle();
    try {
        application.CreateForm(Form1);
    } catch (const std::exception& error) {
        // Without its window description the menu cannot be shown.
        application.ShowException(error);
        return 1;
    }
    return application.Run();
}

}  // namespace launcher
