#include "platform/forms/types.h"

#include <algorithm>

namespace forms {

TRect IntersectRect(const TRect& a, const TRect& b) {
    TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
            std::min(a.Bottom, b.Bottom)};
    return r.IsEmpty() ? TRect{} : r;
}

TRect UnionRect(const TRect& a, const TRect& b) {
    if (a.IsEmpty()) return b;
    if (b.IsEmpty()) return a;
    return TRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
                 std::max(a.Bottom, b.Bottom)};
}

TRect OffsetRect(const TRect& r, int dx, int dy) {
    return TRect{r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}

namespace {

// The classic desktop scheme, indexed by system colour number.
TColor SystemColor(unsigned index) {
    switch (index) {
        case 0: return RGB(212, 208, 200);   // scroll bar
        case 1: return RGB(58, 110, 165);    // desktop
        case 2: return RGB(10, 36, 106);     // active caption
        case 3: return RGB(128, 128, 128);   // inactive caption
        case 4: return RGB(212, 208, 200);   // menu
        case 5: return RGB(255, 255, 255);   // window
        case 6: return RGB(0, 0, 0);         // window frame
        case 7: return RGB(0, 0, 0);         // menu text
        case 8: return RGB(0, 0, 0);         // window text
        case 9: return RGB(255, 255, 255);   // caption text
        case 13: return RGB(10, 36, 106);    // highlight
        case 14: return RGB(255, 255, 255);  // highlight text
        case 15: return RGB(212, 208, 200);  // button face
        case 16: return RGB(128, 128, 128);  // button shadow
        case 17: return RGB(128, 128, 128);  // grey text
        case 18: return RGB(0, 0, 0);        // button text
        case 20: return RGB(255, 255, 255);  // button highlight
        case 21: return RGB(64, 64, 64);     // 3D dark shadow
        case 22: return RGB(212, 208, 200);  // 3D light
        case 23: return RGB(0, 0, 0);        // info text
        case 24: return RGB(255, 255, 225);  // info background
        default: return RGB(212, 208, 200);
    }
}

}  // namespace

TColor ColorToRGB(TColor color) {
    uint32_t value = uint32_t(color);
    if ((value & 0xFF000000u) == 0x80000000u) return SystemColor(value & 0xFF);
    if (color == clNone) return clBlack;
    if (color == clDefault) return SystemColor(5);
    return TColor(value & 0x00FFFFFFu);
}

uint32_t ColorToPixel(TColor color) {
    uint32_t bgr = uint32_t(ColorToRGB(color));
    return ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
}

TColor PixelToColor(uint32_t pixel) {
    return TColor(((pixel >> 16) & 0xFF) | (pixel & 0xFF00) | ((pixel & 0xFF) << 16));
}

}  // namespace forms
