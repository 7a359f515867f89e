// Skin loading: the picture store, the splash picture, the list templates and the install path.
#include <chrono>
#include <exception>
#include <vector>

#include "platform/forms/application.h"
#include "platform/forms/bitmap.h"
#include "platform/forms/cursors.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/random.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/textfile.h"
#include "viewer/bindings.h"
#include "viewer/facefile.h"
#include "viewer/main.h"
#include "viewer/prepare.h"
#include "viewer/skinrules.h"

namespace viewer {

using rtl::Ru;

namespace {

constexpr forms::TCursor kLinkCursor = 2;

void Pump() { forms::Application().ProcessMessages(); }

void ShowEntryPicture(forms::TImage& Image, const TKorImage& Entry) {
    if (Entry.Picture) Image.Picture().SetBitmap(*Entry.Picture);
    else Image.Picture().Clear();
}

}  // namespace

int TForm2::LoadSkin() {
    Form1->set_cursor();
    int result = -1;
    ExePath = rtl::IncludeTrailingBackslash(rtl::ProgramFolder());
    // The link cursor comes from the current folder, which set_cursor made the data folder.
    forms::Screen().LoadCursor(kLinkCursor, rtl::IncludeTrailingBackslash(rtl::GetCurrentDir()) + "cursorlink.cur");
    Form1->Sound_play->SetCursor(kLinkCursor);
    Form1->Sound_pause->SetCursor(kLinkCursor);
    LoadFaceImages();
    ShowRandomSplash(Image1);
    Pump();
    if (StartedOnce == 0) {
        Show();
        WaitUntilShown();  // on screen before the pause, not behind it
    }
    Pump();
    if (!ApplyConfig()) return 0;
    LayoutSkin();
    if (StartedOnce == 0 && SplashPauseMs > 0) {
        FPauseEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(SplashPauseMs);
        FPauseRunning = true;
    }
    Pump();
    LoadIntConfig();
    LoadFavoritesTemplate();
    LoadSearchTemplate();
    Pump();
    WriteInstallPath();
    return result;
}

void TForm2::WaitSplashPause() {
    if (!FPauseRunning) return;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(FPauseEnd - std::chrono::steady_clock::now());
    if (left.count() > 0) forms::Application().ProcessMessagesFor(unsigned(left.count()));
}

void TForm2::EndSplashPause() {
    FPauseRunning = false;
    if (FHideAfterPause) Hide();
    FHideAfterPause = false;
}

void TForm2::HideSplash() {
    if (FPauseRunning) FHideAfterPause = true;
    else Hide();
}

void TForm2::LoadFaceImages() {
    FaceImages.clear();
    try {
        ReadFaceFile(rtl::ReadFileBytes(ExePath + "face.dat"), FaceImages);
    } catch (const std::exception&) {
        // The pictures read before the damage stay in use.
        rtl::MessageDlg(Ru("Ошибка чтения файла face.dat. Пожалуйста, переустановите приложение."), rtl::mtCustom,
                        rtl::mbOK);
    }
}

void TForm2::AssignFaceImage(forms::TImage* Image, const std::string& Name) {
    if (!Image) return;
    const std::string wanted = rtl::LowerCase(Name);
    // Every match assigns, so the last entry of a repeated name wins.
    for (const TKorImage& entry : FaceImages)
        if (rtl::LowerCase(entry.Name) == wanted) ShowEntryPicture(*Image, entry);
}

void TForm2::ShowRandomSplash(forms::TImage* Image) {
    rtl::Randomize();
    std::vector<size_t> splashes;
    for (size_t i = 0; i < FaceImages.size(); ++i)
        if (rtl::Pos("startup_", rtl::LowerCase(FaceImages[i].Name)) > 0) splashes.push_back(i);
    if (splashes.empty() || !Image) return;
    // One draw among the first k - 1: the last splash is never chosen when there are several.
    const size_t k = splashes.size();
    const size_t chosen = k == 1 ? 0 : size_t(rtl::Random(int(k - 1)));
    ShowEntryPicture(*Image, FaceImages[splashes[chosen]]);
}

void TForm2::LoadTemplate(const std::string& FileName, const std::string& MissingMessage, TKorTemplate& Target,
                          bool WithMiddle) {
    const std::string path = ExePath + "data\\templates\\" + FileName;
    if (!rtl::FileExists(path) && rtl::MessageDlg(MissingMessage, rtl::mtCustom, rtl::mbOK) == rtl::mrOk)
        HaltProgram(1);
    // A box closed without OK goes on to the read, whose failure reaches the caller.
    for (const std::string& line : rtl::ReadLines(path)) ApplyTemplateLine(line, Target, WithMiddle);
}

void TForm2::LoadFavoritesTemplate() {
    LoadTemplate("favorites.edt", Ru("Файл шаблона избранного поврежден. Пожалуйста, переустановите программу."),
                 FavoritesTemplate, false);
}

void TForm2::LoadSearchTemplate() {
    LoadTemplate("search.edt", Ru("Файл шаблона поиска поврежден. Пожалуйста, переустановите программу."),
                 SearchTemplate, true);
}

void TForm2::WriteInstallPath() {
    // Written only when it changes, so a store that cannot be written stays quiet while it is right.
    std::string recorded;
    if (ReadSetting("PATH", recorded) && recorded != ExePath) WriteSetting("PATH", ExePath);
    // The registry-held settings are refreshed whether or not PATH could be written.
    std::string ignored;
    Form1->ReadBackSound(ignored);
    Form1->ReadLastPage(ignored);
    Form1->ReadStyle(ignored);
}

}  // namespace viewer
