// The gauge's caption: the format, the two colours split at the fill edge, one fixed colour,
// centring on the fill, italic widening, and a format that does not fit.
#include <gtest/gtest.h>

#include "controls/cm_OrvGauges.h"
#include "gauge_util.h"
#include "platform/rtl/exceptions.h"

using namespace controls;
using namespace gaugetest;
using forms::Rect;
using forms::TBitmap;

namespace {

constexpr forms::TColor kFore = forms::clNavy;    // inverted: 0x7FFFFF
constexpr forms::TColor kBack = forms::clYellow;  // inverted: clBlue
constexpr forms::TColor kOnFilled = forms::clLime;
constexpr forms::TColor kOnBack = forms::clRed;

uint32_t Inverted(forms::TColor c) { return Px(c) ^ 0xFFFFFF; }

class Caption : public ::testing::Test {
protected:
    TOrvGauge gauge{nullptr};
    void SetUp() override {
        gauge.SetBounds(0, 0, 200, 30);
        gauge.SetBorderStyle(forms::bsNone);
        gauge.SetForeColor(kFore);
        gauge.SetBackColor(kBack);
        TGFont font = gauge.GaugeFont();
        font.SetHeight(-16);
        font.Style = forms::fsBold;
        font.SetColorOnFilled(kOnFilled);
        font.SetColorOnBackground(kOnBack);
        gauge.SetGaugeFont(font);
    }
    TBitmap WithoutText() {
        gauge.SetShowText(false);
        TBitmap b = Render(gauge);
        gauge.SetShowText(true);
        return b;
    }
    // The caption's text box as the gauge places it (centred both ways, no border).
    forms::TRect TextBox(const std::string& caption) {
        TBitmap probe(1, 1);
        probe.Canvas().Font = gauge.GaugeFont();
        int tw = probe.Canvas().TextWidth(caption), th = probe.Canvas().TextHeight(caption);
        int x = (201 - tw) / 2, y = (31 - th) / 2;
        return Rect(x, y, x + tw, y + th);
    }
};

bool SamePixels(const TBitmap& a, const TBitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.Pixel(x, y) != b.Pixel(x, y)) return false;
    return true;
}

}  // namespace

TEST_F(Caption, TwoColoursSplitAtTheFillEdge) {
    gauge.SetProgress(50);  // fill edge at x = 100, through the middle of "50%"
    TBitmap b = Render(gauge);
    forms::TRect box = TextBox("50%");
    ASSERT_LT(box.Left, 100);
    ASSERT_GT(box.Right, 100);
    forms::TRect left = Rect(0, 0, 100, 30), right = Rect(100, 0, 200, 30);
    EXPECT_GT(CountPixels(b, Px(kOnFilled), left), 10);
    EXPECT_EQ(CountPixels(b, Px(kOnFilled), right), 0);
    EXPECT_GT(CountPixels(b, Px(kOnBack), right), 10);
    EXPECT_EQ(CountPixels(b, Px(kOnBack), left), 0);
    EXPECT_EQ(CountPixels(b, Inverted(kFore), left), 0);
    EXPECT_EQ(CountPixels(b, Inverted(kBack), right), 0);
    // Outside the text box the bar is untouched.
    TBitmap plain = WithoutText();
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 200; ++x) {
            if (box.Contains(x, y)) continue;
            ASSERT_EQ(b.Pixel(x, y), plain.Pixel(x, y)) << x << "," << y;
        }
}

TEST_F(Caption, WhollyOnOnePartUsesThatPartsColour) {
    gauge.SetProgress(100);
    TBitmap b = Render(gauge);
    EXPECT_GT(CountPixels(b, Px(kOnFilled), Rect(0, 0, 200, 30)), 10);
    EXPECT_EQ(CountPixels(b, Px(kOnBack), Rect(0, 0, 200, 30)), 0);
    gauge.SetProgress(0);
    b = Render(gauge);
    EXPECT_GT(CountPixels(b, Px(kOnBack), Rect(0, 0, 200, 30)), 10);
    EXPECT_EQ(CountPixels(b, Px(kOnFilled), Rect(0, 0, 200, 30)), 0);
}

