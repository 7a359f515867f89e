#include "platform/forms/canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "platform/forms/bitmap.h"

namespace forms {

namespace {

constexpr uint32_t kRgbMask = 0x00FFFFFF;

// Applies a ternary raster operation: bits 16..23 of the code are the result for each
// combination of pattern, source and destination bits (index p*4 + s*2 + d).
uint32_t ApplyRop(TCopyMode rop, uint32_t d, uint32_t s, uint32_t p) {
    switch (rop) {
        case cmSrcCopy: return s;
        case cmSrcInvert: return (d ^ s) & kRgbMask;
        case cmBlackness: return 0;
        case cmWhiteness: return kRgbMask;
        case cmSrcAnd: return d & s;
        case cmSrcPaint: return (d | s) & kRgbMask;
        default: break;
    }
    uint32_t table = (rop >> 16) & 0xFF, result = 0;
    for (int i = 0; i < 8; ++i) {
        if (!((table >> i) & 1)) continue;
        uint32_t term = ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
        result |= term;
    }
    return result & kRgbMask;
}

int FloorMod(int a, int m) {
    int r = a % m;
    return r < 0 ? r + m : r;
}

// Ellipse inscribed in [x1,x2) x [y1,y2): pixel centres inside the curve.
struct EllipseShape {
    double cx, cy, a, b;
    EllipseShape(int x1, int y1, int x2, int y2)
        : cx((x1 + x2) / 2.0), cy((y1 + y2) / 2.0), a((x2 - x1) / 2.0), b((y2 - y1) / 2.0) {}
    bool Inside(int x, int y) const {
        if (a <= 0 || b <= 0) return false;
        double dx = (x + 0.5 - cx) / a, dy = (y + 0.5 - cy) / b;
        return dx * dx + dy * dy <= 1.0 + 1e-9;
    }
};

double AngleOf(double x, double y, double cx, double cy) { return std::atan2(-(y - cy), x - cx); }

}  // namespace

TCanvas::TCanvas(TBitmap& target) : FTarget(target) {}

void TCanvas::SetClipRect(const TRect& clip) {
    FClip = clip;
    FClipSet = true;
}

void TCanvas::ResetClip() { FClipSet = false; }

static TRect TargetBounds(const TBitmap& b) { return Rect(0, 0, b.Width(), b.Height()); }

TRect TCanvas::ClipRect() const {
    TRect clip = FClipSet ? IntersectRect(FClip, TargetBounds(FTarget)) : TargetBounds(FTarget);
    return OffsetRect(clip, -FOrigin.X, -FOrigin.Y);
}

TColor TCanvas::Pixels(int x, int y) const { return PixelToColor(FTarget.Pixel(x + FOrigin.X, y + FOrigin.Y)); }

void TCanvas::SetPixels(int x, int y, TColor color) { PlotRaw(x + FOrigin.X, y + FOrigin.Y, ColorToPixel(color)); }

void TCanvas::PlotRaw(int tx, int ty, uint32_t pixel) {
    TRect clip = OffsetRect(ClipRect(), FOrigin.X, FOrigin.Y);
    if (clip.Contains(tx, ty)) FTarget.SetPixel(tx, ty, pixel);
}

uint32_t TCanvas::BrushPixelAt(int tx, int ty) const {
    const TBitmap* pattern = Brush.Bitmap;
    if (pattern && !pattern->Empty())
        return pattern->Pixel(FloorMod(tx - FOrigin.X, pattern->Width()), FloorMod(ty - FOrigin.Y, pattern->Height()));
    return ColorToPixel(Brush.Color);
}

void TCanvas::HorizontalSpan(int tx1, int tx2, int ty) {
    TRect clip = OffsetRect(ClipRect(), FOrigin.X, FOrigin.Y);
    if (ty < clip.Top || ty >= clip.Bottom) return;
    tx1 = std::max(tx1, clip.Left);
    tx2 = std::min(tx2, clip.Right);
    uint32_t* row = FTarget.ScanLine(ty);
    for (int x = tx1; x < tx2; ++x) row[x] = BrushPixelAt(x, ty);
}

void TCanvas::FillRect(const TRect& r) {
    if (Brush.Style == bsClear && !Brush.Bitmap) return;
    TRect area = IntersectRect(r, ClipRect());  // rows outside the clip are never visited
    for (int y = area.Top; y < area.Bottom; ++y)
        HorizontalSpan(area.Left + FOrigin.X, area.Right + FOrigin.X, y + FOrigin.Y);
}

void TCanvas::FrameRect(const TRect& r) {
    if (r.IsEmpty()) return;
    FillRect(Rect(r.Left, r.Top, r.Right, r.Top + 1));
    FillRect(Rect(r.Left, r.Bottom - 1, r.Right, r.Bottom));
    FillRect(Rect(r.Left, r.Top + 1, r.Left + 1, r.Bottom - 1));
    FillRect(Rect(r.Right - 1, r.Top + 1, r.Right, r.Bottom - 1));
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    if (Pen.Style == psClear) {
        FillRect(Rect(x1, y1, x2 - 1, y2 - 1));
        return;
    }
    FillRect(Rect(x1 + 1, y1 + 1, x2 - 1, y2 - 1));
    TBrush saved = Brush;
    Brush.Bitmap = nullptr;
    Brush.Style = bsSolid;
    Brush.Color = Pen.Color;
    FrameRect(Rect(x1, y1, x2, y2));
    Brush = saved;
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) { Pie(x1, y1, x2, y2, 0, 0, 0, 0); }

void TCanvas::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
    if (x2 < x1) std::swap(x1, x2);
    if (y2 < y1) std::swap(y1, y2);
    bool outline = Pen.Style != psClear;
    if (!outline) {
        x2 -= 1;  // without a pen the platform fills one pixel less to the right and below
        y2 -= 1;
    }
    EllipseShape shape(x1, y1, x2, y2);
    double start = AngleOf(x3, y3, shape.cx, shape.cy);
    double sweep = std::fmod(AngleOf(x4, y4, shape.cx, shape.cy) - start + 4 * std::numbers::pi, 2 * std::numbers::pi);
    bool full = (x3 == x4 && y3 == y4) || sweep < 1e-12;
    auto inside = [&](int x, int y) {
        if (!shape.Inside(x, y)) return false;
        if (full) return true;
        double a = AngleOf(x + 0.5, y + 0.5, shape.cx, shape.cy);
        return std::fmod(a - start + 4 * std::numbers::pi, 2 * std::numbers::pi) <= sweep + 1e-12;
    };
    uint32_t penPixel = ColorToPixel(Pen.Color);
    bool fill = !(Brush.Style == bsClear && !Brush.Bitmap);
    TRect area = IntersectRect(Rect(x1, y1, x2, y2), ClipRect());
    for (int y = area.Top; y < area.Bottom; ++y) {
        for (int x = area.Left; x < area.Right; ++x) {
            if (!inside(x, y)) continue;
            int tx = x + FOrigin.X, ty = y + FOrigin.Y;
            bool edge = outline && (!inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1));
            if (edge) PlotRaw(tx, ty, penPixel);
            else if (fill) PlotRaw(tx, ty, BrushPixelAt(tx, ty));
        }
    }
}

