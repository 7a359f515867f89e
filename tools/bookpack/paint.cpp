#include "tools/bookpack/paint.h"

#include <algorithm>
#include <cmath>

#include "platform/forms/canvas.h"

namespace bookpack {

namespace {

constexpr uint32_t kOn = 0xFFFFFF;
constexpr uint32_t kOff = 0x000000;
constexpr double kPi = 3.14159265358979323846;

int Channel(uint32_t pixel, int shift) { return int((pixel >> shift) & 0xFF); }

}  // namespace

uint32_t Mix(uint32_t from, uint32_t to, double t) {
    t = std::clamp(t, 0.0, 1.0);
    uint32_t result = 0;
    for (int shift : {16, 8, 0}) {
        double c = Channel(from, shift) + (Channel(to, shift) - Channel(from, shift)) * t;
        result |= uint32_t(std::lround(c)) << shift;
    }
    return result;
}

void FillGradient(TBitmap& b, int x, int y, int w, int h, uint32_t top, uint32_t bottom) {
    for (int row = 0; row < h; ++row) {
        uint32_t pixel = Mix(top, bottom, h > 1 ? double(row) / (h - 1) : 0.0);
        for (int col = 0; col < w; ++col) b.SetPixel(x + col, y + row, pixel);
    }
}

void FillSolid(TBitmap& b, int x, int y, int w, int h, uint32_t pixel) { FillGradient(b, x, y, w, h, pixel, pixel); }

void FillWith(TBitmap& b, const std::function<uint32_t(int, int)>& colourAt) {
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) b.SetPixel(x, y, colourAt(x, y));
}

TShape::TShape(int width, int height)
    : FWidth(width), FHeight(height), FLeft(width * kScale), FTop(height * kScale),
      FMask(width * kScale, height * kScale) {
    std::fill(FMask.Data(), FMask.Data() + size_t(FMask.Width()) * size_t(FMask.Height()), kOff);
}

void TShape::Touch(int x1, int y1, int x2, int y2) {
    FLeft = std::max(0, std::min(FLeft, x1));
    FTop = std::max(0, std::min(FTop, y1));
    FRight = std::min(FMask.Width() - 1, std::max(FRight, x2));
    FBottom = std::min(FMask.Height() - 1, std::max(FBottom, y2));
}

TShape& TShape::Scale(double sx, double sy) {
    FScaleX = sx;
    FScaleY = sy;
    return *this;
}

void TShape::Span(int y, double x1, double x2, bool erase) {
    int from = std::max(0, int(std::ceil(x1 - 0.5)));
    int to = std::min(FMask.Width() - 1, int(std::floor(x2 - 0.5)));
    forms::TCanvas& canvas = FMask.Canvas();
    canvas.Brush.Color = forms::PixelToColor(erase ? kOff : kOn);
    canvas.Brush.Style = forms::bsSolid;
    if (from > to) return;
    canvas.FillRect(forms::Rect(from, y, to + 1, y + 1));
    if (!erase) Touch(from, y, to, y);
}

TShape& TShape::Polygon(const std::vector<TPointF>& points, bool erase) {
    if (points.size() < 3) return *this;
    for (int y = 0; y < FMask.Height(); ++y) {
        double sy = y + 0.5;
        std::vector<double> crossings;
        for (size_t i = 0; i < points.size(); ++i) {
            const TPointF& na = points[i];
            const TPointF& nb = points[(i + 1) % points.size()];
            TPointF a{na.X * FScaleX * kScale, na.Y * FScaleY * kScale};
            TPointF b{nb.X * FScaleX * kScale, nb.Y * FScaleY * kScale};
            if ((a.Y <= sy && b.Y > sy) || (b.Y <= sy && a.Y > sy))
                crossings.push_back(a.X + (sy - a.Y) * (b.X - a.X) / (b.Y - a.Y));
        }
        std::sort(crossings.begin(), crossings.end());
        for (size_t i = 0; i + 1 < crossings.size(); i += 2) Span(y, crossings[i], crossings[i + 1], erase);
    }
    return *this;
}

TShape& TShape::Ellipse(double cx, double cy, double rx, double ry, bool erase) {
    std::vector<TPointF> points;
    int steps = std::max(24, int((rx + ry) * 2));
    for (int i = 0; i < steps; ++i) {
        double a = 2 * kPi * i / steps;
        points.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
    }
    return Polygon(points, erase);
}

TShape& TShape::Ring(double cx, double cy, double r, double width) {
    Disc(cx, cy, r + width / 2);
    return Disc(cx, cy, r - width / 2, true);
}

TShape& TShape::Rect(double x, double y, double w, double h, bool erase) {
    return Polygon({{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}}, erase);
}

