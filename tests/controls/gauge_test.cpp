// The progress gauge: percent arithmetic, range rules, and the exact pixels of bars (plain,
// textured, in blocks, with end caps, running strip), flat pies and 3D pies.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>

#include "controls/cm_OrvGauges.h"
#include "gauge_util.h"
#include "platform/forms/application.h"
#include "platform/forms/form.h"
#include "platform/headless/headless.h"

using namespace controls;
using namespace gaugetest;
using forms::TBitmap;

namespace {

constexpr forms::TColor kFore = forms::clNavy;
constexpr forms::TColor kBack = forms::clYellow;

// A gauge with plain colours and no caption.
struct PlainGauge : public ::testing::Test {
    TOrvGauge gauge{nullptr};
    void SetUp() override {
        gauge.SetShowText(false);
        gauge.SetForeColor(kFore);
        gauge.SetBackColor(kBack);
        gauge.SetBorderStyle(forms::bsNone);
    }
    void Size(int w, int h) { gauge.SetBounds(0, 0, w, h); }
};

// Every pixel of row y from x0 to x1 (exclusive) is `pixel`.
void ExpectRow(const TBitmap& b, int y, int x0, int x1, uint32_t pixel) {
    for (int x = x0; x < x1; ++x) ASSERT_EQ(b.Pixel(x, y), pixel) << "at " << x << "," << y;
}

}  // namespace

TEST(GaugeArithmetic, ScaleByPercentTruncatesInExtendedPrecision) {
    EXPECT_EQ(ScaleByPercent(10, 100), 9);
    EXPECT_EQ(ScaleByPercent(50, 373), 186);
    for (int z : {1, 9, 99, 100, 373, 1000, 65535}) EXPECT_EQ(ScaleByPercent(100, z), z) << z;
    EXPECT_EQ(ScaleByPercent(0, 373), 0);
    EXPECT_EQ(ScaleByPercent(50, -1), 0);
}

#if defined(__x86_64__) || defined(__i386__)
// On x87 hardware the extended format itself is the reference.
long double HardwareScale(int x, int z) {
    volatile long double hundredth = 0.01L;
    long double scaled = static_cast<long double>(x) * hundredth;
    return scaled * static_cast<long double>(z);
}

TEST(GaugeArithmetic, ScaleByPercentMatchesTheExtendedFormat) {
    for (int x = -101; x <= 101; ++x)
        for (int z = -1000; z <= 2000; ++z) ASSERT_EQ(ScaleByPercent(x, z), int(HardwareScale(x, z))) << x << " " << z;
    for (int x : {1, 3, 7, 33, 99, 1000, 123456, INT_MAX, INT_MIN + 1})
        for (int z : {65537, 1 << 20, 99999989, INT_MAX / 1000}) {
            if (std::abs(HardwareScale(x, z)) >= INT_MAX) continue;
            ASSERT_EQ(ScaleByPercent(x, z), int(HardwareScale(x, z))) << x << " " << z;
        }
    EXPECT_EQ(ScaleByPercent(INT_MAX, INT_MAX), INT_MAX);  // clamped, not undefined
    EXPECT_EQ(ScaleByPercent(INT_MIN, INT_MAX), -INT_MAX);
}
#endif

TEST(GaugeArithmetic, PercentOfRangeHasNoDivisionByZero) {
    EXPECT_EQ(PercentOfRange(5, 0), 0);
    EXPECT_EQ(PercentOfRange(1, 3), 33);
    EXPECT_EQ(PercentOfRange(2, 3), 66);
    EXPECT_EQ(PercentOfRange(-1, 3), -33);
}

