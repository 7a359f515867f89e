// Draws the settings dialog's OK and Cancel pictures into the folder given on the command line:
// sett_art <resources>/sett
#include <cstdio>
#include <fstream>
#include <string>

#include "platform/forms/bitmap.h"
#include "platform/forms/bmp.h"
#include "platform/forms/canvas.h"
#include "platform/rtl/codepage.h"

namespace {

using forms::TBitmap;
using forms::TColor;

// Colours as 0x00BBGGRR.
constexpr TColor kFace = 0x00C89A5A;
constexpr TColor kLight = 0x00E8C89A;
constexpr TColor kDark = 0x00704A20;
constexpr TColor kText = 0x00FFFFFF;

// A raised plate of 61 x 36 with the caption centred.
TBitmap DrawPlate(const std::string& caption) {
    TBitmap plate(61, 36);
    forms::TCanvas& canvas = plate.Canvas();
    canvas.Brush.Color = kFace;
    canvas.FillRect(forms::Rect(0, 0, 61, 36));
    canvas.Pen.Color = kLight;
    canvas.MoveTo(0, 35);
    canvas.LineTo(0, 0);
    canvas.LineTo(60, 0);
    canvas.Pen.Color = kDark;
    canvas.LineTo(60, 35);
    canvas.LineTo(-1, 35);
    canvas.Font.Name = "Sans";
    canvas.Font.Size = 9;
    canvas.Font.Style = forms::fsBold;
    canvas.Font.Color = kText;
    canvas.Brush.Style = forms::bsClear;
    const forms::TPoint size = canvas.TextExtent(caption);
    canvas.TextOut((61 - size.X) / 2, (36 - size.Y) / 2, caption);
    return plate;
}

bool Save(const std::string& path, const TBitmap& bitmap) {
    std::ofstream out(path, std::ios::binary);
    out << forms::EncodeBmp24(bitmap);
    return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: sett_art <folder>\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    const bool saved = Save(folder + "ok.bmp", DrawPlate("OK")) &&
                       Save(folder + "cancel.bmp", DrawPlate(rtl::Ru("Отмена")));
    if (!saved) std::fprintf(stderr, "sett_art: cannot write into %s\n", argv[1]);
    return saved ? 0 : 1;
}
