// Start-up and closing of the main window: the browser check, the start sequence with the
// single-instance guard, the cursor and data folder, and the close that remembers the last page.
#include "platform/forms/application.h"
#include "platform/forms/cursors.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/process.h"
#include "platform/rtl/registry.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/textfile.h"
#include "viewer/bindings.h"
#include "viewer/forms.h"
#include "viewer/main.h"
#include "viewer/prepare.h"
#include "viewer/scratch.h"

namespace viewer {

namespace {

const char* const kBrowserKey = "\\SOFTWARE\\tervanix\\";
const char* const kBrowserAnswer = "IExplorer6";

std::string BrowserSetupQuestion() {
    const std::string gap = "\r\r";
    return rtl::Ru("Обнаружена устаревшая версия Internet Explorer. Для корректной работы с энциклопедией "
                   "необходимо установить Internet Explorer 6.0.") +
           gap +
           rtl::Ru("Если Вы хотите установить программу прямо сейчас, нажмите кнопку «Yes» и установка начнется. "
                   "В противном случае нажмите кнопку «No» и Вы продолжите работу с установленной версией "
                   "Internet Explorer, но при этом возможно некорректное отображение элементов страниц "
                   "энциклопедии.") +
           gap +
           rtl::Ru("Если Вы не установите Internet Explorer 6.0 сейчас, но захотите сделать это в будущем, Вы "
                   "можете воспользоваться окном приветствия энциклопедии.") +
           gap + rtl::Ru("Установить Internet Explorer 6.0?");
}

// An old browser is one whose version text begins with a digit below 6. An empty version, or one
// that does not begin with a digit, names no browser that a set-up could replace: no prompt.
bool BrowserIsOutdated(const std::string& version) {
    if (version.empty() || version[0] < '0' || version[0] > '9') return false;
    return version[0] - '0' < 6;
}

std::string NoPlaceForTheGuardMessage() {
    return rtl::Ru("Не удается запустить программу: нет доступа к папке программы.");
}

// Records the reader's answer when the key exists; the viewer never creates it.
void RecordBrowserAnswer(const char* answer) {
    rtl::TRegistry registry;
    registry.RootKey = rtl::HKEY_LOCAL_MACHINE;
    try {
        if (registry.OpenKey(kBrowserKey, false)) registry.WriteString(kBrowserAnswer, answer);
    } catch (const rtl::ERegistryException&) {
        ReportSettingsNotSaved();
    }
    registry.CloseKey();
}

// The current document as "LastPage" keeps it: the part after "data\"; for a generated page in the
// cache folder, its name, as the data folder would give it.
std::string PageToReopen(const std::string& path) {
    if (!path.empty() && scratch::InCache(AppDir)) {
        const std::string folder = scratch::Folder(AppDir);
        if (path.size() > folder.size() && rtl::SameText(path.substr(0, folder.size()), folder))
            return path.substr(folder.size());
    }
    if (int at = rtl::Pos("data\\", path); at > 0) return rtl::Copy(path, at + 5, 9999);
    return path;
}

// Ends the application however the code between leaves (closing must end it even when the
// farewell page fails).
struct TerminateOnExit {
    ~TerminateOnExit() { forms::Application().Terminate(); }
};

}  // namespace

void TForm1::FormCreate(TObject*) {}

void TForm1::FormShow(TObject*) {
    CheckBrowserAndStart();
    // A start that ended the application leaves no window behind.
    if (forms::Application().Terminated()) SetVisible(false);
}

bool TForm1::check_reg() {
    rtl::TRegistry registry;
    registry.RootKey = rtl::HKEY_LOCAL_MACHINE;
    if (!registry.OpenKey(kBrowserKey, false)) return true;
    std::string answer = registry.ReadString(kBrowserAnswer);
    registry.CloseKey();
    return answer.empty();
}

std::string TForm1::check_ie(std::string& Version) {
    Version.clear();
    rtl::TRegistry registry;
    registry.RootKey = rtl::HKEY_LOCAL_MACHINE;
    if (registry.OpenKey("Software\\Microsoft\\Internet Explorer", false)) {
        Version = registry.ReadString("Version");
        registry.CloseKey();
    }
    return Version;
}

void TForm1::CheckBrowserAndStart() {
    std::string version;
    if (check_reg() && BrowserIsOutdated(check_ie(version))) {
        int answer = rtl::Dialogs().MessageDlg(BrowserSetupQuestion(), rtl::mtInformation, {rtl::mbYes, rtl::mbNo});
        if (answer == rtl::mrYes) {
            RecordBrowserAnswer("1");
            rtl::WinExec("IE6\\ie6setup.exe", rtl::SW_SHOW);
            forms::Application().Terminate();
        } else {
            RecordBrowserAnswer("0");
            StartViewer();
        }
    } else {
        StartViewer();
    }
    // Music belongs to a start that went on: a declined, refused (second viewer) or skinless start
    // ends here without reading or creating the book's settings.
    if (StartedOnce == 0 && !forms::Application().Terminated()) StartBackgroundMusic();
    StartedOnce = 1;
}

bool TForm1::set_cursor() {
    AppDir = rtl::ProgramFolder();
    rtl::ChDir(AppDir + "data\\");
    forms::Screen().LoadCursor(1, AppDir + "data\\cursor.cur");
    SetCursor(1);
    return true;
}

void TForm1::StartViewer() {
    AppDir = rtl::ProgramFolder();
    NotMaximized = 1;
    set_cursor();
    SetCaption(forms::Application().Title);
    switch (StartedFile.Open(AppDir + "started.dat")) {
        case rtl::TGuardResult::Held: break;
        case rtl::TGuardResult::HeldElsewhere:
            // Another viewer has the book open: this one ends silently.
            forms::Application().Terminate();
            return;
        case rtl::TGuardResult::NowhereToHold:
            rtl::Dialogs().MessageDlg(NoPlaceForTheGuardMessage(), rtl::mtCustom, rtl::mbOK);
            forms::Application().Terminate();
            return;
    }
    // What writers killed before they finished left beside the book's records and the settings store.
    for (const char* record : {"intcfg.dat", "kor_iphist.dat"}) rtl::RemoveStaleTempFiles(AppDir + record);
    rtl::RemoveRegistryLeftovers();
    Form5->my_ip.HistoryFilename = AppDir + "kor_iphist.dat";
    ClearUnfinishedInstall();  // what an update killed while it unpacked left in the book
    if (Form2->LoadSkin() == 0) {
        forms::Application().Terminate();
        return;
    }
    if (StartButton < ButtonImages.size()) testbuttonClick(ButtonImages[StartButton]);
    else RefreshFavoritesPage();
    // The first page has been loading behind the splash; the main window comes when the splash
    // has had its time, and the splash goes after it, as it did before.
    Form2->WaitSplashPause();
    Show();
    Form2->EndSplashPause();
    forms::Application().OnActivate = [this](TObject* Sender) { AppActivate(Sender); };
    forms::Application().OnDeactivate = [this](TObject* Sender) { AppDeactivate(Sender); };
}

void TForm1::FormClose(TObject*, TCloseAction& Action) {
    Action = forms::caFree;
    if (FClosing) return;
    FClosing = true;
    TerminateOnExit endApplication;
    if (music_but->Mode() == forms::mpOpen) music_but->Close();
    const std::string page = PageToReopen(CurrentDoc.Path);
    std::string lastPage;
    ReadLastPage(lastPage);
    // A clip is shown in the player, not composed: it never becomes the page to reopen.
    if (!lastPage.empty() && !page.empty() && page != "frew.html" && CurrentDoc.IsVideo == 0) WriteLastPage(page);
    // The farewell page is a courtesy: the program ends whatever it meets.
    try {
        OpenPage("frew.html");
    } catch (const std::exception&) {
    }
}

void TForm1::FormDestroy(TObject*) {
    try {
        StartedFile.Close();
    } catch (...) {
    }
}

}  // namespace viewer