TEST(GaugeRange, DefaultsAndClamping) {
    TOrvGauge g(nullptr);
    EXPECT_EQ(g.Width(), 150);
    EXPECT_EQ(g.Height(), 20);
    EXPECT_EQ(g.Text(), "%d%%");
    EXPECT_EQ(g.Kind(), lgkHorizontalBar);
    EXPECT_EQ(g.BorderStyle(), forms::bsSingle);
    g.SetProgress(500);
    EXPECT_EQ(g.Progress(), 100);
    g.SetProgress(-5);
    EXPECT_EQ(g.Progress(), 0);
    g.SetProgress(80);
    g.SetMaxValue(60);
    EXPECT_EQ(g.Progress(), 60);
    g.SetMinValue(10);
    g.SetProgress(0);
    EXPECT_EQ(g.Progress(), 10);
    g.SetMinValue(50);
    EXPECT_EQ(g.Progress(), 50);
}

TEST(GaugeRange, EmptyRangeGivesZeroPercent) {
    TOrvGauge g(nullptr);
    g.SetMaxValue(0);
    g.SetProgress(7);
    EXPECT_EQ(g.Progress(), 0);
    EXPECT_EQ(g.CurrentPercent(), 0);
}

TEST(GaugeRange, FullIntegerRangeDoesNotOverflow) {
    TOrvGauge g(nullptr);
    g.SetMinValue(INT_MIN);
    g.SetMaxValue(INT_MAX);
    g.SetProgress(0);
    EXPECT_EQ(g.CurrentPercent(), 50);
    g.SetProgress(INT_MAX);
    EXPECT_EQ(g.CurrentPercent(), 100);
}

TEST(GaugeRange, CrossingBoundsRaisesAndKeepsValues) {
    TOrvGauge g(nullptr);
    try {
        g.SetMinValue(150);
        FAIL() << "no exception";
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(e.Message(), "Value must be between -2147483647 and 99");
    }
    EXPECT_EQ(g.MinValue(), 0);
    try {
        g.SetMaxValue(-5);
        FAIL() << "no exception";
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(e.Message(), "Value must be between 1 and 2147483647");
    }
    EXPECT_EQ(g.MaxValue(), 100);
    g.SetMaxValue(0);  // equal bounds are allowed
    EXPECT_EQ(g.MaxValue(), 0);
}

// A change paints the raster at once, and only when the whole percent changes.
TEST(GaugeRepaint, AtOnceAndOnlyWhenTheWholePercentChanges) {
    headless::TScopedHeadless backend;
    auto* form = new forms::TForm(&forms::Application());
    form->SetBounds(0, 0, 200, 50);
    auto* g = new TOrvGauge(form);
    g->SetParent(form);
    g->SetBounds(10, 10, 100, 20);
    g->SetMaxValue(1000);
    form->Show();
    form->Raster();
    int invalidated = backend->WindowOf(*form)->InvalidateCount;
    g->SetProgress(5);  // still 0 %
    EXPECT_EQ(backend->WindowOf(*form)->InvalidateCount, invalidated);
    g->SetProgress(10);  // 1 %
    EXPECT_GT(backend->WindowOf(*form)->InvalidateCount, invalidated);
    EXPECT_FALSE(form->NeedsRepaint());
}

// Frame3D: a sunken frame around the gauge (shadow above and left, highlight right and below),
// gone at once when switched off.
TEST(GaugeRepaint, Frame3DFramesTheGauge) {
    headless::TScopedHeadless backend;
    auto* form = new forms::TForm(&forms::Application());
    form->SetBounds(0, 0, 200, 50);
    form->SetColor(forms::clRed);
    auto* g = new TOrvGauge(form);
    g->SetParent(form);
    g->SetBounds(10, 10, 100, 20);
    form->Show();
    form->Raster();
    EXPECT_TRUE(g->ControlStyle() & forms::csOpaque);
    const uint32_t shadow = Px(forms::clBtnShadow), light = Px(forms::clBtnHighlight), red = Px(forms::clRed);
    struct Probe {
        int x, y;
        uint32_t framed;
    };
    const Probe probes[] = {{9, 9, shadow}, {50, 9, shadow}, {9, 29, shadow}, {110, 10, light},
                            {110, 30, light}, {50, 30, light}, {110, 9, red}, {9, 30, red}};
    for (bool frame : {true, false, true}) {
        g->SetFrame3D(frame);
        EXPECT_FALSE(form->NeedsRepaint());
        for (const Probe& p : probes)
            EXPECT_EQ(form->Raster().Pixel(p.x, p.y), frame ? p.framed : red) << p.x << "," << p.y << " " << frame;
    }
}

