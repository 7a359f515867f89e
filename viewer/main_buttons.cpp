// The skin buttons: the handlers every button picture shares, the dispatch on the button's
// subtype, the pictures while pressed and released, and Enter in the search box.
#include "platform/rtl/codepage.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/process.h"
#include "platform/rtl/sysutils.h"
#include "viewer/bindings.h"
#include "viewer/forms.h"
#include "viewer/main.h"
#include "viewer/scratch.h"

namespace viewer {

namespace {

enum TButtonSubtype : uint8_t {
    btExit, btMute, btVolumeUp, btVolumeDown, btCopyright, btUpdate, btPrefs, btHelp, btSearch,
    btFavoritesAdd, btFavoritesShow, btHtml, btAvi, btWave, btSoft
};

// The search box text as a query: without its first character, lower-cased (Cyrillic included).
std::string PrepareQuery(const std::string& text) { return rtl::AnsiLowerCase(rtl::Copy(text, 2, int(text.size()))); }

// The button a picture stands for: the number after the first "_" of its name.
TMBut& ButtonOf(TObject* Sender) {
    auto* picture = dynamic_cast<forms::TComponent*>(Sender);
    if (!picture) throw rtl::Exception("Not a skin button");
    const std::string& name = picture->Name();
    int index = rtl::StrToInt(rtl::Copy(name, rtl::Pos("_", name) + 1, 999));
    return Buttons.at(uint16_t(index));
}

bool IsClipName(const std::string& name) {
    std::string ext = rtl::LowerCase(rtl::ExtractFileExt(name));
    return ext == ".avi" || ext == ".mpeg" || ext == ".mov" || ext == ".mpg";
}

void ShowPicture(TObject* Sender, forms::TImage* source) {
    auto* picture = dynamic_cast<forms::TImage*>(Sender);
    if (picture && source) picture->Picture().Assign(source->Picture());
}

}  // namespace

void TForm1::testbuttonClick(TObject* Sender) {
    const std::string saved = searcher->Text();
    searcher->SetText(PrepareQuery(saved));
    RefreshFavoritesPage();
    try {
        RunButtonAction(ButtonOf(Sender));
    } catch (...) {
        rtl::Dialogs().MessageDlg(rtl::Ru("Не удается открыть страницу. Пожалуйста, переустановите приложение."),
                                  rtl::mtCustom, rtl::mbOK);
    }
    searcher->SetText(saved);
}

void TForm1::RunButtonAction(const TMBut& Button) {
    switch (Button.Subtype) {
        case btExit: Close(); break;
        case btMute: ToggleMute(); break;
        case btVolumeUp: WaveVolumeUp(); break;
        case btVolumeDown: WaveVolumeDown(); break;
        case btCopyright: OpenCopyright(); break;
        case btUpdate: Form5->OpenUpdateDialog(); break;
        case btPrefs: sett->Show(); break;
        case btHelp: OpenHelp(); break;
        case btSearch: Form3->RunSearch(); break;
        case btFavoritesAdd: AddFavorite(); break;
        case btFavoritesShow: ShowFavorites(); break;
        case btHtml: OpenHtmlButton(Button); break;
        case btAvi: PlayVideo(Button.Target); break;
        case btWave: break;
        case btSoft: RunProgram(Button.Target); break;
        default: break;
    }
}

// The first "html" click of the run reopens the stored last page when there is one to reopen;
// "Enabled" (the option on, nothing stored yet), a page that is gone or a clip open the button's
// own target instead.
void TForm1::OpenHtmlButton(const TMBut& Button) {
    if (FirstPageShown == 0) {
        FirstPageShown = 1;
        std::string lastPage;
        ReadLastPage(lastPage);
        std::string stored = scratch::DataFile(AppDir, lastPage);
        if (!lastPage.empty() && lastPage != "Enabled" && !IsClipName(lastPage) && rtl::FileExists(stored)) {
            OpenPage(stored);
            return;
        }
    }
    OpenPage(Button.Target);
}

void TForm1::OpenCopyright() { OpenPage("copyright.html"); }

void TForm1::OpenHelp() { OpenPage("help.html"); }

void TForm1::AddFavorite() { AddBookmark(); }

void TForm1::ShowFavorites() { WriteFavoritesPage(); }

void TForm1::RunProgram(const std::string& CommandLine) { rtl::WinExec(CommandLine, rtl::SW_HIDE); }

void TForm1::testbuttonMouseDown(TObject* Sender, TMouseButton, TShiftState, int, int) {
    try {
        TMBut& button = ButtonOf(Sender);
        ShowPicture(Sender, button.DownPicture);
        if (button.Subtype == btVolumeUp) volume_upper->SetEnabled(true);
        if (button.Subtype == btVolumeDown) volume_downer->SetEnabled(true);
    } catch (...) {
    }
}

void TForm1::testbuttonMouseUp(TObject* Sender, TMouseButton, TShiftState, int, int) {
    try {
        TMBut& button = ButtonOf(Sender);
        ShowPicture(Sender, button.UpPicture);
        if (button.Subtype == btVolumeUp) volume_upper->SetEnabled(false);
        if (button.Subtype == btVolumeDown) volume_downer->SetEnabled(false);
    } catch (...) {
    }
}

void TForm1::testbuttonMouseMove(TObject*, TShiftState, int, int) {}

void TForm1::searcherKeyPress(TObject*, char& Key) {
    if (Key != 13) return;
    const std::string saved = searcher->Text();
    searcher->SetText(PrepareQuery(saved));
    Form3->RunSearch();
    searcher->SetText(saved);
}

}  // namespace viewer