TShape& TShape::RoundRect(double x, double y, double w, double h, double radius, bool erase) {
    std::vector<TPointF> points;
    const TPointF centres[4] = {{x + w - radius, y + radius}, {x + w - radius, y + h - radius},
                                {x + radius, y + h - radius}, {x + radius, y + radius}};
    for (int corner = 0; corner < 4; ++corner)
        for (int i = 0; i <= 8; ++i) {
            double a = kPi / 2 * (corner - 1) + kPi / 2 * i / 8;
            points.push_back({centres[corner].X + radius * std::cos(a), centres[corner].Y + radius * std::sin(a)});
        }
    return Polygon(points, erase);
}

TShape& TShape::Line(double x1, double y1, double x2, double y2, double width, bool erase) {
    double dx = x2 - x1, dy = y2 - y1;
    double length = std::hypot(dx, dy);
    if (length > 0) {
        double nx = -dy / length * width / 2, ny = dx / length * width / 2;
        Polygon({{x1 + nx, y1 + ny}, {x2 + nx, y2 + ny}, {x2 - nx, y2 - ny}, {x1 - nx, y1 - ny}}, erase);
    }
    Disc(x1, y1, width / 2, erase);
    return Disc(x2, y2, width / 2, erase);
}

TShape& TShape::Polyline(const std::vector<TPointF>& points, double width) {
    for (size_t i = 0; i + 1 < points.size(); ++i) Line(points[i].X, points[i].Y, points[i + 1].X, points[i + 1].Y, width);
    return *this;
}

TShape& TShape::Star(double cx, double cy, double outer, double inner, int count) {
    std::vector<TPointF> points;
    for (int i = 0; i < count * 2; ++i) {
        double r = i % 2 == 0 ? outer : inner;
        double a = -kPi / 2 + kPi * i / count;
        points.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    return Polygon(points);
}

namespace {

void SetFont(forms::TCanvas& canvas, int pixelHeight, bool bold, const std::string& family) {
    canvas.Font.Name = family;
    canvas.Font.SetHeight(-pixelHeight * TShape::kScale);
    canvas.Font.Style = bold ? forms::TFontStyles(forms::fsBold) : forms::TFontStyles(0);
    canvas.Font.Color = forms::PixelToColor(kOn);
}

}  // namespace

TShape& TShape::Text(double x, double y, const std::string& text, int pixelHeight, bool bold,
                     const std::string& family) {
    forms::TCanvas& canvas = FMask.Canvas();
    SetFont(canvas, std::max(1, int(std::lround(pixelHeight * FScaleY))), bold, family);
    canvas.Brush.Style = forms::bsClear;
    const int left = int(std::lround(x * FScaleX * kScale)), top = int(std::lround(y * FScaleY * kScale));
    canvas.TextOut(left, top, text);
    canvas.Brush.Style = forms::bsSolid;
    const forms::TPoint extent = canvas.TextExtent(text);
    Touch(left - kScale, top - kScale, left + extent.X + kScale, top + extent.Y + kScale);
    return *this;
}

int TShape::TextWidth(const std::string& text, int pixelHeight, bool bold, const std::string& family) {
    forms::TCanvas& canvas = FMask.Canvas();
    SetFont(canvas, pixelHeight, bold, family);
    return (canvas.TextWidth(text) + kScale - 1) / kScale;
}

double TShape::Coverage(int x, int y) const {
    if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return 0.0;
    int sum = 0;
    for (int sy = 0; sy < kScale; ++sy) {
        const uint32_t* row = FMask.ScanLine(y * kScale + sy) + x * kScale;
        for (int sx = 0; sx < kScale; ++sx) sum += Channel(row[sx], 8);
    }
    return sum / (255.0 * kScale * kScale);
}

void TShape::Paint(TBitmap& target, uint32_t colour, int ox, int oy, double opacity) const {
    Paint(target, [colour](int, int) { return colour; }, ox, oy, opacity);
}

void TShape::Paint(TBitmap& target, const std::function<uint32_t(int, int)>& colourAt, int ox, int oy,
                   double opacity) const {
    for (int y = FTop / kScale; y <= FBottom / kScale; ++y)
        for (int x = FLeft / kScale; x <= FRight / kScale; ++x) {
            double c = Coverage(x, y) * opacity;
            if (c <= 0) continue;
            int tx = x + ox, ty = y + oy;
            if (tx < 0 || ty < 0 || tx >= target.Width() || ty >= target.Height()) continue;
            target.SetPixel(tx, ty, Mix(target.Pixel(tx, ty), colourAt(x, y), c));
        }
}

}  // namespace bookpack