// ---- horizontal bars ----

TEST_F(PlainGauge, HorizontalBarTruncatesTheFill) {
    Size(99, 10);  // W1 = 100
    gauge.SetProgress(10);
    TBitmap b = Render(gauge);
    EXPECT_EQ(gauge.FillExtent(), 9);
    for (int y = 0; y < 10; ++y) {
        ExpectRow(b, y, 0, 9, Px(kFore));
        ExpectRow(b, y, 9, 99, Px(kBack));
    }
    gauge.SetProgress(100);
    b = Render(gauge);
    EXPECT_EQ(gauge.FillExtent(), 100);
    for (int y = 0; y < 10; ++y) ExpectRow(b, y, 0, 99, Px(kFore));
}

TEST_F(PlainGauge, SingleBorderFramesTheBar) {
    gauge.SetBorderStyle(forms::bsSingle);
    gauge.SetBorderColor(forms::clRed);
    Size(100, 20);
    gauge.SetProgress(50);
    TBitmap b = Render(gauge);
    EXPECT_EQ(gauge.FillExtent(), 49);
    ExpectRow(b, 0, 0, 100, Px(forms::clRed));
    ExpectRow(b, 19, 0, 100, Px(forms::clRed));
    for (int y = 1; y < 19; ++y) {
        EXPECT_EQ(b.Pixel(0, y), Px(forms::clRed));
        ExpectRow(b, y, 1, 49, Px(kFore));
        ExpectRow(b, y, 49, 99, Px(kBack));
        EXPECT_EQ(b.Pixel(99, y), Px(forms::clRed));
    }
}

TEST_F(PlainGauge, EmptyRangeShowsOnlyTheBackground) {
    Size(50, 8);
    gauge.SetMaxValue(0);
    TBitmap b = Render(gauge);
    EXPECT_EQ(CountPixels(b, Px(kBack), forms::Rect(0, 0, 50, 8)), 400);
}

namespace {

// 8 x 9 texture: column 0 is the transparent colour (the bottom-left pixel), the rest a checker.
constexpr uint32_t kKey = 0xFF00FF, kDark = 0x0000AA, kLight = 0x00AA00;
TBitmap BlockTexture() {
    return Texture(8, 9, [](int x, int y) { return x == 0 ? kKey : (x + y) % 2 ? kDark : kLight; });
}

}  // namespace

// The update dialog's bar: 372 x 9, 8 x 9 texture, transparent fore and back, 8-pixel blocks.
TEST_F(PlainGauge, TexturedBarGrowsInWholeBlocks) {
    Size(372, 9);
    gauge.SetTextureOnFore(BlockTexture());
    gauge.SetTransparentFore(true);
    gauge.SetTransparentBack(true);
    gauge.ForeAsBlocks = true;
    gauge.ForeBlockSize = 8;
    gauge.Pie3DHeight = 0;
    gauge.RuningStep = 0;
    struct Case {
        int progress, fill, shown;
    };
    for (Case c : {Case{50, 186, 184}, Case{99, 369, 368}, Case{1, 3, 0}, Case{100, 373, 373}}) {
        gauge.SetProgress(c.progress);
        TBitmap b = Render(gauge);
        EXPECT_EQ(gauge.FillExtent(), c.fill) << c.progress;
        EXPECT_EQ(gauge.ShownExtent(), c.shown) << c.progress;
        for (int y = 0; y < 9; ++y) {
            for (int x = 0; x < 372; ++x) {
                uint32_t expected = x >= c.shown ? Px(kBack) : x % 8 == 0 ? Px(kBack) : (x + y) % 2 ? kDark : kLight;
                ASSERT_EQ(b.Pixel(x, y), expected) << "progress " << c.progress << " at " << x << "," << y;
            }
        }
    }
}