TEST_F(Caption, FixedColourWritesInTheFontColour) {
    TGFont font = gauge.GaugeFont();
    font.Color = forms::clFuchsia;
    font.SetFixTextColor(true);
    gauge.SetGaugeFont(font);
    gauge.SetProgress(50);
    TBitmap b = Render(gauge);
    EXPECT_GT(CountPixels(b, Px(forms::clFuchsia), Rect(0, 0, 200, 30)), 10);
    EXPECT_EQ(CountPixels(b, Px(kOnFilled), Rect(0, 0, 200, 30)), 0);
    EXPECT_EQ(CountPixels(b, Px(kOnBack), Rect(0, 0, 200, 30)), 0);
}

TEST_F(Caption, EmptyTextDrawsNothingWhateverTheAlignment) {
    gauge.SetProgress(50);
    TBitmap plain = WithoutText();
    gauge.SetText("");
    for (auto h : {taLeftJustify, taRightJustify, taCenter})
        for (auto v : {taTop, taCentered, taBottom}) {
            gauge.SetHorTextAlignment(h);
            gauge.SetVerTextAlignment(v);
            EXPECT_TRUE(SamePixels(Render(gauge), plain));
        }
}

TEST_F(Caption, CentredOnTheFillOnlyWhenItFits) {
    gauge.SetTextInCenterFore(true);
    gauge.SetProgress(5);  // 10 pixels: narrower than the caption
    TBitmap plain = WithoutText();
    EXPECT_TRUE(SamePixels(Render(gauge), plain));
    gauge.SetProgress(60);  // 120 pixels: the caption sits in the middle of the fill
    TBitmap b = Render(gauge);
    EXPECT_GT(CountPixels(b, Px(kOnFilled), Rect(0, 0, 120, 30)), 10);
    EXPECT_EQ(CountPixels(b, Px(kOnBack), Rect(0, 0, 200, 30)), 0);
    EXPECT_EQ(CountPixels(b, Px(kOnFilled), Rect(120, 0, 200, 30)), 0);
}

TEST_F(Caption, ItalicCaptionIsRecolouredWhole) {
    TGFont font = gauge.GaugeFont();
    font.Style = forms::fsItalic | forms::fsBold;
    gauge.SetGaugeFont(font);
    gauge.SetText("%d WWW");
    gauge.SetProgress(0);
    TBitmap b = Render(gauge);
    EXPECT_GT(CountPixels(b, Px(kOnBack), Rect(0, 0, 200, 30)), 10);
    EXPECT_EQ(CountPixels(b, Inverted(kBack), Rect(0, 0, 200, 30)), 0);
}

TEST_F(Caption, VerticalBarSplitsAtTheFillTop) {
    gauge.SetBounds(0, 0, 40, 100);
    gauge.SetKind(lgkVerticalBar);
    gauge.SetProgress(50);  // H1 = 101, fill 50 pixels: rows 51..99
    TBitmap b = Render(gauge);
    EXPECT_GT(CountPixels(b, Px(kOnFilled), Rect(0, 51, 40, 100)), 5);
    EXPECT_GT(CountPixels(b, Px(kOnBack), Rect(0, 0, 40, 51)), 5);
    EXPECT_EQ(CountPixels(b, Px(kOnBack), Rect(0, 52, 40, 100)), 0);
    EXPECT_EQ(CountPixels(b, Inverted(kFore), Rect(0, 51, 40, 100)), 0);
}

TEST_F(Caption, PieCaptionTakesBothColours) {
    gauge.SetBounds(0, 0, 80, 80);
    gauge.SetKind(lgkPie);
    gauge.SetProgress(50);  // right half filled; the centred caption straddles the edge
    TBitmap b = Render(gauge);
    EXPECT_GT(CountPixels(b, Px(kOnFilled), Rect(40, 0, 80, 80)), 5);
    EXPECT_GT(CountPixels(b, Px(kOnBack), Rect(0, 0, 40, 80)), 5);
    EXPECT_EQ(CountPixels(b, Inverted(kFore), Rect(0, 0, 80, 80)), 0);
    EXPECT_EQ(CountPixels(b, Inverted(kBack), Rect(0, 0, 80, 80)), 0);
}

TEST_F(Caption, AFormatThatDoesNotFitRaisesFromThePaint) {
    gauge.SetText("%s");
    EXPECT_THROW(Render(gauge), rtl::EConvertError);
    gauge.SetText("%d %d");
    EXPECT_THROW(Render(gauge), rtl::EConvertError);
}