void TCanvas::MoveTo(int x, int y) { FPenPos = TPoint{x, y}; }

void TCanvas::LineTo(int x, int y) {
    int x0 = FPenPos.X, y0 = FPenPos.Y;
    FPenPos = TPoint{x, y};
    if (Pen.Style == psClear) return;
    uint32_t pixel = ColorToPixel(Pen.Color);
    int dx = std::abs(x - x0), sx = x0 < x ? 1 : -1;
    int dy = -std::abs(y - y0), sy = y0 < y ? 1 : -1;
    int err = dx + dy;
    while (x0 != x || y0 != y) {
        PlotRaw(x0 + FOrigin.X, y0 + FOrigin.Y, pixel);
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

namespace {

// Maps a destination rectangle onto a source rectangle by nearest pixel and calls put(tx, ty, s)
// for every destination pixel inside clip whose source pixel exists.
template <class Put>
void StretchMap(const TRect& dest, const TBitmap& src, const TRect& srcRect, const TRect& clip, Put put) {
    int dw = dest.Width(), dh = dest.Height(), sw = srcRect.Width(), sh = srcRect.Height();
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
    TRect area = IntersectRect(dest, clip);
    for (int ty = area.Top; ty < area.Bottom; ++ty) {
        int sy = srcRect.Top + int((int64_t(ty) - dest.Top) * sh / dh);
        if (sy < 0 || sy >= src.Height()) continue;
        const uint32_t* row = src.ScanLine(sy);
        for (int tx = area.Left; tx < area.Right; ++tx) {
            int sx = srcRect.Left + int((int64_t(tx) - dest.Left) * sw / dw);
            if (sx < 0 || sx >= src.Width()) continue;
            put(tx, ty, row[sx]);
        }
    }
}

}  // namespace

void TCanvas::Blit(int dx, int dy, int w, int h, const TBitmap& src, int sx, int sy, TCopyMode rop, bool transparent,
                   uint32_t transparentPixel) {
    TRect dest = OffsetRect(Bounds(dx, dy, w, h), FOrigin.X, FOrigin.Y);
    TRect clip = OffsetRect(ClipRect(), FOrigin.X, FOrigin.Y);
    StretchMap(dest, src, Bounds(sx, sy, w, h), clip, [&](int tx, int ty, uint32_t s) {
        if (transparent && s == transparentPixel) return;
        uint32_t* d = FTarget.ScanLine(ty) + tx;
        *d = ApplyRop(rop, *d, s, BrushPixelAt(tx, ty));
    });
}

void TCanvas::Draw(int x, int y, const TBitmap& bitmap) {
    if (bitmap.Empty()) return;
    StretchDraw(Bounds(x, y, bitmap.Width(), bitmap.Height()), bitmap);
}

void TCanvas::StretchDraw(const TRect& dest, const TBitmap& bitmap) {
    if (bitmap.Empty()) return;
    bool transparent = bitmap.Transparent;
    uint32_t key = transparent ? ColorToPixel(bitmap.TransparentColor()) : 0;
    TRect target = OffsetRect(dest, FOrigin.X, FOrigin.Y);
    TRect clip = OffsetRect(ClipRect(), FOrigin.X, FOrigin.Y);
    TCopyMode rop = CopyMode;
    StretchMap(target, bitmap, Rect(0, 0, bitmap.Width(), bitmap.Height()), clip, [&](int tx, int ty, uint32_t s) {
        uint32_t* d = FTarget.ScanLine(ty) + tx;
        if (transparent) {
            if (s != key) *d = s;
            return;
        }
        *d = ApplyRop(rop, *d, s, BrushPixelAt(tx, ty));
    });
}

void TCanvas::CopyRect(const TRect& dest, const TBitmap& source, const TRect& sourceRect) {
    TRect target = OffsetRect(dest, FOrigin.X, FOrigin.Y);
    TRect clip = OffsetRect(ClipRect(), FOrigin.X, FOrigin.Y);
    TCopyMode rop = CopyMode;
    if (&source == &FTarget) {
        TBitmap copy(source);  // overlapping copies read the state before the operation
        CopyRect(dest, copy, sourceRect);
        return;
    }
    StretchMap(target, source, sourceRect, clip, [&](int tx, int ty, uint32_t s) {
        uint32_t* d = FTarget.ScanLine(ty) + tx;
        *d = ApplyRop(rop, *d, s, BrushPixelAt(tx, ty));
    });
}

void TCanvas::BitBlt(int x, int y, int width, int height, const TBitmap& source, int sx, int sy, TCopyMode rop) {
    if (&source == &FTarget) {
        TBitmap copy(source);
        Blit(x, y, width, height, copy, sx, sy, rop, false, 0);
        return;
    }
    Blit(x, y, width, height, source, sx, sy, rop, false, 0);
}

void TCanvas::BrushCopy(const TRect& dest, const TBitmap& source, const TRect& sourceRect, TColor replace) {
    TRect target = OffsetRect(dest, FOrigin.X, FOrigin.Y);
    TRect clip = OffsetRect(ClipRect(), FOrigin.X, FOrigin.Y);
    uint32_t key = ColorToPixel(replace);
    TBitmap copy(source);
    StretchMap(target, copy, sourceRect, clip, [&](int tx, int ty, uint32_t s) {
        FTarget.ScanLine(ty)[tx] = s == key ? BrushPixelAt(tx, ty) : s;
    });
}

}  // namespace forms