TEST_F(PlainGauge, ForeTileKeepsTheBackColourItWasBuiltWith) {
    Size(40, 9);
    gauge.SetTextureOnFore(BlockTexture());
    gauge.SetTransparentFore(true);
    gauge.SetBackColor(forms::clWhite);  // rebuilds the back tile only
    gauge.SetProgress(100);
    TBitmap b = Render(gauge);
    EXPECT_EQ(b.Pixel(8, 0), Px(kBack));
    EXPECT_EQ(b.Pixel(9, 0), kDark);
}

TEST_F(PlainGauge, OpaqueForeTextureTilesFromTheOrigin) {
    Size(40, 12);
    gauge.SetTextureOnFore(BlockTexture());
    gauge.SetProgress(50);  // 20 of W1 = 41
    TBitmap b = Render(gauge);
    EXPECT_EQ(gauge.ShownExtent(), 20);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 40; ++x) {
            uint32_t expected = x >= 20 ? Px(kBack) : x % 8 == 0 ? kKey : (x + y % 9) % 2 ? kDark : kLight;
            ASSERT_EQ(b.Pixel(x, y), expected) << x << "," << y;
        }
}

TEST_F(PlainGauge, BackTextureTilesAndMayBeTransparent) {
    Size(23, 7);
    TBitmap back = Texture(5, 3, [](int x, int y) { return y == 2 && x == 0 ? kKey : uint32_t(0x100 * (x + 1) + y); });
    gauge.SetTextureOnBack(back);
    TBitmap b = Render(gauge);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 23; ++x) ASSERT_EQ(b.Pixel(x, y), back.Pixel(x % 5, y % 3)) << x << "," << y;
    gauge.SetTransparentBack(true);
    ASSERT_EQ(gauge.BackTile().Width(), 5);
    b = Render(gauge);
    EXPECT_EQ(b.Pixel(5, 2), Px(kBack));  // the key colour shows the back colour
    EXPECT_EQ(b.Pixel(6, 2), back.Pixel(1, 2));
}

// ---- end caps ----

namespace {

uint32_t Column(int x) { return 0x010000u * uint32_t(x + 1) + 0x40; }
TBitmap CapTexture() {
    return Texture(8, 4, [](int x, int) { return Column(x); });
}

}  // namespace

TEST_F(PlainGauge, EndCapsFrameARepeatedMiddle) {
    Size(30, 4);  // W1 = 31
    gauge.SetTextureOnFore(CapTexture());
    gauge.Edge = 2;
    gauge.SetProgress(65);  // 20 pixels
    TBitmap b = Render(gauge);
    ASSERT_EQ(gauge.FillExtent(), 20);
    for (int x = 0; x < 30; ++x) {
        uint32_t expected = x >= 20 ? Px(kBack) : x < 2 ? Column(x) : x >= 18 ? Column(x - 12) : Column(2 + x % 4);
        ASSERT_EQ(b.Pixel(x, 1), expected) << x;
    }
}

TEST_F(PlainGauge, ShortFillShowsOverlappingCaps) {
    Size(30, 4);
    gauge.SetTextureOnFore(CapTexture());
    gauge.Edge = 2;
    gauge.SetProgress(10);  // 3 pixels: caps of 2, the left one copied last
    TBitmap b = Render(gauge);
    ASSERT_EQ(gauge.FillExtent(), 3);
    EXPECT_EQ(b.Pixel(0, 0), Column(0));
    EXPECT_EQ(b.Pixel(1, 0), Column(1));
    EXPECT_EQ(b.Pixel(2, 0), Column(7));
    EXPECT_EQ(b.Pixel(3, 0), Px(kBack));
}

