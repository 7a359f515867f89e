// The skin configuration: "config.ncf" decoded and every line applied to the main window's
// components through the section parsers, on the headless backend with scripted dialogs.
//
// Whatever the file holds, the values it hands the viewer stay within the ranges the viewer works
// with: one on-form image per button, tagged with the button's index (the click handlers index the
// buttons by it), fewer than 65,536 buttons, action codes and kinds the dispatch knows, the
// alignment codes of the layout pass, and colours that are RGB values or system colours. (Sizes need
// no check here: the controls clamp every size at 0, and the window keeps the layout's minimum.)
//
// Input: a mode byte, then either the text of the configuration (mode byte even; it is encoded
// into config.ncf, lines ending with LF or CR LF) or the head of the scrambled record itself (mode
// byte odd; the rest of the record decodes as line breaks).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>

#include "fuzz_util.h"
#include "platform/forms/application.h"
#include "platform/forms/bitmap.h"
#include "platform/forms/bmp.h"
#include "platform/forms/formdesc.h"
#include "platform/headless/headless.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/paths.h"
#include "viewer/facefile.h"
#include "viewer/main.h"
#include "viewer/ncf.h"
#include "viewer/prepare.h"
#include "viewer/settings.h"

namespace {

struct THalted {};

// Names the sample skin and the parsers' tests give pictures; a line naming one finds it.
const char* const kPictureNames[] = {
    "band.bmp", "hdr_back.bmp", "logo.bmp", "title.bmp", "win_close.bmp", "win_min.bmp", "win_max.bmp",
    "search_field.bmp", "vol_track.bmp", "vol_knob.bmp", "mus_play.bmp", "grip.bmp", "n.bmp", "d.bmp", "u.bmp", "e.bmp"};

std::string SolidBmp(int width, int height)
{
    forms::TBitmap bitmap(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap.SetPixel(x, y, uint32_t(0x102030 * (x + y + 1)));
    return forms::EncodeBmp24(bitmap);
}

std::string FaceFile()
{
    std::vector<viewer::TFaceEntry> entries;
    int side = 4;
    for (const char* name : kPictureNames)
        entries.push_back({name, SolidBmp(side++, 3)});
    return viewer::WriteFaceFile(entries);
}

struct TSkinHost {
    headless::TScopedHeadless backend;
    rtl::ScriptedDialogs dialogs;
    std::string folder = fuzzutil::ScratchFolder() + "skin/";
    std::filesystem::path home = std::filesystem::current_path();  // given back after every input

    TSkinHost()
    {
        setenv("TOME_REGISTRY", (folder + "registry").c_str(), 1);
        fuzzutil::WriteBytes(folder + "face.dat", FaceFile());
        std::filesystem::create_directories(folder + "data");  // every button makes it the current folder
        rtl::SetProgramFolderForTests(rtl::FromNativePath(folder));
        forms::SetResourcesFolder(rtl::FromNativePath(std::string(TOME_SOURCE_DIR) + "/resources"));
        rtl::SetDialogService(&dialogs);
        viewer::SetHaltHandler([](int) { throw THalted{}; });
    }

    // Fresh windows now and then, so that settings of earlier inputs do not pile up. Making them
    // takes far longer than applying a configuration, so they serve many inputs; the buttons of
    // the last input go before every input, as a skin reload drops them, so that what an input
    // does follows from it alone.
    void RenewWindowsNowAndThen()
    {
        if (inputs_++ % kInputsPerWindows != 0) {
            viewer::sett->Buttons_Destroy();
            return;
        }
        forms::ResetApplication();
        viewer::ResetMainState();
        viewer::ResetPrepareState();
        viewer::SplashPauseMs = 0;
        forms::Application().CreateForm(viewer::Form1);
        forms::Application().CreateForm(viewer::Form2);
        forms::Application().CreateForm(viewer::sett);
        viewer::ExePath = rtl::FromNativePath(folder);
        viewer::Form2->LoadFaceImages();
    }

private:
    static constexpr unsigned kInputsPerWindows = 64;
    unsigned inputs_ = 0;
};

std::string RecordOf(std::string_view input)
{
    if (!input.empty() && (uint8_t(input[0]) & 1)) {
        std::string record(input.substr(1, viewer::kNcfRecordBytes));
        record.resize(viewer::kNcfRecordBytes, '\0');
        return record;
    }
    try {
        return viewer::EncodeNcfText(input.empty() ? input : input.substr(1));
    } catch (const viewer::ENcfError&) {
        return {};  // text the file cannot hold
    }
}

bool IsAlignment(uint8_t code, std::initializer_list<uint8_t> codes)
{
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

bool IsColour(forms::TColor colour)
{
    return (colour >= 0 && colour <= 0xFFFFFF) || (uint32_t(colour) & 0xFFFFFF00u) == 0x80000000u;
}

void CheckButtons()
{
    const std::vector<viewer::TMBut>& buttons = viewer::Buttons;
    fuzzutil::Check(buttons.size() == viewer::ButtonImages.size() && buttons.size() <= 0xFFFF,
                    "one on-form image per button, and fewer than 65,536 buttons");
    constexpr uint8_t kLastAction = 14;
    for (size_t i = 0; i < buttons.size(); ++i) {
        const viewer::TMBut& button = buttons[i];
        fuzzutil::CheckAt(button.Kind <= 1 && button.Subtype <= kLastAction, "a button's kind and action are known",
                          std::to_string(i));
        fuzzutil::CheckAt(IsAlignment(button.HAlign, {viewer::kAlignNone, viewer::kAlignLeft, viewer::kAlignRight,
                                                      viewer::kAlignBoth}) &&
                              IsAlignment(button.VAlign, {viewer::kAlignNone, viewer::kAlignTop, viewer::kAlignBottom,
                                                          viewer::kAlignBoth}),
                          "a button's alignment codes are the layout's", std::to_string(i));
        const forms::TImage* image = viewer::ButtonImages[i];
        fuzzutil::CheckAt(image != nullptr && image->Tag == intptr_t(i), "a button's image carries its index",
                          std::to_string(i));
    }
}

void CheckColours()
{
    viewer::TForm1& form = *viewer::Form1;
    for (const forms::TColor colour : {form.Color(), form.videocenter->Color(), form.searcher->Color(),
                                       form.searcher->Font.Color})
        fuzzutil::CheckAt(IsColour(colour), "a colour is an RGB value or a system colour", std::to_string(colour));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static TSkinHost host;
    const std::string record = RecordOf(fuzzutil::AsText(data, size));
    if (record.empty())
        return 0;
    host.dialogs.ClearLog();
    host.RenewWindowsNowAndThen();
    fuzzutil::WriteBytes(host.folder + "config.ncf", record);
    try {
        viewer::Form2->ApplyConfig();
    } catch (const THalted&) {
        // A fatal configuration message was confirmed: the program would end here.
    } catch (const rtl::Exception&) {
        // A value the parsers reject reaches the caller, as at start.
    }
    std::filesystem::current_path(host.home);
    CheckButtons();
    CheckColours();
    return 0;
}
