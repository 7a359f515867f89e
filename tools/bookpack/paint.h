// Drawing helpers of the packer: colour arithmetic, gradients, and anti-aliased shapes drawn at four
// times the size into a coverage mask through the class library's canvas, then blended onto a bitmap.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/forms/bitmap.h"

namespace bookpack {

using forms::TBitmap;

// Pixels are 0x00RRGGBB, as the raster holds them.
uint32_t Mix(uint32_t from, uint32_t to, double t);
// Fills x..x+w-1, y..y+h-1 with a top-to-bottom gradient.
void FillGradient(TBitmap& b, int x, int y, int w, int h, uint32_t top, uint32_t bottom);
void FillSolid(TBitmap& b, int x, int y, int w, int h, uint32_t pixel);
// Fills every pixel with colourAt(x, y).
void FillWith(TBitmap& b, const std::function<uint32_t(int x, int y)>& colourAt);

struct TPointF {
    double X, Y;
};

// A coverage mask of a picture's size. Shapes take picture coordinates (fractions allowed);
// an erasing shape removes coverage.
class TShape {
public:
    TShape(int width, int height);
    // Coordinates and sizes given to later shapes are multiplied by these factors (a scene drawn
    // in design units fills a picture of another size).
    TShape& Scale(double sx, double sy);

    TShape& Polygon(const std::vector<TPointF>& points, bool erase = false);
    TShape& Ellipse(double cx, double cy, double rx, double ry, bool erase = false);
    TShape& Disc(double cx, double cy, double r, bool erase = false) { return Ellipse(cx, cy, r, r, erase); }
    TShape& Ring(double cx, double cy, double r, double width);
    TShape& Rect(double x, double y, double w, double h, bool erase = false);
    TShape& RoundRect(double x, double y, double w, double h, double radius, bool erase = false);
    // A stroke of the given width with round ends.
    TShape& Line(double x1, double y1, double x2, double y2, double width, bool erase = false);
    TShape& Polyline(const std::vector<TPointF>& points, double width);
    TShape& Star(double cx, double cy, double outer, double inner, int points = 5);
    // Text (cp1251) with its top-left corner at x, y; pixel height of the font.
    TShape& Text(double x, double y, const std::string& text, int pixelHeight, bool bold = false,
                 const std::string& family = "DejaVu Sans");
    // Width in picture pixels of a text as Text would draw it.
    int TextWidth(const std::string& text, int pixelHeight, bool bold = false,
                  const std::string& family = "DejaVu Sans");

    // Coverage 0..1 of a picture pixel.
    double Coverage(int x, int y) const;
    // Blends colour over target at offset (ox, oy), weighted by coverage and opacity.
    void Paint(TBitmap& target, uint32_t colour, int ox = 0, int oy = 0, double opacity = 1.0) const;
    void Paint(TBitmap& target, const std::function<uint32_t(int x, int y)>& colourAt, int ox = 0, int oy = 0,
               double opacity = 1.0) const;

    static constexpr int kScale = 4;

private:
    void Span(int y, double x1, double x2, bool erase);
    void Touch(int x1, int y1, int x2, int y2);  // mask rectangle that may hold coverage
    int FWidth, FHeight;
    int FLeft, FTop, FRight = -1, FBottom = -1;  // mask pixels touched so far (inclusive)
    double FScaleX = 1.0, FScaleY = 1.0;
    TBitmap FMask;
};

}  // namespace bookpack