TEST_F(PlainGauge, EdgeOfHalfTheTextureOrMoreIsSafe) {
    Size(30, 4);
    gauge.SetTextureOnFore(CapTexture());
    gauge.SetProgress(65);
    gauge.Edge = 4;  // no middle: the whole texture repeats between the caps
    TBitmap b = Render(gauge);
    for (int x = 0; x < 20; ++x) ASSERT_EQ(b.Pixel(x, 0), Column(x < 16 ? x % 8 : x - 12)) << x;
    gauge.Edge = 1000000;
    b = Render(gauge);
    EXPECT_EQ(b.Pixel(0, 0), Column(0));
    EXPECT_EQ(b.Pixel(19, 0), Column(7));
    gauge.SetTransparentFore(true);
    Render(gauge);
}

TEST_F(PlainGauge, FullBarWithCapsIsCutToTheControlWidth) {
    Size(30, 4);
    gauge.SetTextureOnFore(CapTexture());
    gauge.Edge = 2;
    gauge.SetProgress(100);
    Render(gauge);
    EXPECT_EQ(gauge.FillExtent(), 30);
}

// ---- vertical bars ----

TEST_F(PlainGauge, VerticalBarFillsFromTheBottom) {
    Size(20, 50);  // H1 = 51
    gauge.SetKind(lgkVerticalBar);
    gauge.SetProgress(50);
    TBitmap b = Render(gauge);
    EXPECT_EQ(gauge.FillExtent(), 25);
    for (int y = 0; y < 50; ++y) ExpectRow(b, y, 0, 20, y >= 26 ? Px(kFore) : Px(kBack));
    gauge.SetProgress(100);
    b = Render(gauge);
    for (int y = 0; y < 50; ++y) ExpectRow(b, y, 0, 20, Px(kFore));
}

TEST_F(PlainGauge, VerticalBlocksUseTheTextureHeight) {
    Size(20, 50);
    gauge.SetKind(lgkVerticalBar);
    TBitmap tex = Texture(4, 5, [](int x, int y) { return uint32_t(0x10000 * (x + 1) + 0x100 * (y + 1)); });
    gauge.SetTextureOnFore(tex);
    gauge.ForeAsBlocks = true;
    gauge.SetProgress(45);  // 22 pixels, 20 shown
    TBitmap b = Render(gauge);
    EXPECT_EQ(gauge.FillExtent(), 22);
    EXPECT_EQ(gauge.ShownExtent(), 20);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(b.Pixel(x, y), y >= 31 ? tex.Pixel(x % 4, y % 5) : Px(kBack)) << x << "," << y;
}

// ---- running strip ----

TEST_F(PlainGauge, RunningStripWrapsAroundAndRestarts) {
    Size(30, 4);
    gauge.SetTextureOnFore(CapTexture());
    gauge.RunningStrip = true;
    gauge.RuningStep = 0;
    TBitmap b = Render(gauge);
    EXPECT_EQ(CountPixels(b, Px(kBack), forms::Rect(0, 0, 30, 4)), 120);

    gauge.RuningStep = 2;
    b = Render(gauge);
    for (int x = 0; x < 30; ++x) ASSERT_EQ(b.Pixel(x, 0), x < 8 ? Column(x) : Px(kBack)) << x;
    for (int i = 0; i < 12; ++i) gauge.StepStrip();
    ASSERT_EQ(gauge.StripOffset(), 24);
    b = Render(gauge);
    EXPECT_EQ(b.Pixel(0, 0), Column(6));
    EXPECT_EQ(b.Pixel(1, 0), Column(7));
    EXPECT_EQ(b.Pixel(2, 0), Px(kBack));
    EXPECT_EQ(b.Pixel(24, 0), Column(0));
    EXPECT_EQ(b.Pixel(29, 0), Column(5));
    gauge.StepStrip();
    gauge.StepStrip();
    gauge.StepStrip();  // 30: the whole texture has wrapped
    b = Render(gauge);
    EXPECT_EQ(b.Pixel(0, 0), Column(0));
    EXPECT_EQ(gauge.StripOffset(), 0);
    gauge.SetProgress(40);  // progress moves the strip on
    EXPECT_EQ(gauge.StripOffset(), 2);
}

// ---- pies ----

