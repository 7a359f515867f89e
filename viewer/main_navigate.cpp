// What the main window shows: the page opener, the interception of navigations inside the shown
// page, the clean-up after loading, the previous/next part pages and the opening shortcuts.
#include "platform/rtl/codepage.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/textfile.h"
#include "viewer/bindings.h"
#include "viewer/forms.h"
#include "viewer/main.h"
#include "viewer/prepare.h"

namespace viewer {

namespace {

// The extension as the platform takes it: from the last "." that no "\" or ":" follows.
std::string UrlExtension(const std::string& url) {
    size_t at = url.find_last_of(".\\:");
    if (at == std::string::npos || url[at] != '.') return {};
    return url.substr(at);
}

bool IsArticleLink(const std::string& url) {
    std::string composed = rtl::LowerCase(AppDir + "data\\tomeview.tmp");
    if (rtl::Pos(composed, rtl::LowerCase(url)) > 0) return false;
    if (rtl::Pos("?delete", url) > 0 || rtl::Pos("?add", url) > 0 || rtl::Pos("#", url) > 0) return false;
    return UrlExtension(url) == ".html";
}

// The part of an address behind its first "data\" (from the fifth character when there is none).
std::string AfterDataFolder(const std::string& url) {
    return rtl::Copy(url, rtl::Pos("data\\", url) + 5, int(url.size()));
}

std::string ReadJoined(const std::string& path) {
    std::string text;
    for (const std::string& line : rtl::ReadLines(path)) text += line + " ";
    return text;
}

}  // namespace

void TForm1::OpenPage(const std::string& PageName) {
    // The clip being shown is played again, never composed as a page (reload, favourites).
    if (CurrentDoc.IsVideo != 0 && PageName == CurrentDoc.Path) {
        PlayVideo(PageName);
        return;
    }
    if (datacenter->Left() > 2000) datacenter->SetLeft(datacenter->Left() - 2000);
    videocenter->Hide();
    std::string composedPath;
    Form4->BuildPage(PageName, composedPath);
    if (!composedPath.empty()) {
        datacenter->Navigate("file://" + composedPath);
        CurrentDoc = {PageName, 0};
        if (rtl::Pos("frew", PageName) == 0) VideoPageRule(PageName);
    }
    // Nothing could ever be shown: the viewer closes, once.
    if (CurrentDoc.Path.empty() && !FClosing) Close();
}

void TForm1::datacenterBeforeNavigate2(TObject*, const std::string& URL, int, const std::string&, const std::string&,
                                       const std::string&, bool&) {
    if (IsArticleLink(URL)) OpenPage(AfterDataFolder(URL));
    if (int at = rtl::Pos("delete=", URL); at > 0) {
        int slot = rtl::StrToInt(rtl::Trim(rtl::Copy(URL, at + 7, 999)));
        DeleteBookmark(uint16_t(slot));
        OpenPage(CurrentDoc.Path);
    }
    if (rtl::Pos("?add", URL) > 0) {
        AddBookmark();
        OpenPage(CurrentDoc.Path);
    }
}

void TForm1::datacenterDocumentComplete(TObject* Sender, const std::string&) {
    HideBrowserBorder(dynamic_cast<forms::TWebBrowser*>(Sender));
}

void TForm1::datacenterDownloadComplete(TObject* Sender) {
    HideBrowserBorder(dynamic_cast<forms::TWebBrowser*>(Sender));
}

void TForm1::HideBrowserBorder(forms::TWebBrowser* Browser) {
    // Only an HTML document has a body to restyle; anything else is left alone.
    forms::THTMLDocument* document = Browser ? Browser->Document() : nullptr;
    if (!document || !document->Body()) return;
    document->Body()->Style()->SetBorderStyle("none");
    if (Form2) Form2->HideSplash();
}

void TForm1::StepPartPage(int Delta) {
    std::string path = CurrentDoc.Path;
    std::string text;
    if (rtl::FileExists(path)) text = ReadJoined(path);
    else rtl::Dialogs().MessageDlg(rtl::Ru("Файл ") + path + rtl::Ru(" не найден"), rtl::mtCustom, rtl::mbOK);
    std::string number = path;
    rtl::Delete(number, int(number.size()) - 4, 5);
    rtl::Delete(number, 1, 6);
    int64_t current = 0;
    try {
        current = rtl::StrToInt(number);
    } catch (const rtl::EConvertError&) {
        return;
    }
    std::string target = rtl::IntToStr(current + Delta);
    std::string link = target + (Delta < 0 ? ".html\" class=\"navbutbackdown\">" : ".html\" class=\"navbutfordown\">");
    if (rtl::Pos(link, text) > 0) OpenPage(rtl::Copy(number, 1, 1) + "part\\" + target + ".html");
}

void TForm1::cleftExecute(TObject*) { StepPartPage(-1); }

void TForm1::CrightExecute(TObject*) { StepPartPage(+1); }

void TForm1::ASettingsExecute(TObject*) { sett->Show(); }

void TForm1::AUpdateExecute(TObject*) { Form5->Show(); }

void TForm1::OpenIgnoringFailures(const std::string& PageName) {
    try {
        OpenPage(PageName);
    } catch (...) {
    }
}

void TForm1::AindexExecute(TObject*) { OpenIgnoringFailures("index.html"); }

void TForm1::ReloadDocExecute(TObject*) { OpenIgnoringFailures(CurrentDoc.Path); }

void TForm1::ACreatorsExecute(TObject*) { OpenIgnoringFailures("Creators.html"); }

void TForm1::AFavsExecute(TObject*) { OpenIgnoringFailures("favs.html"); }

}  // namespace viewer
