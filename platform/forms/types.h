// Basic value types of the class library: points, rectangles, colours, shift states, cursors.
#pragma once

#include <cstdint>
#include <functional>

namespace forms {

class TObject {
public:
    virtual ~TObject() = default;
};

struct TPoint {
    int X = 0;
    int Y = 0;
    bool operator==(const TPoint&) const = default;
};

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
    bool operator==(const TRect&) const = default;
};

inline TRect Rect(int left, int top, int right, int bottom) { return TRect{left, top, right, bottom}; }
inline TRect Bounds(int left, int top, int width, int height) {
    return TRect{left, top, left + width, top + height};
}
TRect IntersectRect(const TRect& a, const TRect& b);  // empty (all zero) when they do not meet
TRect UnionRect(const TRect& a, const TRect& b);      // an empty side is ignored
TRect OffsetRect(const TRect& r, int dx, int dy);

// Colours as the class library holds them: 0x00BBGGRR, or a system colour (high byte 0x80).
using TColor = int32_t;
constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;
constexpr TColor clScrollBar = int32_t(0x80000000);
constexpr TColor clBackground = int32_t(0x80000001);
constexpr TColor clWindow = int32_t(0x80000005);
constexpr TColor clWindowText = int32_t(0x80000008);
constexpr TColor clBtnFace = int32_t(0x8000000F);
constexpr TColor clBtnShadow = int32_t(0x80000010);
constexpr TColor clGrayText = int32_t(0x80000011);
constexpr TColor clBtnText = int32_t(0x80000012);
constexpr TColor clBtnHighlight = int32_t(0x80000014);
constexpr TColor clInfoBk = int32_t(0x80000018);

// Resolves system colours to their fixed RGB values; plain colours pass through (0x00BBGGRR).
TColor ColorToRGB(TColor color);
// Raster pixels are 0x00RRGGBB (the layout of a cairo RGB24 surface).
uint32_t ColorToPixel(TColor color);
TColor PixelToColor(uint32_t pixel);
inline TColor RGB(int r, int g, int b) { return TColor((r & 255) | ((g & 255) << 8) | ((b & 255) << 16)); }

// Shift state bits.
using TShiftState = uint32_t;
constexpr TShiftState ssShift = 1;
constexpr TShiftState ssAlt = 2;
constexpr TShiftState ssCtrl = 4;
constexpr TShiftState ssLeft = 8;
constexpr TShiftState ssRight = 16;
constexpr TShiftState ssMiddle = 32;
constexpr TShiftState ssDouble = 64;

enum TMouseButton { mbLeft, mbRight, mbMiddle };

// Cursor identities; positive numbers are the application's own cursors (TScreen::Cursors).
using TCursor = int16_t;
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNoDrop = -13;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHelp = -20;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;

// Anchors: a set of sides.
using TAnchors = uint8_t;
constexpr TAnchors akLeft = 1;
constexpr TAnchors akTop = 2;
constexpr TAnchors akRight = 4;
constexpr TAnchors akBottom = 8;

enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
                 poMainFormCenter, poOwnerFormCenter };
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };

// Virtual key codes used by shortcuts and key events.
constexpr uint16_t VK_BACK = 8, VK_TAB = 9, VK_RETURN = 13, VK_ESCAPE = 27, VK_SPACE = 32, VK_PRIOR = 33,
                   VK_NEXT = 34, VK_END = 35, VK_HOME = 36, VK_LEFT = 37, VK_UP = 38, VK_RIGHT = 39,
                   VK_DOWN = 40, VK_INSERT = 45, VK_DELETE = 46, VK_APPS = 93, VK_F1 = 112, VK_F10 = 121,
                   VK_F12 = 123;

// Events: std::function members named as the class library names them.
using TNotifyEvent = std::function<void(TObject* Sender)>;
using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, uint16_t& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

}  // namespace forms

namespace forms {

// Runs an event through a copy, so a handler may free the component that holds the event.
template <class Event, class... Args>
void Fire(const Event& event, Args&&... args) {
    if (!event) return;
    Event copy = event;
    copy(std::forward<Args>(args)...);
}

}  // namespace forms
