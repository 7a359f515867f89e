// Draws the launcher's pictures: the background (title, the four entries in a faded look, the logo
// and the close cross), the readable entry pictures that lie over it, and the button pictures of
// the entries the layout keeps outside the window. Usage: launcher_art <output folder>.
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>

#include "platform/forms/bitmap.h"
#include "platform/forms/canvas.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/paths.h"

namespace {

using forms::TBitmap;
using forms::TCanvas;
using forms::TColor;
using forms::TRect;

constexpr int kWidth = 400;
constexpr int kHeight = 300;
constexpr int kTitleHeight = 51;

constexpr TColor Rgb(int r, int g, int b) { return TColor(r | (g << 8) | (b << 16)); }

constexpr TColor kTop = Rgb(24, 38, 70);
constexpr TColor kBottom = Rgb(12, 58, 72);
constexpr TColor kTitleBand = Rgb(14, 22, 44);
constexpr TColor kGold = Rgb(226, 190, 110);
constexpr TColor kFaded = Rgb(96, 114, 140);
constexpr TColor kReadable = Rgb(250, 250, 246);
constexpr TColor kHighlight = Rgb(52, 86, 130);

int Mix(int a, int b, int step, int steps) { return a + (b - a) * step / steps; }

TColor Blend(TColor from, TColor to, int step, int steps) {
    return Rgb(Mix(from & 0xFF, to & 0xFF, step, steps), Mix((from >> 8) & 0xFF, (to >> 8) & 0xFF, step, steps),
               Mix((from >> 16) & 0xFF, (to >> 16) & 0xFF, step, steps));
}

void VerticalGradient(TCanvas& canvas, const TRect& area, TColor top, TColor bottom) {
    int steps = area.Height() > 1 ? area.Height() - 1 : 1;
    for (int y = area.Top; y < area.Bottom; ++y) {
        canvas.Brush.Color = Blend(top, bottom, y - area.Top, steps);
        canvas.FillRect(TRect{area.Left, y, area.Right, y + 1});
    }
}

void Text(TCanvas& canvas, int x, int y, const char* utf8, int size, TColor color, bool bold = false) {
    canvas.Brush.Style = forms::bsClear;
    canvas.Font.Name = "Sans";
    canvas.Font.Size = size;
    canvas.Font.Color = color;
    canvas.Font.Style = bold ? forms::fsBold : 0;
    canvas.TextOut(x, y, rtl::Ru(utf8));
    canvas.Brush.Style = forms::bsSolid;
}

// A thick line as a few parallel one-pixel lines.
void ThickLine(TCanvas& canvas, int x1, int y1, int x2, int y2, TColor color) {
    canvas.Pen.Color = color;
    for (int d = 0; d < 2; ++d) {
        canvas.MoveTo(x1 + d, y1);
        canvas.LineTo(x2 + d, y2);
    }
}

struct Entry {
    const char* name;
    TRect area;  // where its picture lies on the window
    const char* lines[2];
};

const Entry kEntries[] = {
    {"run", {0, 70, 355, 118}, {"Запустить справочник", nullptr}},
    {"install", {0, 120, 355, 169}, {"Установить справочник", nullptr}},
    {"remove", {0, 170, 225, 218}, {"Удалить справочник", nullptr}},
    {"ie6", {227, 170, 355, 218}, {"Internet", "Explorer 6"}},
};

// A round marker and the entry's text; readable entries get a lit band and a golden marker.
void DrawEntry(TCanvas& canvas, const Entry& entry, bool readable) {
    const TRect& a = entry.area;
    if (readable) {
        for (int x = a.Left; x < a.Right; ++x) {
            canvas.Brush.Color = Blend(kHighlight, Blend(kTop, kBottom, 1, 2), x - a.Left, a.Width());
            canvas.FillRect(TRect{x, a.Top + 4, x + 1, a.Bottom - 4});
        }
    }
    TColor ink = readable ? kReadable : kFaded;
    int mid = (a.Top + a.Bottom) / 2;
    bool twoLines = entry.lines[1] != nullptr;
    if (!twoLines) {
        canvas.Brush.Color = readable ? kGold : kFaded;
        canvas.Pen.Color = canvas.Brush.Color;
        canvas.Ellipse(a.Left + 18, mid - 5, a.Left + 28, mid + 5);
        Text(canvas, a.Left + 38, mid - 10, entry.lines[0], 11, ink, readable);
        return;
    }
    Text(canvas, a.Left + 14, mid - 19, entry.lines[0], 10, ink, readable);
    Text(canvas, a.Left + 14, mid + 1, entry.lines[1], 10, ink, readable);
}

void DrawTitle(TCanvas& canvas) {
    canvas.Brush.Color = kTitleBand;
    canvas.FillRect(TRect{0, 0, kWidth, kTitleHeight});
    canvas.Brush.Color = kGold;
    canvas.FillRect(TRect{0, kTitleHeight - 2, kWidth, kTitleHeight - 1});
    Text(canvas, 18, 6, "Зарвелин", 17, kGold, true);
    Text(canvas, 200, 18, "Установка справочника", 9, kFaded);
}

void DrawCloseCross(TCanvas& canvas) {
    ThickLine(canvas, 383, 6, 394, 17, kReadable);
    ThickLine(canvas, 383, 16, 394, 5, kReadable);
}

void DrawLogo(TCanvas& canvas) {
    canvas.Pen.Color = kGold;
    canvas.Brush.Color = kBottom;
    canvas.Ellipse(26, 250, 56, 280);
    canvas.Brush.Color = kGold;
    canvas.Ellipse(36, 260, 46, 270);
    Text(canvas, 64, 250, "ORBEL LUMEN", 10, kGold, true);
    Text(canvas, 64, 267, "электронные издания", 8, kFaded);
}

TBitmap Base() {
    TBitmap base(kWidth, kHeight);
    VerticalGradient(base.Canvas(), TRect{0, 0, kWidth, kHeight}, kTop, kBottom);
    return base;
}

TBitmap Crop(const TBitmap& source, const TRect& area) {
    TBitmap picture(area.Width(), area.Height());
    picture.Canvas().CopyRect(TRect{0, 0, area.Width(), area.Height()}, source, area);
    return picture;
}

// A rounded button of the second design on a magenta ground that is drawn transparent.
TBitmap Button(const char* label, TColor face, TColor ink) {
    TBitmap button(186, 25);
    TCanvas& canvas = button.Canvas();
    canvas.Brush.Color = Rgb(255, 0, 255);
    canvas.FillRect(TRect{0, 0, 186, 25});
    canvas.Brush.Color = face;
    canvas.Pen.Color = kGold;
    canvas.Ellipse(0, 0, 25, 25);
    canvas.Ellipse(161, 0, 186, 25);
    canvas.Pen.Color = face;
    canvas.Rectangle(12, 0, 174, 25);
    canvas.Brush.Color = kGold;
    canvas.FillRect(TRect{12, 0, 174, 1});
    canvas.FillRect(TRect{12, 24, 174, 25});
    Text(canvas, 22, 4, label, 9, ink, true);
    return button;
}

void Save(const TBitmap& bitmap, const std::string& folder, const char* name) {
    bitmap.SaveToFile(folder + name + ".bmp");
}

void DrawAll(const std::string& folder) {
    TBitmap base = Base();
    TBitmap background = base;
    DrawTitle(background.Canvas());
    for (const Entry& entry : kEntries) DrawEntry(background.Canvas(), entry, false);
    DrawLogo(background.Canvas());
    DrawCloseCross(background.Canvas());
    Save(background, folder, "background");

    for (const Entry& entry : kEntries) {
        TBitmap lit = base;
        DrawEntry(lit.Canvas(), entry, true);
        Save(Crop(lit, entry.area), folder, entry.name);
    }
    Save(Crop(background, kEntries[3].area), folder, "ie6_faded");

    const TColor face = Rgb(40, 66, 104);
    const TColor pressed = Rgb(24, 40, 66);
    Save(Button("Прочитать readme", face, kReadable), folder, "readme");
    Save(Button("Установить DivX", face, kReadable), folder, "divx");
    Save(Button("Установить", face, kReadable), folder, "alt_install");
    Save(Button("Установить", pressed, kGold), folder, "alt_install_down");
    Save(Button("Удалить", face, kReadable), folder, "alt_remove");
    Save(Button("Удалить", pressed, kGold), folder, "alt_remove_down");
    Save(Button("Internet Explorer", face, kReadable), folder, "alt_browser");
    Save(Button("Internet Explorer", pressed, kGold), folder, "alt_browser_down");
    Save(Button("Internet Explorer", face, kFaded), folder, "alt_browser_off");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: launcher_art <output folder>\n", stderr);
        return 2;
    }
    try {
        std::string folder = rtl::IncludeTrailingBackslash(rtl::FromNativePath(argv[1]));
        if (!rtl::ForceDirectories(folder)) throw std::runtime_error("cannot create " + std::string(argv[1]));
        DrawAll(folder);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "launcher_art: %s\n", error.what());
        return 1;
    }
    return 0;
}
