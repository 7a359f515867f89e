// The launcher's entries: what each click starts, the click sound, and the hidden entries.
#include "launcher/Unit1.h"

#include <memory>

#include "platform/forms/backend.h"
#include "platform/media/sound.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/process.h"

namespace launcher {

namespace {

TProgramStarter& Starter() {
    static TProgramStarter starter;
    return starter;
}

TDocumentOpener& Opener() {
    static TDocumentOpener opener;
    return opener;
}

// The result is ignored where the menu starts something: a program that cannot start is not
// reported, the sound still plays and the window still closes.
int StartProgram(const std::string& cmdLine, int showCmd) {
    if (Starter()) return Starter()(cmdLine, showCmd);
    return rtl::WinExec(cmdLine, showCmd);
}

constexpr unsigned kOpenerPollMs = 100;

void ReportUnopened(const std::string& target) {
    rtl::Dialogs().MessageDlg(rtl::Ru("Не удается открыть «") + target +
                                  rtl::Ru("»: в системе нет программы, которая может это открыть."),
                              rtl::mtCustom, rtl::mbOK);
}

// Follows an opener from the message loop until it ends, so the menu stays live while the opener
// runs, and says so when it could not open the target.
void WatchOpener(const std::string& target, std::shared_ptr<rtl::TOpenerWatch> watch) {
    auto timer = std::make_shared<int>(0);
    *timer = forms::Backend().AddTimer(kOpenerPollMs, [target, watch, timer] {
        if (watch->Running()) return;
        forms::Backend().RemoveTimer(*timer);
        if (watch->Failed()) ReportUnopened(target);
    });
}

// The desktop opens documents and addresses; where no opener can run, or it ends without opening
// the target, a box says so.
int OpenDocument(const std::string& target) {
    if (Opener()) return Opener()(target);
    auto watch = std::make_shared<rtl::TOpenerWatch>();
    const int result = rtl::ShellExecuteOpen(target, "", "", rtl::SW_SHOWNORMAL, watch.get());
    if (watch->Running() || watch->Failed()) WatchOpener(target, std::move(watch));
    return result;
}

bool Started(int result) { return result > 31; }

// Plays to its end before the next step.
void ClickSound() { media::PlaySound("click.wav", media::SND_SYNC | media::SND_FILENAME); }

const char* const kBrowserCommands[] = {
    "c:\\program files\\Internet Explorer\\iexplore.exe ",
    "c:\\program files\\iexplore\\iexplore.exe ",
};

}  // namespace

void SetProgramStarter(TProgramStarter starter) { Starter() = std::move(starter); }
void SetDocumentOpener(TDocumentOpener opener) { Opener() = std::move(opener); }

void TForm1::b11MouseUp(forms::TObject*, forms::TMouseButton, forms::TShiftState, int, int) {
    StartProgram(LauncherDir + "setup.exe", rtl::SW_SHOWNORMAL);
    ClickSound();
    Close();
}

void TForm1::b21MouseUp(forms::TObject*, forms::TMouseButton, forms::TShiftState, int, int) {
    ClickSound();
    StartProgram(InstallPath + "uninstall.exe", rtl::SW_SHOWNORMAL);
    Close();
}

void TForm1::b54MouseUp(forms::TObject*, forms::TMouseButton, forms::TShiftState, int, int) {
    ReadInstallPath();
    ClickSound();
    StartProgram(InstallPath + "book.exe", rtl::SW_SHOWMAXIMIZED);
    Close();
}

void TForm1::b31MouseUp(forms::TObject*, forms::TMouseButton, forms::TShiftState, int, int) {
    StartProgram(LauncherDir + "ie6\\ie6setup.exe", rtl::SW_SHOWNORMAL);
    ClickSound();
}

void TForm1::Image3Click(forms::TObject*) {
    ClickSound();
    Close();
}

void TForm1::Image5Click(forms::TObject*) {
    OpenWebPage(MakerUrl);
    ClickSound();
}

void TForm1::Image4Click(forms::TObject*) { OpenWebPage(PublisherUrl); }

// Both browser command lines run; where neither browser exists (as on this system) the address
// goes to the desktop's opener, so the page still opens.
void TForm1::OpenWebPage(const std::string& url) {
    bool opened = false;
    for (const char* browser : kBrowserCommands)
        opened = Started(StartProgram(browser + url, rtl::SW_SHOWNORMAL)) || opened;
    if (!opened) OpenDocument(url);
}

// The readme goes to the text editor; the path is quoted so that a folder with blanks stays one
// argument, and without that editor the desktop opens the document.
void TForm1::b41MouseUp(forms::TObject*, forms::TMouseButton, forms::TShiftState, int, int) {
    std::string readme = LauncherDir + "readme.txt";
    if (!Started(StartProgram("notepad.exe \"" + readme + "\"", rtl::SW_SHOWNORMAL))) OpenDocument(readme);
    ClickSound();
}

void TForm1::Image6MouseUp(forms::TObject*, forms::TMouseButton, forms::TShiftState, int, int) {
    ClickSound();
    StartProgram(LauncherDir + "DivX\\Setup.exe", rtl::SW_SHOWNORMAL);
}

void TForm1::b61MouseUp(forms::TObject*, forms::TMouseButton, forms::TShiftState, int, int) {
    StartProgram(InstallPath + "book.exe", rtl::SW_SHOWNORMAL);
}

void TForm1::b11MouseDown(forms::TObject*, forms::TMouseButton, forms::TShiftState, int, int) {}
void TForm1::b21MouseDown(forms::TObject*, forms::TMouseButton, forms::TShiftState, int, int) {}
void TForm1::b31MouseDown(forms::TObject*, forms::TMouseButton, forms::TShiftState, int, int) {}

// Re-applies the remembered selector of the pending row once.
void TForm1::Timer1Timer(forms::TObject*) {
    switch (PendingRow) {
        case 1: SetRowStates(InstallRowSelector, 0, true, 0); break;
        case 2: SetRowStates(0, RemoveRowSelector, true, 0); break;
        case 3: SetRowStates(0, 0, true, RunRowSelector); break;
        default: break;
    }
    Timer1->SetEnabled(false);
}

}  // namespace launcher