TEST_F(PlainGauge, PieQuarterCoversTwelveToThree) {
    Size(41, 41);
    gauge.SetKind(lgkPie);
    gauge.SetProgress(25);
    TBitmap b = Render(gauge);
    EXPECT_EQ(b.Pixel(28, 12), Px(kFore));
    EXPECT_EQ(b.Pixel(12, 12), Px(kBack));
    EXPECT_EQ(b.Pixel(28, 28), Px(kBack));
    EXPECT_EQ(b.Pixel(12, 28), Px(kBack));
    EXPECT_EQ(b.Pixel(0, 0), Px(kBack));
    gauge.SetProgress(50);
    b = Render(gauge);
    EXPECT_EQ(b.Pixel(30, 20), Px(kFore));
    EXPECT_EQ(b.Pixel(28, 32), Px(kFore));
    EXPECT_EQ(b.Pixel(10, 20), Px(kBack));
}

TEST_F(PlainGauge, FullPieFillsTheEllipseAndEmptyPieNothing) {
    Size(41, 41);
    gauge.SetKind(lgkPie);
    gauge.SetProgress(100);
    TBitmap b = Render(gauge);
    for (auto [x, y] : {std::pair{20, 20}, {5, 20}, {35, 20}, {20, 5}, {20, 35}, {10, 10}, {30, 30}})
        EXPECT_EQ(b.Pixel(x, y), Px(kFore)) << x << "," << y;
    EXPECT_EQ(b.Pixel(1, 1), Px(kBack));
    gauge.SetProgress(0);
    b = Render(gauge);
    EXPECT_EQ(CountPixels(b, Px(kFore), forms::Rect(0, 0, 41, 41)), 0);
}

TEST_F(PlainGauge, FlatPieWithBorderGetsAnOutlineNotAFrame) {
    Size(41, 41);
    gauge.SetKind(lgkPie);
    gauge.SetBorderStyle(forms::bsSingle);
    gauge.SetBorderColor(forms::clRed);
    TBitmap b = Render(gauge);
    EXPECT_EQ(b.Pixel(0, 0), Px(kBack));
    EXPECT_EQ(b.Pixel(20, 0), Px(forms::clRed));
    EXPECT_EQ(b.Pixel(0, 20), Px(forms::clRed));
    EXPECT_EQ(b.Pixel(20, 20), Px(kBack));
    gauge.SetKind(lgkPie3D);
    gauge.Pie3DHeight = 0;
    b = Render(gauge);
    EXPECT_EQ(b.Pixel(0, 0), Px(forms::clRed));  // the other kinds are framed
    EXPECT_EQ(b.Pixel(20, 1), Px(kBack));
}

TEST_F(PlainGauge, Pie3DStandsOnARimOfShadowPies) {
    Size(60, 60);
    gauge.SetKind(lgkPie3D);
    gauge.Pie3DHeight = 5;
    gauge.Pie3DColor = forms::clRed;
    gauge.SetProgress(50);
    TBitmap b = Render(gauge);
    EXPECT_EQ(b.Pixel(40, 27), Px(kFore));
    EXPECT_EQ(b.Pixel(32, 55), Px(forms::clRed));
    EXPECT_EQ(b.Pixel(26, 55), Px(kBack));
    EXPECT_EQ(b.Pixel(20, 27), Px(kBack));
    gauge.Pie3DHeight = 0;
    b = Render(gauge);
    EXPECT_EQ(CountPixels(b, Px(forms::clRed), forms::Rect(0, 0, 60, 60)), 0);
}

TEST_F(PlainGauge, DegenerateSizesPaintNothingHarmful) {
    for (auto kind : {lgkHorizontalBar, lgkVerticalBar, lgkPie3D, lgkPie}) {
        gauge.SetKind(kind);
        gauge.SetShowText(true);
        gauge.SetBorderStyle(forms::bsSingle);
        gauge.SetProgress(60);
        for (auto [w, h] : {std::pair{0, 0}, {1, 1}, {2, 30}, {30, 2}}) {
            Size(w, h);
            Render(gauge);
        }
    }
}
