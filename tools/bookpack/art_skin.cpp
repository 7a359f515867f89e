// The skin: a deep blue header, a teal tool band and frame with a light line around the page,
// picture buttons in their rest, pressed and released states, the settings background and the
// splash pictures.
#include <cmath>
#include <functional>

#include "platform/forms/bmp.h"
#include "platform/rtl/codepage.h"
#include "tools/bookpack/art.h"
#include "tools/bookpack/paint.h"

namespace bookpack {

namespace {

using forms::TBitmap;
using rtl::Ru;

// Heights shared with the configuration (HEADER_height, DATACENTER_ top and bottom).
constexpr int kHeaderHeight = 40;
constexpr int kBandHeight = 48;
constexpr int kFootHeight = 24;
constexpr int kSideWidth = 10;
constexpr int kSideLength = 2000;  // the side columns are not stretched: tall enough for any screen

constexpr uint32_t kOuter = 0x06202C;
constexpr uint32_t kFrameLight = 0xBFDDE6;
constexpr uint32_t kGlyph = 0xF4F8FA;

uint32_t HeaderColour(int y) {
    if (y == kHeaderHeight - 1) return 0x061A30;
    return Mix(0x0B2545, 0x1A4A78, double(y) / (kHeaderHeight - 2));
}

uint32_t BandColour(int y) {
    if (y == 0) return 0x3C8AA3;
    if (y == kBandHeight - 1) return kFrameLight;
    if (y == kBandHeight - 2) return 0x0C3546;
    return Mix(0x23708A, 0x114A5F, double(y - 1) / (kBandHeight - 3));
}

uint32_t FootColour(int y) {
    if (y == 0) return kFrameLight;
    if (y == kFootHeight - 1) return kOuter;
    return Mix(0x124B61, 0x0A3344, double(y - 1) / (kFootHeight - 2));
}

// Left column: dark outer edge, teal, light line next to the page.
uint32_t SideColour(int x) {
    if (x == 0) return kOuter;
    if (x == kSideWidth - 1) return kFrameLight;
    return Mix(0x176079, 0x0F4257, double(x - 1) / (kSideWidth - 3));
}

TBitmap Strip(int width, int height, const std::function<uint32_t(int, int)>& colourAt) {
    TBitmap b(width, height);
    FillWith(b, colourAt);
    return b;
}

// ---- header pictures ----

TBitmap HeaderPiece(int width, int top, int height) {
    return Strip(width, height, [top](int, int y) { return HeaderColour(top + y); });
}

TBitmap WindowIcon(const std::function<void(TShape&)>& glyph) {
    TBitmap b = HeaderPiece(34, 0, kHeaderHeight);
    TShape s(34, kHeaderHeight);
    glyph(s);
    s.Paint(b, 0xDCE9F5);
    return b;
}

void BookGlyph(TShape& s, double cx, double cy, double size) {
    double k = size / 20;
    s.Polygon({{cx - 9 * k, cy - 5 * k}, {cx - 1 * k, cy - 3 * k}, {cx - 1 * k, cy + 8 * k}, {cx - 9 * k, cy + 6 * k}});
    s.Polygon({{cx + 1 * k, cy - 3 * k}, {cx + 9 * k, cy - 5 * k}, {cx + 9 * k, cy + 6 * k}, {cx + 1 * k, cy + 8 * k}});
}

TBitmap Logo() {
    TBitmap b = HeaderPiece(kHeaderHeight, 0, kHeaderHeight);
    TShape rim(kHeaderHeight, kHeaderHeight);
    rim.Disc(20, 19.5, 15.5);
    rim.Paint(b, 0x8A5A12);
    TShape disc(kHeaderHeight, kHeaderHeight);
    disc.Disc(20, 19.5, 14);
    disc.Paint(b, [](int, int y) { return Mix(0xF6CE6A, 0xD8962E, y / 34.0); });
    TShape book(kHeaderHeight, kHeaderHeight);
    BookGlyph(book, 20, 19, 20);
    book.Paint(b, 0x0B2545);
    return b;
}

TBitmap TitlePicture() {
    const std::string name = Ru("Люмен");
    const std::string subtitle = Ru("малая энциклопедия");
    TShape measure(1, 1);
    int nameWidth = measure.TextWidth(name, 22, true, "DejaVu Serif");
    int width = 8 + nameWidth + 12 + measure.TextWidth(subtitle, 14) + 16;
    TBitmap b = HeaderPiece(width, 0, kHeaderHeight);
    TShape title(width, kHeaderHeight);
    title.Text(8, 6, name, 22, true, "DejaVu Serif");
    title.Paint(b, 0xFFFFFF);
    TShape sub(width, kHeaderHeight);
    sub.Text(8 + nameWidth + 12, 14, subtitle, 14);
    sub.Paint(b, 0xA8C8E0);
    return b;
}

TBitmap VolumeTrack() {
    TBitmap b = HeaderPiece(80, 16, 8);
    TShape groove(80, 8);
    groove.RoundRect(0.5, 1.5, 79, 5, 2.5);
    groove.Paint(b, 0x061A30);
    TShape light(80, 8);
    light.RoundRect(1.5, 2.5, 77, 3, 1.5);
    light.Paint(b, 0x5F88B0);
    return b;
}

TBitmap VolumeKnob() {
    TBitmap b = HeaderPiece(8, 12, 16);
    TShape knob(8, 16);
    knob.RoundRect(0.5, 0.5, 7, 15, 3);
    knob.Paint(b, [](int, int y) { return Mix(0xF4F8FA, 0xB8CCDC, y / 15.0); });
    return b;
}

TBitmap MusicIcon(bool pause) {
    TBitmap b = HeaderPiece(20, 10, 20);
    TShape s(20, 20);
    s.Ring(10, 10, 8.5, 1.4);
    if (pause) s.Rect(6.5, 5.5, 2.5, 9).Rect(11, 5.5, 2.5, 9);
    else s.Polygon({{7.5, 5}, {15, 10}, {7.5, 15}});
    s.Paint(b, 0xDCE9F5);
    return b;
}

// ---- tool band, frame and search field ----

TBitmap BandCorner(bool left) {
    return Strip(kSideWidth, kBandHeight, [left](int x, int y) {
        int inner = left ? x : kSideWidth - 1 - x;  // 0 = outer edge
        if (inner == 0) return kOuter;
        if (y == kBandHeight - 1) return inner == kSideWidth - 1 ? kFrameLight : SideColour(inner);
        return BandColour(y);
    });
}

TBitmap Side(bool left, int length) {
    return Strip(kSideWidth, length, [left](int x, int) { return SideColour(left ? x : kSideWidth - 1 - x); });
}

TBitmap FootCorner(bool left) {
    return Strip(kSideWidth, kFootHeight, [left](int x, int y) {
        int inner = left ? x : kSideWidth - 1 - x;
        if (inner == 0 || y == kFootHeight - 1) return kOuter;
        if (y == 0) return inner == kSideWidth - 1 ? kFrameLight : SideColour(inner);
        return FootColour(y);
    });
}

TBitmap Grip() {
    const int size = 16, top = kFootHeight - size;
    TBitmap b = Strip(size, size, [](int x, int y) { return x == size - 1 ? kOuter : FootColour(top + y); });
    TShape dots(size, size);
    TShape shadows(size, size);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col <= row; ++col) {
            double x = 12.5 - 4 * col, y = 12.5 - 4 * (2 - row);
            shadows.Rect(x - 0.5, y - 0.5, 2, 2);
            dots.Rect(x - 1.5, y - 1.5, 2, 2);
        }
    shadows.Paint(b, kOuter);
    dots.Paint(b, kFrameLight);
    return b;
}

TBitmap SearchField() {
    const int width = 200, height = 30, top = 9;
    TBitmap b = Strip(width, height, [](int, int y) { return BandColour(top + y); });
    TShape border(width, height);
    border.RoundRect(0.5, 0.5, width - 1, height - 1, 7);
    border.Paint(b, 0x8CC0D0);
    TShape field(width, height);
    field.RoundRect(1.5, 1.5, width - 3, height - 3, 6);
    field.Paint(b, [](int, int y) { return Mix(0xE8F0F3, 0xFFFFFF, y / 8.0); });
    return b;
}

// ---- buttons ----

constexpr int kButton = 40;
constexpr int kButtonTop = 4;  // BUTTON lines place the buttons 4 pixels into the band

struct TButtonLook {
    uint32_t Border, FillTop, FillBottom, Glyph;
    int Shift;
};

const TButtonLook kRest{0x7FB8CC, 0x2C7C96, 0x185A73, kGlyph, 0};
const TButtonLook kDown{0x4F8FA5, 0x0E4256, 0x155468, 0xC8DCE6, 1};
const TButtonLook kUp{0xCBE8F0, 0x3A90AB, 0x216B84, 0xFFFFFF, 0};

TBitmap Button(const TButtonLook& look, const std::function<void(TShape&)>& glyph) {
    TBitmap b = Strip(kButton, kButton, [](int, int y) { return BandColour(kButtonTop + y); });
    TShape shadow(kButton, kButton);
    shadow.RoundRect(3, 4, 35, 35, 7);
    shadow.Paint(b, 0x082A38, 0, 0, 0.6);
    TShape border(kButton, kButton);
    border.RoundRect(2, 2, 35, 35, 7);
    border.Paint(b, look.Border);
    TShape fill(kButton, kButton);
    fill.RoundRect(3, 3, 33, 33, 6);
    fill.Paint(b, [&look](int, int y) { return Mix(look.FillTop, look.FillBottom, (y - 3) / 33.0); });
    TShape mark(kButton, kButton);
    glyph(mark);
    mark.Paint(b, look.Glyph, look.Shift, look.Shift);
    return b;
}

void HomeGlyph(TShape& s) {
    s.Polygon({{8.5, 20.5}, {19.5, 9.5}, {30.5, 20.5}, {28, 23}, {19.5, 14.5}, {11, 23}});
    s.Polygon({{13, 20}, {19.5, 13.5}, {26, 20}, {26, 30}, {13, 30}});
    s.Rect(17.5, 23, 4, 7, true);
}

void StarGlyph(TShape& s) { s.Star(19.5, 20.5, 12, 5); }

void AddGlyph(TShape& s) {
    s.Star(17, 19, 10, 4.2);
    s.Rect(22, 26.5, 10, 3).Rect(25.5, 23, 3, 10);
}

void ListGlyph(TShape& s) {
    for (int row = 0; row < 3; ++row) {
        double y = 12.5 + row * 7.5;
        s.Star(12.5, y, 3.6, 1.6);
        s.RoundRect(18, y - 1.5, 14, 3, 1.5);
    }
}

void HelpGlyph(TShape& s) {
    s.Ring(19.5, 19.5, 11, 2.2);
    s.Text(14, 7.5, "?", 22, true);
}

void AboutGlyph(TShape& s) {
    s.Ring(19.5, 19.5, 11, 2.2);
    s.Disc(19.5, 13, 1.9);
    s.RoundRect(18, 16.5, 3, 10, 1);
}

void GearGlyph(TShape& s) {
    constexpr double kPi = 3.14159265358979323846;
    s.Disc(19.5, 19.5, 9);
    for (int i = 0; i < 8; ++i) {
        double a = kPi / 4 * i, c = std::cos(a), d = std::sin(a);
        auto at = [&](double along, double across) {
            return TPointF{19.5 + c * along - d * across, 19.5 + d * along + c * across};
        };
        s.Polygon({at(7, -2.6), at(12.5, -2), at(12.5, 2), at(7, 2.6)});
    }
    s.Disc(19.5, 19.5, 3.6, true);
}

void UpdateGlyph(TShape& s) {
    s.Rect(18, 8, 3.4, 12);
    s.Polygon({{12.5, 17.5}, {26.9, 17.5}, {19.7, 25}});
    s.Polygon({{9, 24}, {12, 24}, {12, 28.5}, {27.4, 28.5}, {27.4, 24}, {30.4, 24}, {30.4, 31.5}, {9, 31.5}});
}

// A film frame with a play mark.
void ClipGlyph(TShape& s) {
    s.RoundRect(8, 11, 24, 18, 2.5);
    s.Polygon({{16.5, 14.5}, {25, 20}, {16.5, 25.5}}, true);
}

void SearchGlyph(TShape& s) {
    s.Ring(17, 17, 7, 3);
    s.Line(22.5, 22.5, 29.5, 29.5, 4);
}

void ExitGlyph(TShape& s) {
    s.Ring(19.5, 21, 10, 2.8);
    s.Rect(15, 7, 9, 12, true);
    s.Line(19.5, 9, 19.5, 19, 2.8);
}

void AddButton(std::vector<viewer::TFaceEntry>& entries, const std::string& name,
               const std::function<void(TShape&)>& glyph) {
    entries.push_back({"btn_" + name + ".bmp", forms::EncodeBmp24(Button(kRest, glyph))});
    entries.push_back({"btn_" + name + "_down.bmp", forms::EncodeBmp24(Button(kDown, glyph))});
    entries.push_back({"btn_" + name + "_up.bmp", forms::EncodeBmp24(Button(kUp, glyph))});
}

// ---- settings background and splash pictures ----

TBitmap SettingsBackground() {
    TBitmap b(400, 300);
    FillGradient(b, 0, 0, 400, 300, 0xEEF4F6, 0xD3E2E8);
    FillWith(b, [&b](int x, int y) {
        if (y < 19) return HeaderColour(y * (kHeaderHeight - 2) / 18);
        if (x == 0 || y == 299 || x == 399) return kOuter;
        return b.Pixel(x, y);
    });
    TShape title(400, 300);
    title.Text(10, 2, Ru("Настройки"), 12, true);
    title.Paint(b, 0xFFFFFF);
    TShape close(400, 300);
    close.Line(384, 5, 393, 14, 1.8).Line(393, 5, 384, 14, 1.8);
    close.Paint(b, 0xDCE9F5);
    TShape emblem(400, 300);
    emblem.Disc(60, 80, 30);
    emblem.Paint(b, [](int, int y) { return Mix(0xF6CE6A, 0xD8962E, (y - 50) / 60.0); });
    TShape book(400, 300);
    BookGlyph(book, 60, 79, 36);
    book.Paint(b, 0x0B2545);
    TShape text(400, 300);
    text.Text(110, 52, Ru("Оформление энциклопедии"), 16, true);
    text.Text(110, 80, Ru("Размер и стиль текста, стиль окна,"), 12);
    text.Text(110, 97, Ru("фоновая музыка и последняя страница."), 12);
    text.Paint(b, 0x123A52);
    TShape rule(400, 300);
    rule.Rect(20, 130, 360, 1);
    rule.Paint(b, 0x8CC0D0);
    TShape hint(400, 300);
    hint.Text(20, 262, Ru("Закрыть окно — крестик в правом верхнем углу."), 11);
    hint.Paint(b, 0x4A5A62);
    return b;
}

TBitmap Splash(TScene scene) {
    TBitmap b = DrawScene(scene, 400, 300);
    TShape veil(400, 300);
    veil.Rect(0, 0, 400, 92);
    veil.Paint(b, 0x0B2545, 0, 0, 0.72);
    TShape line(400, 300);
    line.Rect(0, 92, 400, 2);
    line.Paint(b, 0xE8B04A);
    TShape disc(400, 300);
    disc.Disc(52, 46, 30);
    disc.Paint(b, [](int, int y) { return Mix(0xF6CE6A, 0xD8962E, (y - 16) / 60.0); });
    TShape book(400, 300);
    BookGlyph(book, 52, 45, 36);
    book.Paint(b, 0x0B2545);
    TShape title(400, 300);
    title.Text(98, 12, Ru("Люмен"), 40, true, "DejaVu Serif");
    title.Paint(b, 0xFFFFFF);
    TShape sub(400, 300);
    sub.Text(102, 62, Ru("малая энциклопедия"), 16);
    sub.Paint(b, 0xBFDDE6);
    TShape frame(400, 300);
    frame.Rect(0, 0, 400, 300).Rect(2, 2, 396, 296, true);
    frame.Paint(b, kFrameLight);
    return b;
}

void Add(std::vector<viewer::TFaceEntry>& entries, const std::string& name, const TBitmap& picture) {
    entries.push_back({name, forms::EncodeBmp24(picture)});
}

}  // namespace

