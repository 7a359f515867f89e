// TCanvas: exact software drawing on a TBitmap with the raster operations the controls need.
// A canvas may carry an origin and a clip rectangle (controls painting into the form raster).
#pragma once

#include <cstdint>
#include <string>

#include "platform/forms/font.h"
#include "platform/forms/types.h"

namespace forms {

class TBitmap;

// Raster operation codes as the platform numbers them.
using TCopyMode = uint32_t;
constexpr TCopyMode cmBlackness = 0x00000042;
constexpr TCopyMode cmWhiteness = 0x00FF0062;
constexpr TCopyMode cmSrcCopy = 0x00CC0020;
constexpr TCopyMode cmSrcInvert = 0x00660046;
constexpr TCopyMode cmSrcAnd = 0x008800C6;
constexpr TCopyMode cmSrcPaint = 0x00EE0086;
constexpr TCopyMode cmDstInvert = 0x00550009;
constexpr TCopyMode cmPatCopy = 0x00F00021;
constexpr TCopyMode BLACKNESS = cmBlackness;
constexpr TCopyMode SRCCOPY = cmSrcCopy;
constexpr TCopyMode SRCINVERT = cmSrcInvert;

enum TBrushStyle { bsSolid, bsClear };
enum TPenStyle { psSolid, psClear };

class TBrush {
public:
    TColor Color = clWhite;
    TBrushStyle Style = bsSolid;
    // A pattern brush: tiles aligned to the canvas bitmap's origin. Not owned; null = none.
    const TBitmap* Bitmap = nullptr;
};

class TPen {
public:
    TColor Color = clBlack;
    TPenStyle Style = psSolid;
    int Width = 1;
};

class TCanvas {
public:
    explicit TCanvas(TBitmap& target);

    TBitmap& Target() { return FTarget; }
    TBrush Brush;
    TPen Pen;
    TFont Font;
    TCopyMode CopyMode = cmSrcCopy;

    // Drawing origin (added to every coordinate) and clip rectangle (target coordinates).
    void SetOrigin(TPoint origin) { FOrigin = origin; }
    TPoint Origin() const { return FOrigin; }
    void SetClipRect(const TRect& clip);  // intersected with the target's bounds
    void ResetClip();
    TRect ClipRect() const;               // in canvas (origin-relative) coordinates

    TColor Pixels(int x, int y) const;
    void SetPixels(int x, int y, TColor color);

    // Fills with the brush (solid or pattern); the right and bottom edges are excluded.
    void FillRect(const TRect& r);
    // A one-pixel frame with the brush colour.
    void FrameRect(const TRect& r);
    // Pen outline and brush interior, as the platform draws them (right/bottom exclusive).
    void Rectangle(int x1, int y1, int x2, int y2);
    void Ellipse(int x1, int y1, int x2, int y2);
    // A pie slice of the ellipse in (x1,y1,x2,y2), counter-clockwise from the radial through
    // (x3,y3) to the one through (x4,y4); equal radials fill the whole ellipse.
    void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
    void MoveTo(int x, int y);
    void LineTo(int x, int y);  // the end point is not drawn

    // Bitmaps. Draw honours the bitmap's Transparent flag; the others copy with CopyMode.
    void Draw(int x, int y, const TBitmap& bitmap);
    void StretchDraw(const TRect& dest, const TBitmap& bitmap);
    void CopyRect(const TRect& dest, const TBitmap& source, const TRect& sourceRect);
    void BitBlt(int x, int y, int width, int height, const TBitmap& source, int sx, int sy, TCopyMode rop);
    // Copies source onto dest with every pixel of colour `replace` painted with the brush.
    void BrushCopy(const TRect& dest, const TBitmap& source, const TRect& sourceRect, TColor replace);

    // Text through Pango (cp1251 in). With Brush.Style bsClear the background is left untouched.
    void TextOut(int x, int y, const std::string& text);
    void TextRect(const TRect& r, int x, int y, const std::string& text);
    int TextWidth(const std::string& text);
    int TextHeight(const std::string& text);
    TPoint TextExtent(const std::string& text);

private:
    uint32_t BrushPixelAt(int tx, int ty) const;  // target coordinates
    void PlotRaw(int tx, int ty, uint32_t pixel);  // clipped, target coordinates
    void HorizontalSpan(int tx1, int tx2, int ty); // brush span, target coordinates, tx2 exclusive
    void Blit(int dx, int dy, int w, int h, const TBitmap& src, int sx, int sy, TCopyMode rop, bool transparent,
              uint32_t transparentPixel);

    TBitmap& FTarget;
    TPoint FOrigin;
    TRect FClip;
    bool FClipSet = false;
    TPoint FPenPos;
};

}  // namespace forms
