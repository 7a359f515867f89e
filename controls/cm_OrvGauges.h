// TOrvGauge: a progress gauge drawn as a horizontal or vertical bar, a flat pie or a pie standing
// on a stack of shadow pies; plain colours or picture textures, optional transparency, blocks,
// textured end caps and a caption drawn in two colours.
//
// The gauge is a graphic control: it paints into its form's raster. Everything it shows is its
// own drawing, so a native widget would only have to copy the same pixels; in the raster the
// drawing is exact, the picture behind a form is never covered by a widget background, and tests
// read every pixel without a display.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "controls/alignment.h"
#include "platform/forms/bitmap.h"
#include "platform/forms/control.h"
#include "platform/forms/font.h"
#include "platform/rtl/exceptions.h"

namespace controls {

// The class library's invalid-operation error (a property value that the object refuses).
class EInvalidOperation : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

enum TOrvGaugeKind { lgkHorizontalBar, lgkVerticalBar, lgkPie3D, lgkPie };
enum TOrvVerAlignment { taTop, taCentered, taBottom };
using TBorderStyle = forms::TFormBorderStyle;  // bsNone or bsSingle

// The gauge's font: the caption colours over the filled part and over the background.
class TGFont : public forms::TFont {
public:
    forms::TColor ColorOnFilled() const { return FColorOnFilled; }
    forms::TColor ColorOnBackground() const { return FColorOnBackground; }
    bool FixTextColor() const { return FFixTextColor; }
    void SetColorOnFilled(forms::TColor value);
    void SetColorOnBackground(forms::TColor value);
    void SetFixTextColor(bool value);  // True: one colour, the font's Color

    // Raised after a setter stored a new value (the owning gauge repaints).
    std::function<void()> OnChange;

private:
    void Changed();
    forms::TColor FColorOnFilled = forms::clWhite;
    forms::TColor FColorOnBackground = forms::clBlack;
    bool FFixTextColor = false;
};

// The bitmap class of the off-screen overlay.
class TBltBitmap : public forms::TBitmap {
public:
    using forms::TBitmap::TBitmap;
    void MakeLike(const forms::TBitmap& templ) { SetSize(templ.Width(), templ.Height()); }
};

// Whole percent of x within a range of z (0 for an empty range), truncated toward zero.
int PercentOfRange(int64_t x, int64_t z);
// x percent of z, truncated toward zero, computed in extended precision as the gauge always has
// (so 10 % of 100 gives 9).
int ScaleByPercent(int x, int z);

class TOrvGauge : public forms::TGraphicControl {
public:
    explicit TOrvGauge(forms::TComponent* owner);
    const char* ClassName() const override { return "TOrvGauge"; }

    forms::TColor BackColor() const { return FBackColor; }
    void SetBackColor(forms::TColor value);
    forms::TColor BorderColor() const { return FBorderColor; }
    void SetBorderColor(forms::TColor value);
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);
    forms::TColor ForeColor() const { return FForeColor; }
    void SetForeColor(forms::TColor value);
    // The gauge's own font (the inherited Font is never used for painting).
    const TGFont& GaugeFont() const { return FFont; }
    TGFont& GaugeFont() { return FFont; }
    void SetGaugeFont(const TGFont& font);
    bool Frame3D() const { return FFrame3D; }
    void SetFrame3D(bool value);  // the framed look: a sunken frame around the gauge
    TAlignment HorTextAlignment() const { return FHorTextAlignment; }
    void SetHorTextAlignment(TAlignment value);
    TOrvGaugeKind Kind() const { return FKind; }
    void SetKind(TOrvGaugeKind value);
    int MinValue() const { return FMinValue; }
    void SetMinValue(int value);
    int MaxValue() const { return FMaxValue; }
    void SetMaxValue(int value);
    int Progress() const { return FProgress; }
    void SetProgress(int value);
    bool ShowText() const { return FShowText; }
    void SetShowText(bool value);
    const std::string& Text() const { return FText; }
    void SetText(const std::string& value);  // a format taking the whole percent ("%d%%")
    const forms::TBitmap& TextureOnBack() const { return FTextureOnBack; }
    void SetTextureOnBack(const forms::TBitmap& value);
    const forms::TBitmap& TextureOnFore() const { return FTextureOnFore; }
    void SetTextureOnFore(const forms::TBitmap& value);
    bool TransparentFore() const { return FTransparentFore; }
    void SetTransparentFore(bool value);
    bool TransparentBack() const { return FTransparentBack; }
    void SetTransparentBack(bool value);
    TOrvVerAlignment VerTextAlignment() const { return FVerTextAlignment; }
    void SetVerTextAlignment(TOrvVerAlignment value);
    bool TextInCenterFore() const { return FTextInCenterFore; }
    void SetTextInCenterFore(bool value);

