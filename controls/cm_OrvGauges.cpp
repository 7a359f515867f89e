// TOrvGauge: construction, properties, range rules and the work tiles.
#include "controls/cm_OrvGauges.h"

#include <climits>

#include "platform/forms/canvas.h"
#include "platform/rtl/format.h"

namespace controls {

using forms::TBitmap;
using forms::TCanvas;
using forms::TColor;

// ---- TGFont ----

void TGFont::Changed() {
    if (OnChange) OnChange();
}

void TGFont::SetColorOnFilled(TColor value) {
    if (value == FColorOnFilled) return;
    FColorOnFilled = value;
    Changed();
}

void TGFont::SetColorOnBackground(TColor value) {
    if (value == FColorOnBackground) return;
    FColorOnBackground = value;
    Changed();
}

void TGFont::SetFixTextColor(bool value) {
    if (value == FFixTextColor) return;
    FFixTextColor = value;
    Changed();
}

// ---- percent arithmetic ----

int PercentOfRange(int64_t x, int64_t z) {
    if (z == 0) return 0;
    return int(double(x) * 100.0 / double(z));
}

namespace {

using u128 = unsigned __int128;

// A magnitude rounded to a 64-bit mantissa, nearest with ties to even, as the x87 unit rounds
// every extended-precision result: value = mantissa * 2^exponent.
struct Extended {
    u128 mantissa;
    int exponent;
};

Extended RoundToExtended(u128 value, int exponent) {
    int bits = 0;
    for (u128 v = value; v != 0; v >>= 1) ++bits;
    if (bits <= 64) return {value, exponent};
    int shift = bits - 64;
    u128 kept = value >> shift;
    u128 rest = value - (kept << shift);
    u128 half = u128(1) << (shift - 1);
    if (rest > half || (rest == half && (kept & 1))) ++kept;
    return {kept, exponent + shift};  // a carry to 2^64 is still exact
}

// 0.01 in the extended format: 0xA3D70A3D70A3D70A * 2^-70.
constexpr uint64_t kHundredthMantissa = 0xA3D70A3D70A3D70AULL;
constexpr int kHundredthExponent = -70;

}  // namespace

int ScaleByPercent(int x, int z) {
    // The gauge has always taken x * 0.01 * z in extended precision, each product rounded to a
    // 64-bit mantissa, then truncated; that rounding is why 10 % of 100 comes out as 9, and the
    // bar lengths depend on it. Emulated in integers, so every machine draws the same bars.
    if (x == 0 || z == 0) return 0;
    bool negative = (x < 0) != (z < 0);
    u128 ax = x < 0 ? unsigned(-(int64_t(x))) : unsigned(x);
    u128 az = z < 0 ? unsigned(-(int64_t(z))) : unsigned(z);
    Extended first = RoundToExtended(ax * kHundredthMantissa, kHundredthExponent);
    Extended product = RoundToExtended(first.mantissa * az, first.exponent);
    u128 whole;
    if (product.exponent >= 0) whole = product.exponent >= 64 ? ~u128(0) : product.mantissa << product.exponent;
    else whole = -product.exponent >= 128 ? 0 : product.mantissa >> -product.exponent;
    if (whole > u128(INT_MAX)) return negative ? -INT_MAX : INT_MAX;
    return negative ? -int(whole) : int(whole);
}

// ---- TOrvGauge ----

TOrvGauge::TOrvGauge(forms::TComponent* owner) : forms::TGraphicControl(owner) {
    FWidth = 150;
    FHeight = 20;
    FFont.Color = forms::clBlack;
    FFont.OnChange = [this] { Changed(); };
    FControlStyle |= forms::csFramed | forms::csOpaque;
}

void TOrvGauge::Changed() { Repaint(); }

int TOrvGauge::CurrentPercent() const {
    return PercentOfRange(int64_t(FProgress) - FMinValue, int64_t(FMaxValue) - FMinValue);
}

void TOrvGauge::SetBackColor(TColor value) {
    if (value == FBackColor) return;
    FBackColor = value;
    RebuildBackTile();
    Changed();
}

void TOrvGauge::SetBorderColor(TColor value) {
    if (value == FBorderColor) return;
    FBorderColor = value;
    Changed();
}

void TOrvGauge::SetBorderStyle(TBorderStyle value) {
    if (value == FBorderStyle) return;
    FBorderStyle = value;
    Changed();
}

void TOrvGauge::SetForeColor(TColor value) {
    if (value == FForeColor) return;
    FForeColor = value;
    Changed();
}

void TOrvGauge::SetGaugeFont(const TGFont& font) {
    if (&font == &FFont) return;
    auto notify = std::move(FFont.OnChange);
    FFont = font;
    FFont.OnChange = std::move(notify);
    Changed();
}

void TOrvGauge::SetFrame3D(bool value) {
    if (value == FFrame3D) return;
    FFrame3D = value;
    SetControlStyle(value ? FControlStyle | forms::csFramed : FControlStyle & ~forms::csFramed);
    Changed();
}

void TOrvGauge::SetHorTextAlignment(TAlignment value) {
    if (value == FHorTextAlignment) return;
    FHorTextAlignment = value;
    Changed();
}

void TOrvGauge::SetKind(TOrvGaugeKind value) {
    if (value == FKind) return;
    FKind = value;
    Changed();
}

void TOrvGauge::SetMinValue(int value) {
    if (value == FMinValue) return;
    if (value > FMaxValue && !FLoading)
        throw EInvalidOperation(rtl::Format("Value must be between %d and %d", {-INT_MAX, int64_t(FMaxValue) - 1}));
    FMinValue = value;
    if (FProgress < value) FProgress = value;
    Changed();
}

void TOrvGauge::SetMaxValue(int value) {
    if (value == FMaxValue) return;
    if (value < FMinValue && !FLoading)
        throw EInvalidOperation(rtl::Format("Value must be between %d and %d", {int64_t(FMinValue) + 1, INT_MAX}));
    FMaxValue = value;
    if (FProgress > value) FProgress = value;
    Changed();
}

void TOrvGauge::SetProgress(int value) {
    // A description may leave Min above Max until both are read; the clamp keeps Min then.
    if (value > FMaxValue) value = FMaxValue;
    if (value < FMinValue) value = FMinValue;
    if (value == FProgress) return;
    int before = CurrentPercent();
    FProgress = value;
    if (RunningStrip) {
        StepStrip();
        return;
    }
    if (CurrentPercent() != before) Changed();
}

void TOrvGauge::StepStrip() {
    if (RuningStep < 1) return;
    FStripOffset = FStripOffset > INT_MAX - RuningStep ? 0 : FStripOffset + RuningStep;
    Changed();
}

void TOrvGauge::SetShowText(bool value) {
    if (value == FShowText) return;
    FShowText = value;
    Changed();
}

void TOrvGauge::SetText(const std::string& value) {
    if (value == FText) return;
    FText = value;
    Changed();
}

void TOrvGauge::SetTextureOnBack(const TBitmap& value) {
    FTextureOnBack = value;
    if (FTransparentBack) RebuildBackTile();
    Changed();
}

void TOrvGauge::SetTextureOnFore(const TBitmap& value) {
    FTextureOnFore = value;
    if (FTransparentFore) RebuildForeTile(FTextureOnFore);
    Changed();
}

void TOrvGauge::SetTransparentFore(bool value) {
    if (value == FTransparentFore) return;
    FTransparentFore = value;
    if (value) RebuildForeTile(FTextureOnFore);
    Changed();
}

void TOrvGauge::SetTransparentBack(bool value) {
    if (value == FTransparentBack) return;
    FTransparentBack = value;
    if (value) RebuildBackTile();
    RebuildForeTile(FTextureOnFore);
    Changed();
}

void TOrvGauge::SetVerTextAlignment(TOrvVerAlignment value) {
    if (value == FVerTextAlignment) return;
    FVerTextAlignment = value;
    Changed();
}

void TOrvGauge::SetTextInCenterFore(bool value) {
    if (value == FTextInCenterFore) return;
    FTextInCenterFore = value;
    Changed();
}

// ---- work tiles ----

void TOrvGauge::SetBackgroundBrush(TCanvas& canvas) const {
    canvas.Brush.Style = forms::bsSolid;
    canvas.Brush.Bitmap = nullptr;
    canvas.Brush.Color = FBackColor;
    if (FTextureOnBack.Empty()) return;
    canvas.Brush.Bitmap = FTransparentBack ? &FBackTile : &FTextureOnBack;
}

void TOrvGauge::SetForeBrush(TCanvas& canvas, bool transparentTile) const {
    canvas.Brush.Style = forms::bsSolid;
    canvas.Brush.Color = FForeColor;
    canvas.Brush.Bitmap = FTextureOnFore.Empty() ? nullptr : transparentTile ? &FForeTile : &FTextureOnFore;
}

// Draws a copy of source with its automatic transparent colour (its bottom-left pixel).
static void DrawWithAutoTransparency(TCanvas& canvas, int x, int y, const TBitmap& source) {
    TBitmap keyed(source);
    keyed.Transparent = true;
    keyed.TransparentAuto = true;
    canvas.Draw(x, y, keyed);
}

void TOrvGauge::RebuildBackTile() {
    if (FTextureOnBack.Empty()) return;
    FBackTile.SetSize(FTextureOnBack.Width(), FTextureOnBack.Height());
    TCanvas canvas(FBackTile);
    canvas.Brush.Color = FBackColor;
    canvas.FillRect(forms::Rect(0, 0, FBackTile.Width(), FBackTile.Height()));
    DrawWithAutoTransparency(canvas, 0, 0, FTextureOnBack);
}

void TOrvGauge::RebuildForeTile(const TBitmap& source) {
    if (source.Empty()) return;
    TBitmap tile(source.Width(), source.Height());
    TCanvas canvas(tile);
    SetBackgroundBrush(canvas);
    canvas.FillRect(forms::Rect(0, 0, tile.Width(), tile.Height()));
    DrawWithAutoTransparency(canvas, 0, 0, source);
    FForeTile = std::move(tile);
}

}  // namespace controls
