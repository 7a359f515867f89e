// Draws the update dialog's pictures (page backgrounds, button faces, the gauge's texture) into
// the folder given on the command line, as 16-colour BMP files small enough to keep with the form
// description: update_art <resources>/update
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/forms/bitmap.h"
#include "platform/forms/canvas.h"
#include "platform/rtl/codepage.h"

namespace {

using forms::TBitmap;
using forms::TCanvas;
using forms::TColor;
using forms::TRect;

// Colours as 0x00BBGGRR.
constexpr TColor kPaper = 0x00F6EFE8;
constexpr TColor kNavy = 0x00800000;
constexpr TColor kStrip = 0x00A05A2C;
constexpr TColor kFace = 0x00E8D8C8;
constexpr TColor kHot = 0x00F0C890;
constexpr TColor kWhite = 0x00FFFFFF;
constexpr TColor kGrey = 0x00A0A0A0;
constexpr TColor kHint = 0x00707070;

// The 16-colour palette every picture is reduced to (0x00RRGGBB), with the blends the text's
// smoothing needs.
const std::vector<uint32_t> kPalette = {
    0x000000, 0xFFFFFF, 0x000080, 0xE8EFF6, 0x2C5AA0, 0xC8D8E8, 0x90C8F0, 0xA0A0A0,
    0x404090, 0x8090B8, 0xB8C4DC, 0x6A8CC0, 0xA8C0E0, 0xD4E0EE, 0x5070A8, 0x707070};

uint32_t Distance(uint32_t a, uint32_t b) {
    const int dr = int((a >> 16) & 0xFF) - int((b >> 16) & 0xFF);
    const int dg = int((a >> 8) & 0xFF) - int((b >> 8) & 0xFF);
    const int db = int(a & 0xFF) - int(b & 0xFF);
    return uint32_t(dr * dr + dg * dg + db * db);
}

uint8_t Nearest(uint32_t pixel) {
    size_t best = 0;
    for (size_t i = 1; i < kPalette.size(); ++i)
        if (Distance(pixel, kPalette[i]) < Distance(pixel, kPalette[best])) best = i;
    return uint8_t(best);
}

void PutLE(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += char((value >> (8 * i)) & 0xFF);
}

// A bottom-up 4-bit BMP with a 40-byte info header.
std::string Encode4(const TBitmap& bitmap) {
    const uint32_t stride = ((uint32_t(bitmap.Width()) * 4 + 31) / 32) * 4;
    const uint32_t offset = 14 + 40 + 16 * 4;
    const uint32_t imageSize = stride * uint32_t(bitmap.Height());
    std::string out = "BM";
    PutLE(out, offset + imageSize, 4);
    PutLE(out, 0, 4);
    PutLE(out, offset, 4);
    PutLE(out, 40, 4);
    PutLE(out, uint32_t(bitmap.Width()), 4);
    PutLE(out, uint32_t(bitmap.Height()), 4);
    PutLE(out, 1, 2);
    PutLE(out, 4, 2);
    PutLE(out, 0, 4);
    PutLE(out, imageSize, 4);
    PutLE(out, 2835, 4);
    PutLE(out, 2835, 4);
    PutLE(out, 16, 4);
    PutLE(out, 16, 4);
    for (uint32_t colour : kPalette) PutLE(out, colour, 4);  // B, G, R, 0
    for (int y = bitmap.Height() - 1; y >= 0; --y) {
        std::string row(stride, '\0');
        for (int x = 0; x < bitmap.Width(); ++x) {
            const uint8_t index = Nearest(bitmap.Pixel(x, y));
            row[size_t(x / 2)] = char(uint8_t(row[size_t(x / 2)]) | (x % 2 ? index : uint8_t(index << 4)));
        }
        out += row;
    }
    return out;
}

void Save(const std::string& folder, const std::string& name, const TBitmap& bitmap) {
    std::ofstream(folder + "/" + name, std::ios::binary) << Encode4(bitmap);
}

void Text(TCanvas& canvas, int x, int y, const char* utf8, TColor colour, int height = -12, bool bold = false) {
    canvas.Font.Name = "Sans";
    canvas.Font.SetHeight(height);
    canvas.Font.Color = colour;
    canvas.Font.Style = bold ? forms::fsBold : 0;
    canvas.Brush.Style = forms::bsClear;
    canvas.TextOut(x, y, rtl::Ru(utf8));
}

void Box(TCanvas& canvas, const TRect& r, TColor fill, TColor frame) {
    canvas.Brush.Style = forms::bsSolid;
    canvas.Brush.Color = fill;
    canvas.FillRect(r);
    canvas.Brush.Color = frame;
    canvas.FrameRect(r);
}

// A button face with its caption centred.
void Face(TCanvas& canvas, const TRect& r, const char* caption, TColor fill) {
    Box(canvas, TRect{r.Left + 2, r.Top + 6, r.Right - 2, r.Bottom - 6}, fill, kNavy);
    canvas.Font.Name = "Sans";
    canvas.Font.SetHeight(-11);
    canvas.Font.Style = 0;
    const int width = canvas.TextWidth(rtl::Ru(caption));
    Text(canvas, r.Left + (r.Width() - width) / 2, r.Top + 11, caption, kNavy, -11);
}

TBitmap Page(const char* title, bool closeBox) {
    TBitmap page(400, 300);
    TCanvas& canvas = page.Canvas();
    Box(canvas, TRect{0, 0, 400, 300}, kPaper, kStrip);
    canvas.Brush.Color = kStrip;
    canvas.FillRect(TRect{0, 0, 400, 19});
    Text(canvas, 8, 2, title, kWhite, -12, true);
    if (closeBox) {
        Box(canvas, TRect{380, 1, 398, 18}, kStrip, kWhite);
        Text(canvas, 385, 1, "x", kWhite, -12, true);
    }
    return page;
}

void Lines(TCanvas& canvas, int top, std::initializer_list<const char*> lines) {
    for (const char* line : lines) {
        Text(canvas, 20, top, line, kNavy);
        top += 18;
    }
}

constexpr TRect kLeftButton{267, 253, 328, 289};
constexpr TRect kRightButton{332, 253, 391, 289};

// The page's Next and Cancel lie below the dialog's client area, so only its close box can be
// clicked: the picture draws no other button and asks for no other click.
void DrawIntroduction(const std::string& folder) {
    TBitmap page = Page("Обновление программы", true);
    TCanvas& canvas = page.Canvas();
    Lines(canvas, 50, {"Мастер обновления загрузит с сервера", "новые пакеты обновлений и установит их.", "",
                       "Перед началом закройте другие программы,", "работающие с Интернетом."});
    Text(canvas, 20, 262, "Закрыть окно — крестик в правом верхнем углу.", kHint, -11);
    Save(folder, "intro.bmp", page);
}

void DrawProxy(const std::string& folder) {
    TBitmap page = Page("Настройки прокси-сервера", false);
    TCanvas& canvas = page.Canvas();
    Lines(canvas, 40, {"Если вы подключены к Интернету через", "прокси-сервер, укажите его параметры."});
    Text(canvas, 20, 130, "Адрес прокси-сервера:", kNavy);
    Text(canvas, 313, 130, "Порт:", kNavy, -11);
    Text(canvas, 20, 163, "Имя пользователя:", kNavy);
    Text(canvas, 20, 186, "Пароль:", kNavy);
    for (const TRect& field : {TRect{218, 128, 310, 147}, TRect{350, 128, 387, 147}, TRect{218, 160, 388, 181},
                               TRect{218, 183, 387, 204}})
        Box(canvas, field, kWhite, kGrey);
    Text(canvas, 31, 220, "Использовать прокси-сервер", kNavy, -11);
    Text(canvas, 234, 220, "Авторизация", kNavy, -11);
    Face(canvas, kLeftButton, "Далее", kFace);
    Face(canvas, kRightButton, "Отмена", kFace);
    Save(folder, "proxy.bmp", page);
}

void DrawProgress(const std::string& folder, const char* name, const char* line) {
    TBitmap page = Page("Обновление программы", false);
    TCanvas& canvas = page.Canvas();
    Text(canvas, 20, 100, line, kNavy);
    Box(canvas, TRect{15, 130, 391, 143}, kWhite, kGrey);
    Face(canvas, kRightButton, "Отмена", kFace);
    Save(folder, name, page);
}

void DrawList(const std::string& folder) {
    TBitmap page = Page("Доступные обновления", false);
    TCanvas& canvas = page.Canvas();
    Lines(canvas, 50, {"На сервере есть новые пакеты обновлений.", "Чтобы установить их, нажмите \"Установить\"."});
    Box(canvas, TRect{15, 119, 392, 245}, kWhite, kGrey);
    Face(canvas, TRect{268, 253, 327, 289}, "Установить", kFace);
    Face(canvas, kRightButton, "Отмена", kFace);
    Save(folder, "list.bmp", page);
}

void DrawResult(const std::string& folder, const char* name, std::initializer_list<const char*> lines, bool support) {
    TBitmap page = Page("Обновление программы", false);
    TCanvas& canvas = page.Canvas();
    Lines(canvas, 70, lines);
    if (support) {
        Text(canvas, 20, 190, "Служба поддержки:", kNavy, -11);
        Text(canvas, 190, 190, "написать нам", kStrip, -11);
        canvas.Brush.Style = forms::bsSolid;
        canvas.Brush.Color = kStrip;
        canvas.FillRect(TRect{190, 203, 273, 204});
    }
    Face(canvas, kRightButton, "Закрыть", kFace);
    Save(folder, name, page);
}

void DrawButton(const std::string& folder, const char* name, int width, const char* caption) {
    TBitmap button(width, 36);
    TCanvas& canvas = button.Canvas();
    Box(canvas, TRect{0, 0, width, 36}, kPaper, kPaper);
    Face(canvas, TRect{0, 0, width, 36}, caption, kHot);
    Save(folder, name, button);
}

void DrawTexture(const std::string& folder) {
    TBitmap texture(8, 9);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 8; ++x) texture.SetPixel(x, y, x == 7 ? 0xE8EFF6 : (y < 3 ? 0x5070A8 : 0x2C5AA0));
    Save(folder, "texture.bmp", texture);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: update_art <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    DrawIntroduction(folder);
    DrawProxy(folder);
    DrawProgress(folder, "connect.bmp", "Соединение с сервером обновлений...");
    DrawProgress(folder, "download.bmp", "Загрузка и установка пакетов обновлений...");
    DrawList(folder);
    DrawResult(folder, "done.bmp", {"Обновление успешно завершено.", "", "Все пакеты обновлений установлены."}, false);
    DrawResult(folder, "empty.bmp", {"Новых пакетов обновлений нет.", "", "У вас установлена последняя версия."}, false);
    DrawResult(folder, "error.bmp",
               {"Не удалось выполнить обновление.", "", "Проверьте подключение к Интернету", "и настройки прокси-сервера."},
               true);
    DrawButton(folder, "next.bmp", 61, "Далее");
    DrawButton(folder, "cancel.bmp", 59, "Отмена");
    DrawButton(folder, "install.bmp", 59, "Установить");
    DrawButton(folder, "close.bmp", 59, "Закрыть");
    DrawTexture(folder);
    return 0;
}