    // Stored only; they take effect at the next paint.
    bool ForeAsBlocks = false;
    int ForeBlockSize = 0;  // 0 = the fore texture's width (height on a vertical bar)
    int Pie3DHeight = 20;
    forms::TColor Pie3DColor = forms::clBlack;
    int Edge = 0;
    bool RunningStrip = false;
    int RuningStep = 1;

    int CurrentPercent() const;
    // The running strip moves on by RuningStep (each Progress change does it while the strip runs).
    void StepStrip();

    // Results of the last bar paint: the filled length and that length cut to whole blocks.
    int FillExtent() const { return FFillExtent; }
    int ShownExtent() const { return FShownExtent; }
    int StripOffset() const { return FStripOffset; }
    const forms::TBitmap& BackTile() const { return FBackTile; }
    const forms::TBitmap& ForeTile() const { return FForeTile; }

    void Paint(forms::TCanvas& canvas) override;
    bool SetProperty(const std::string& name, const forms::TPropValue& value, forms::TFormLoader& loader) override;
    void Loaded() override;

private:
    void Changed();  // repaints
    bool IsBarKind() const { return FKind == lgkHorizontalBar || FKind == lgkVerticalBar; }
    bool HasFrame() const;
    void RebuildBackTile();
    void RebuildForeTile(const forms::TBitmap& source);
    void SetBackgroundBrush(forms::TCanvas& canvas) const;
    void SetForeBrush(forms::TCanvas& canvas, bool transparentTile) const;
    void BuildEdgeBitmap(bool vertical);
    void DrawBar(forms::TCanvas& canvas, const forms::TRect& r);
    void DrawHorizontalBar(forms::TCanvas& canvas, const forms::TRect& r);
    void DrawVerticalBar(forms::TCanvas& canvas, const forms::TRect& r);
    int CutToBlocks(int extent, int full, int textureLength) const;
    void DrawRunningStrip(forms::TCanvas& canvas, const forms::TRect& r);
    void DrawPie(forms::TCanvas& canvas, const forms::TRect& r);
    int ShadowHeight(const forms::TRect& r) const;
    void DrawCaption(forms::TBitmap& image, const forms::TRect& r);
    void RecolourCaption(forms::TBitmap& image, const forms::TRect& box);
    void ReplaceInBox(forms::TBitmap& image, forms::TBitmap& scratch, const forms::TRect& box, forms::TColor under,
                      forms::TColor text);
    bool SetEnumProperty(const std::string& name, const forms::TPropValue& value, forms::TFormLoader& loader);
    bool SetFontProperty(const std::string& name, const forms::TPropValue& value, forms::TFormLoader& loader);

    forms::TColor FBackColor = 0xFFFFFF;
    forms::TColor FBorderColor = forms::clBlack;
    TBorderStyle FBorderStyle = forms::bsSingle;
    forms::TColor FForeColor = forms::clNavy;
    TGFont FFont;
    bool FFrame3D = true;
    TAlignment FHorTextAlignment = taCenter;
    TOrvGaugeKind FKind = lgkHorizontalBar;
    int FMinValue = 0;
    int FMaxValue = 100;
    int FProgress = 0;
    bool FShowText = true;
    std::string FText = "%d%%";
    forms::TBitmap FTextureOnBack;
    forms::TBitmap FTextureOnFore;
    bool FTransparentFore = false;
    bool FTransparentBack = false;
    bool FTextInCenterFore = false;
    TOrvVerAlignment FVerTextAlignment = taCentered;

    forms::TBitmap FBackTile;
    forms::TBitmap FForeTile;
    forms::TBitmap FEdgeBitmap;
    int FFillExtent = 0;
    int FShownExtent = 0;
    int FStripOffset = 0;
    bool FLoading = false;  // between the first description property and Loaded
};

}  // namespace controls
