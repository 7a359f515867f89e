// TOrvGauge painting: the image is built off screen (bars or pies on a black overlay inverted
// onto a black image, then the caption) and copied to the control's canvas.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "controls/cm_OrvGauges.h"
#include "platform/forms/canvas.h"
#include "platform/rtl/format.h"

namespace controls {

using forms::Rect;
using forms::TBitmap;
using forms::TCanvas;
using forms::TColor;
using forms::TRect;

namespace {

void ClearToBlack(TBitmap& bitmap) {
    TCanvas& canvas = bitmap.Canvas();
    canvas.BitBlt(0, 0, bitmap.Width(), bitmap.Height(), bitmap, 0, 0, forms::BLACKNESS);
    canvas.CopyMode = forms::SRCCOPY;
}

// Nearest integer, halves to the even one.
int Nearest(double value) { return int(std::nearbyint(value)); }

}  // namespace

bool TOrvGauge::HasFrame() const { return FBorderStyle == forms::bsSingle && FKind != lgkPie; }

void TOrvGauge::Paint(TCanvas& canvas) {
    TRect r = Rect(0, 0, FWidth, FHeight);
    TBitmap image;
    if (HasFrame()) {
        image.SetSize(std::max(FWidth - 1, 0), std::max(FHeight - 1, 0));
        r = Rect(1, 1, FWidth - 1, FHeight - 1);
    } else {
        image.SetSize(FWidth, FHeight);
    }
    ClearToBlack(image);
    {
        TBltBitmap overlay;
        overlay.MakeLike(image);
        ClearToBlack(overlay);
        if (IsBarKind()) DrawBar(overlay.Canvas(), r);
        else DrawPie(overlay.Canvas(), r);
        image.Canvas().BitBlt(0, 0, overlay.Width(), overlay.Height(), overlay, 0, 0, forms::SRCINVERT);
        image.Canvas().CopyMode = forms::SRCCOPY;
    }
    if (FShowText) DrawCaption(image, r);
    canvas.CopyMode = forms::SRCCOPY;
    if (HasFrame()) {
        canvas.Brush.Bitmap = nullptr;
        canvas.Brush.Style = forms::bsSolid;
        canvas.Brush.Color = FBorderColor;
        canvas.FrameRect(Rect(0, 0, FWidth, FHeight));
    }
    canvas.CopyRect(r, image, r);
}

// ---- bars ----

void TOrvGauge::DrawBar(TCanvas& canvas, const TRect& r) {
    FFillExtent = 0;
    FShownExtent = 0;
    SetBackgroundBrush(canvas);
    canvas.FillRect(r);
    canvas.Brush.Bitmap = nullptr;
    if (RunningStrip) {
        DrawRunningStrip(canvas, r);
        return;
    }
    if (FKind == lgkHorizontalBar) DrawHorizontalBar(canvas, r);
    else DrawVerticalBar(canvas, r);
    canvas.Brush.Bitmap = nullptr;
}

int TOrvGauge::CutToBlocks(int extent, int full, int textureLength) const {
    if (!ForeAsBlocks || extent == full) return extent;
    int block = ForeBlockSize != 0 ? ForeBlockSize : textureLength;
    if (block == 0) return extent;
    return block * (extent / block);
}

void TOrvGauge::DrawHorizontalBar(TCanvas& canvas, const TRect& r) {
    int w1 = r.Right - r.Left + 1, h1 = r.Bottom - r.Top + 1;
    FFillExtent = std::min(ScaleByPercent(CurrentPercent(), w1), w1);
    if (FFillExtent <= 0) return;
    if (FTextureOnFore.Empty()) {
        canvas.Brush.Color = FForeColor;
        canvas.FillRect(Rect(r.Left, r.Top, FFillExtent, h1));
        return;
    }
    const TBitmap* pattern = &FTextureOnFore;
    if (FTransparentFore) {
        if (Edge > 0) {
            BuildEdgeBitmap(false);
            RebuildForeTile(FEdgeBitmap);
        }
        pattern = &FForeTile;
    } else if (Edge >= 1) {
        BuildEdgeBitmap(false);
        pattern = &FEdgeBitmap;
    }
    FShownExtent = CutToBlocks(FFillExtent, w1, FTextureOnFore.Width());
    canvas.Brush.Bitmap = pattern;
    canvas.FillRect(Rect(r.Left, r.Top, FShownExtent, h1));
}

void TOrvGauge::DrawVerticalBar(TCanvas& canvas, const TRect& r) {
    int w1 = r.Right - r.Left + 1, h1 = r.Bottom - r.Top + 1;
    FFillExtent = ScaleByPercent(CurrentPercent(), h1);
    if (FFillExtent > h1) FFillExtent = h1 - 1;
    if (FFillExtent <= 0) return;
    if (FTextureOnFore.Empty()) {
        canvas.Brush.Color = FForeColor;
        canvas.FillRect(Rect(r.Left, h1 - FFillExtent, w1, h1));
        return;
    }
    FShownExtent = CutToBlocks(FFillExtent, h1, FTextureOnFore.Height());
    if (Edge > 0) {
        BuildEdgeBitmap(true);
        TBitmap edge(FEdgeBitmap);
        edge.Transparent = FTransparentFore;
        edge.TransparentAuto = true;
        canvas.Draw(0, h1 - FShownExtent, edge);
        return;
    }
    canvas.Brush.Bitmap = FTransparentFore ? &FForeTile : &FTextureOnFore;
    canvas.FillRect(Rect(r.Left, h1 - FShownExtent, w1, h1));
}

// The filled part with end caps: the texture's middle repeated, its first and last Edge pixels
// at the two ends.
void TOrvGauge::BuildEdgeBitmap(bool vertical) {
    if (!vertical && FWidth < FFillExtent) FFillExtent = FWidth;
    const TBitmap& texture = FTextureOnFore;
    int textureLength = vertical ? texture.Height() : texture.Width();
    int thickness = vertical ? texture.Width() : texture.Height();
    int length = std::max(FFillExtent, 0);
    FEdgeBitmap.SetSize(vertical ? thickness : length, vertical ? length : thickness);
    if (length == 0) return;
    TCanvas canvas(FEdgeBitmap);
    canvas.CopyMode = forms::SRCCOPY;
    int64_t middleLength = int64_t(textureLength) - 2 * int64_t(Edge);
    int cap;
    if (int64_t(length) > 2 * int64_t(Edge)) {
        cap = Edge;
        // An Edge of half the texture or more leaves no middle; the whole texture repeats then.
        TBitmap middle(texture);
        if (middleLength > 0) {
            int middleSize = int(middleLength);
            middle.SetSize(vertical ? thickness : middleSize, vertical ? middleSize : thickness);
            TCanvas cut(middle);
            cut.CopyMode = forms::SRCCOPY;
            TRect from = vertical ? Rect(0, Edge, thickness, Edge + middleSize) : Rect(Edge, 0, Edge + middleSize, thickness);
            cut.CopyRect(Rect(0, 0, middle.Width(), middle.Height()), texture, from);
        }
        canvas.Brush.Bitmap = &middle;
        canvas.FillRect(Rect(0, 0, FEdgeBitmap.Width(), FEdgeBitmap.Height()));
        canvas.Brush.Bitmap = nullptr;
    } else {
        cap = length / 2 + 1;
    }
    cap = std::min({cap, textureLength, length});  // never read or write past either end
    if (cap <= 0) return;
    if (vertical) {
        canvas.CopyRect(Rect(0, length - cap, thickness, length), texture,
                        Rect(0, textureLength - cap, thickness, textureLength));
        canvas.CopyRect(Rect(0, 0, thickness, cap), texture, Rect(0, 0, thickness, cap));
    } else {
        canvas.CopyRect(Rect(length - cap, 0, length, thickness), texture,
                        Rect(textureLength - cap, 0, textureLength, thickness));
        canvas.CopyRect(Rect(0, 0, cap, thickness), texture, Rect(0, 0, cap, thickness));
    }
}

// A texture strip sliding along the bar; what runs off the far end comes back at the near end.
void TOrvGauge::DrawRunningStrip(TCanvas& canvas, const TRect& r) {
    if (RuningStep < 1 || FTextureOnFore.Empty()) return;
    TBitmap texture(FTextureOnFore);
    texture.Transparent = FTransparentFore;
    texture.TransparentAuto = false;
    texture.TransparentColorValue = FTextureOnFore.TransparentColor();
    const int s = RuningStep;
    bool horizontal = FKind == lgkHorizontalBar;
    int length = horizontal ? texture.Width() : texture.Height();
    int perTile = length / s;
    int over;
    if (horizontal) {
        canvas.Draw(r.Left + FStripOffset, r.Top, texture);
        over = (r.Left + FStripOffset + length - r.Right) / s;
    } else {
        canvas.Draw(r.Left, r.Bottom - FStripOffset - length, texture);
        over = (r.Top - (r.Bottom - FStripOffset - length)) / s;
    }
    if (over <= 0) return;
    int wrapped = int(std::min<int64_t>(int64_t(s) * over, length));
    TBitmap piece(texture);
    if (horizontal) {
        piece.SetSize(wrapped, texture.Height());
        TCanvas(piece).CopyRect(Rect(0, 0, wrapped, texture.Height()), texture,
                                Rect(length - wrapped, 0, length, texture.Height()));
        canvas.Draw(r.Left, r.Top, piece);
    } else {
        piece.SetSize(texture.Width(), wrapped);
        TCanvas(piece).CopyRect(Rect(0, 0, texture.Width(), wrapped), texture, Rect(0, 0, texture.Width(), wrapped));
        canvas.Draw(r.Left, r.Bottom - wrapped, piece);
    }
    if (over >= perTile) FStripOffset = 0;
}

// ---- pies ----

// The shadow stack's height as painted: a stack taller than the gauge cannot show more than the
// gauge's height of rim, and drawing billions of hidden pies would stall the paint.
int TOrvGauge::ShadowHeight(const TRect& r) const {
    if (FKind != lgkPie3D) return 0;
    return std::clamp(Pie3DHeight, -(1 << 24), std::max(r.Bottom - r.Top, 0));
}

void TOrvGauge::DrawPie(TCanvas& canvas, const TRect& r) {
    int shadow = ShadowHeight(r);
    int w = r.Right - r.Left;
    int h = r.Bottom - r.Top - shadow;
    SetBackgroundBrush(canvas);
    canvas.FillRect(r);
    if (FKind == lgkPie && FBorderStyle == forms::bsSingle) {
        canvas.Pen.Style = forms::psSolid;
        canvas.Pen.Color = FBorderColor;
        canvas.Ellipse(r.Left, r.Top, w - 1, h - 1);
    }
    canvas.Pen.Style = forms::psClear;
    canvas.Brush.Bitmap = nullptr;
    int percent = CurrentPercent();
    if (percent <= 0) return;
    int mx = w / 2, my = h / 2;
    double a = (percent / 50.0 + 0.5) * std::numbers::pi;
    int px = Nearest((1 - std::cos(a)) * mx), py = Nearest((1 - std::sin(a)) * my);
    if (FKind == lgkPie3D) {
        canvas.Brush.Color = Pie3DColor;
        for (int k = 0; k < shadow; ++k)
            canvas.Pie(r.Left + 1, r.Top + 1 + k, w - 1, h - 1 + k, px, k + py, mx, k);
    }
    SetForeBrush(canvas, FTransparentFore);
    canvas.Pie(r.Left + 1, r.Top + 1, w - 1, h - 1, px, py, mx, 0);
    canvas.Brush.Bitmap = nullptr;
}

// ---- caption ----

void TOrvGauge::DrawCaption(TBitmap& image, const TRect& r) {
    int percent = CurrentPercent();
    std::string caption = rtl::Format(FText, {percent});
    TCanvas& canvas = image.Canvas();
    canvas.Font = FFont;
    int tw = canvas.TextWidth(caption), th = canvas.TextHeight(caption);
    if (FTextInCenterFore && ((FKind == lgkHorizontalBar && FFillExtent <= tw) ||
                              (FKind == lgkVerticalBar && FFillExtent <= th)))
        caption.clear();
    if (caption.empty()) return;
    bool centreOnFill = FTextInCenterFore && FKind == lgkHorizontalBar;
    int x = FHorTextAlignment == taLeftJustify    ? r.Left + 1
            : FHorTextAlignment == taRightJustify ? r.Right - tw - 1
            : centreOnFill                        ? r.Left + (FFillExtent - tw) / 2
                                                  : (r.Right - r.Left + 1 - tw) / 2;
    int bottom = r.Bottom - ShadowHeight(r);
    int y = FVerTextAlignment == taTop ? r.Top + 1
            : FVerTextAlignment == taBottom ? bottom - th - 1
            : (FTextInCenterFore && FKind == lgkVerticalBar) ? r.Bottom - th - (FFillExtent - th) / 2
                                                             : (bottom - r.Top + 1 - th) / 2;
    if (FFont.FixTextColor()) {
        canvas.Brush.Style = forms::bsClear;
        canvas.TextOut(x, y, caption);
        canvas.Brush.Style = forms::bsSolid;
        return;
    }
    bool italic = FFont.Style & forms::fsItalic;
    int x2 = x + tw + (italic ? tw / 3 : 0), y2 = y + th;
    TBitmap mask(image.Width(), image.Height());
    ClearToBlack(mask);
    TCanvas& maskCanvas = mask.Canvas();
    maskCanvas.Font = FFont;
    maskCanvas.Font.Color = forms::clWhite;
    maskCanvas.Brush.Style = forms::bsClear;
    maskCanvas.TextRect(r, x, y, caption);
    canvas.BitBlt(0, 0, mask.Width(), mask.Height(), mask, 0, 0, forms::SRCINVERT);
    canvas.CopyMode = forms::SRCCOPY;
    RecolourCaption(image, Rect(x, y, x2, y2));
}

// Inverted caption pixels lying on one of the gauge's plain colours take the caption colour of
// that part; the split follows the fill edge of the last bar paint.
void TOrvGauge::RecolourCaption(TBitmap& image, const TRect& box) {
    TBitmap scratch;
    int x = box.Left, y = box.Top;
    TColor onFilled = FFont.ColorOnFilled(), onBack = FFont.ColorOnBackground();
    int x2 = box.Right, y2 = box.Bottom;
    if (IsBarKind() && RunningStrip) {
        ReplaceInBox(image, scratch, box, FForeColor, onFilled);
        ReplaceInBox(image, scratch, box, FBackColor, onBack);
    } else if (FKind == lgkHorizontalBar) {
        if (x > FFillExtent) {
            ReplaceInBox(image, scratch, box, FBackColor, onBack);
        } else if (FFillExtent > x2) {
            ReplaceInBox(image, scratch, box, FForeColor, onFilled);
        } else {
            ReplaceInBox(image, scratch, Rect(x, y, FFillExtent, y2), FForeColor, onFilled);
            ReplaceInBox(image, scratch, Rect(FFillExtent, y, x2, y2), FBackColor, onBack);
        }
    } else if (FKind == lgkVerticalBar) {
        int e = image.Height() - FFillExtent;
        if (e > y2) {
            ReplaceInBox(image, scratch, box, FBackColor, onBack);
        } else if (e < y) {
            ReplaceInBox(image, scratch, box, FForeColor, onFilled);
        } else {
            ReplaceInBox(image, scratch, Rect(x, e, x2, y2), FForeColor, onFilled);
            ReplaceInBox(image, scratch, Rect(x, y, x2, e + 1), FBackColor, onBack);
        }
    } else {
        ReplaceInBox(image, scratch, box, FForeColor, onFilled);
        if (FKind == lgkPie3D) ReplaceInBox(image, scratch, box, Pie3DColor, onFilled);
        ReplaceInBox(image, scratch, box, FBackColor, onBack);
    }
}

// In one box of the image, pixels of exactly the inverse of `under` become `text`.
void TOrvGauge::ReplaceInBox(TBitmap& image, TBitmap& scratch, const TRect& box, TColor under, TColor text) {
    if (box.IsEmpty()) return;
    scratch.SetSize(box.Width(), box.Height());
    TCanvas& copy = scratch.Canvas();
    copy.CopyMode = forms::SRCCOPY;
    copy.CopyRect(Rect(0, 0, box.Width(), box.Height()), image, box);
    TColor inverted = forms::ColorToRGB(under) ^ 0xFFFFFF;
    TCanvas& canvas = image.Canvas();
    canvas.Brush.Bitmap = nullptr;
    canvas.Brush.Style = forms::bsSolid;
    canvas.Brush.Color = text;
    canvas.BrushCopy(Rect(box.Left, box.Top, box.Right, box.Bottom), scratch, Rect(0, 0, box.Width(), box.Height()),
                     inverted);
}

}  // namespace controls
