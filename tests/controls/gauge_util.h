// Helpers of the gauge tests: rendering a gauge into a bitmap and building textures.
#pragma once

#include <cstdint>
#include <functional>

#include "controls/cm_OrvGauges.h"
#include "platform/forms/bitmap.h"
#include "platform/forms/canvas.h"

namespace gaugetest {

// What lay under the gauge before it painted (never one of the colours the tests use).
constexpr uint32_t kUnder = 0x123456;

inline uint32_t Px(forms::TColor color) { return forms::ColorToPixel(color); }

inline forms::TBitmap Render(controls::TOrvGauge& gauge) {
    forms::TBitmap target(gauge.Width(), gauge.Height());
    for (int y = 0; y < target.Height(); ++y)
        for (int x = 0; x < target.Width(); ++x) target.SetPixel(x, y, kUnder);
    forms::TCanvas canvas(target);
    gauge.Paint(canvas);
    return target;
}

inline forms::TBitmap Texture(int w, int h, const std::function<uint32_t(int, int)>& pixel) {
    forms::TBitmap bitmap(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) bitmap.SetPixel(x, y, pixel(x, y));
    return bitmap;
}

inline int CountPixels(const forms::TBitmap& b, uint32_t pixel, const forms::TRect& area) {
    int n = 0;
    for (int y = area.Top; y < area.Bottom; ++y)
        for (int x = area.Left; x < area.Right; ++x) n += b.Pixel(x, y) == pixel;
    return n;
}

}  // namespace gaugetest