std::vector<viewer::TFaceEntry> SkinPictures() {
    std::vector<viewer::TFaceEntry> e;
    Add(e, "hdr_back.bmp", HeaderPiece(8, 0, kHeaderHeight));
    Add(e, "win_min.bmp", WindowIcon([](TShape& s) { s.Line(11.5, 24, 22.5, 24, 2.4); }));
    Add(e, "win_max.bmp", WindowIcon([](TShape& s) {
            s.Rect(11, 12, 12, 12).Rect(12.5, 15, 9, 7.5, true);
        }));
    Add(e, "win_close.bmp", WindowIcon([](TShape& s) { s.Line(12, 13, 22, 23, 2.4).Line(22, 13, 12, 23, 2.4); }));
    Add(e, "logo.bmp", Logo());
    Add(e, "title.bmp", TitlePicture());
    Add(e, "vol_track.bmp", VolumeTrack());
    Add(e, "vol_knob.bmp", VolumeKnob());
    Add(e, "mus_play.bmp", MusicIcon(false));
    Add(e, "mus_pause.bmp", MusicIcon(true));
    Add(e, "search_field.bmp", SearchField());

    Add(e, "band.bmp", Strip(8, kBandHeight, [](int, int y) { return BandColour(y); }));
    Add(e, "band_left.bmp", BandCorner(true));
    Add(e, "band_right.bmp", BandCorner(false));
    Add(e, "side_lt.bmp", Side(true, kSideWidth));
    Add(e, "side_l.bmp", Side(true, kSideLength));
    Add(e, "side_lb.bmp", Side(true, kSideWidth));
    Add(e, "side_rt.bmp", Side(false, kSideWidth));
    Add(e, "side_r.bmp", Side(false, kSideLength));
    Add(e, "side_rb.bmp", Side(false, kSideWidth));
    Add(e, "foot.bmp", Strip(8, kFootHeight, [](int, int y) { return FootColour(y); }));
    Add(e, "foot_left.bmp", FootCorner(true));
    Add(e, "foot_right.bmp", FootCorner(false));
    Add(e, "grip.bmp", Grip());

    AddButton(e, "home", HomeGlyph);
    AddButton(e, "favs", StarGlyph);
    AddButton(e, "add", AddGlyph);
    AddButton(e, "list", ListGlyph);
    AddButton(e, "help", HelpGlyph);
    AddButton(e, "about", AboutGlyph);
    AddButton(e, "prefs", GearGlyph);
    AddButton(e, "update", UpdateGlyph);
    AddButton(e, "clip", ClipGlyph);
    AddButton(e, "search", SearchGlyph);
    AddButton(e, "exit", ExitGlyph);

    Add(e, "settings.bmp", SettingsBackground());
    // The splash draws among all but the last "startup_" picture.
    Add(e, "startup_1.bmp", Splash(TScene::Volga));
    Add(e, "startup_2.bmp", Splash(TScene::Petersburg));
    Add(e, "startup_3.bmp", Splash(TScene::Bear));
    Add(e, "startup_4.bmp", Splash(TScene::NightSky));
    return e;
}

}  // namespace bookpack
