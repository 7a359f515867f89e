// Pixel-exact raster operations of the canvas, and pictures painted into a form's raster.
#include "platform/forms/canvas.h"
#include "platform/forms/form.h"
#include "platform/forms/image.h"
#include "test_util.h"

using namespace forms;
using formstest::Rgb;
using formstest::SolidBitmap;

namespace {

constexpr uint32_t kRed = Rgb(255, 0, 0), kGreen = Rgb(0, 255, 0), kBlue = Rgb(0, 0, 255),
                   kWhite = Rgb(255, 255, 255), kBlack = 0;

int Count(const TBitmap& b, uint32_t pixel) {
    int n = 0;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) n += b.Pixel(x, y) == pixel;
    return n;
}

TEST(Raster, ColoursMapBetweenTColorAndPixels) {
    EXPECT_EQ(ColorToPixel(clRed), kRed);
    EXPECT_EQ(ColorToPixel(clNavy), Rgb(0, 0, 128));
    EXPECT_EQ(ColorToPixel(clWindow), kWhite);
    EXPECT_EQ(PixelToColor(Rgb(1, 2, 3)), RGB(1, 2, 3));
    TBitmap b(2, 2);
    b.Canvas().SetPixels(1, 1, clLime);
    EXPECT_EQ(b.Pixel(1, 1), kGreen);
    EXPECT_EQ(b.Canvas().Pixels(1, 1), clLime);
    EXPECT_EQ(b.Pixel(0, 0), kWhite);  // new bitmaps are white
}

TEST(Raster, BlacknessSrcInvertAndSrcCopy) {
    TBitmap image = SolidBitmap(8, 4, Rgb(10, 20, 30));
    TBitmap overlay = SolidBitmap(8, 4, Rgb(0x0F, 0xF0, 0x55));
    TCanvas& canvas = image.Canvas();
    canvas.CopyMode = cmBlackness;
    canvas.CopyRect(Rect(0, 0, 8, 4), image, Rect(0, 0, 8, 4));
    EXPECT_EQ(Count(image, kBlack), 32);

    image.SetPixel(0, 0, Rgb(0xFF, 0x00, 0xFF));
    canvas.CopyMode = cmSrcInvert;
    canvas.Draw(0, 0, overlay);
    EXPECT_EQ(image.Pixel(0, 0), Rgb(0xF0, 0xF0, 0xAA));
    EXPECT_EQ(image.Pixel(5, 3), Rgb(0x0F, 0xF0, 0x55));  // black XOR overlay = overlay
    canvas.Draw(0, 0, overlay);                            // twice restores
    EXPECT_EQ(image.Pixel(5, 3), kBlack);

    canvas.CopyMode = cmSrcCopy;
    canvas.BitBlt(2, 1, 3, 2, overlay, 0, 0, SRCCOPY);
    EXPECT_EQ(image.Pixel(2, 1), Rgb(0x0F, 0xF0, 0x55));
    EXPECT_EQ(image.Pixel(4, 2), Rgb(0x0F, 0xF0, 0x55));
    EXPECT_EQ(image.Pixel(5, 2), kBlack);
    EXPECT_EQ(image.Pixel(1, 1), kBlack);
}

TEST(Raster, GeneralRopCodesFollowTheirTruthTable) {
    TBitmap d = SolidBitmap(1, 1, 0x00F0F0F0), s = SolidBitmap(1, 1, 0x00CCCCCC);
    d.Canvas().BitBlt(0, 0, 1, 1, s, 0, 0, 0x00330008);  // NOTSRCCOPY
    EXPECT_EQ(d.Pixel(0, 0), 0x00333333u);
    d.Canvas().BitBlt(0, 0, 1, 1, s, 0, 0, 0x00550009);  // DSTINVERT
    EXPECT_EQ(d.Pixel(0, 0), 0x00CCCCCCu);
    d.Canvas().Brush.Color = clRed;
    d.Canvas().BitBlt(0, 0, 1, 1, s, 0, 0, 0x00F00021);  // PATCOPY
    EXPECT_EQ(d.Pixel(0, 0), kRed);
}

TEST(Raster, PatternBrushTilesFromTheBitmapOrigin) {
    TBitmap texture(2, 2);
    texture.SetPixel(0, 0, kRed);
    texture.SetPixel(1, 0, kGreen);
    texture.SetPixel(0, 1, kBlue);
    texture.SetPixel(1, 1, kWhite);
    TBitmap target = SolidBitmap(6, 6, kBlack);
    target.Canvas().Brush.Bitmap = &texture;
    target.Canvas().FillRect(Rect(1, 1, 5, 4));
    EXPECT_EQ(target.Pixel(1, 1), kWhite);  // (1,1) of the tile, not (0,0)
    EXPECT_EQ(target.Pixel(2, 1), kBlue);
    EXPECT_EQ(target.Pixel(2, 2), kRed);
    EXPECT_EQ(target.Pixel(3, 2), kGreen);
    EXPECT_EQ(target.Pixel(4, 3), kBlue);
    EXPECT_EQ(target.Pixel(0, 0), kBlack);
    EXPECT_EQ(target.Pixel(5, 4), kBlack);  // right and bottom edges excluded
    EXPECT_EQ(Count(target, kBlack), 36 - 12);
}

TEST(Raster, FrameRectAndRectangle) {
    TBitmap b = SolidBitmap(6, 5, kWhite);
    b.Canvas().Brush.Color = clBlue;
    b.Canvas().FrameRect(Rect(1, 1, 5, 4));
    EXPECT_EQ(Count(b, kBlue), 10);  // a one-pixel ring of a 4x3 box
    EXPECT_EQ(b.Pixel(2, 2), kWhite);
    EXPECT_EQ(b.Pixel(4, 3), kBlue);

    TBitmap r = SolidBitmap(6, 6, kWhite);
    r.Canvas().Pen.Color = clRed;
    r.Canvas().Brush.Color = clLime;
    r.Canvas().Rectangle(0, 0, 5, 5);
    EXPECT_EQ(Count(r, kRed), 16);
    EXPECT_EQ(Count(r, kGreen), 9);
    r.Canvas().Pen.Style = psClear;
    r.Canvas().Brush.Color = clBlue;
    r.Canvas().Rectangle(0, 0, 5, 5);  // without a pen: one pixel less right and below
    EXPECT_EQ(Count(r, kBlue), 16);
}

TEST(Raster, EllipseIsSymmetricAndInscribed) {
    TBitmap b = SolidBitmap(12, 8, kWhite);
    b.Canvas().Pen.Color = clRed;
    b.Canvas().Brush.Color = clBlue;
    b.Canvas().Ellipse(0, 0, 12, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x) {
            EXPECT_EQ(b.Pixel(x, y), b.Pixel(11 - x, y)) << x << "," << y;
            EXPECT_EQ(b.Pixel(x, y), b.Pixel(x, 7 - y)) << x << "," << y;
        }
    EXPECT_EQ(b.Pixel(0, 0), kWhite);
    EXPECT_EQ(b.Pixel(6, 0), kRed);
    EXPECT_EQ(b.Pixel(6, 4), kBlue);
    EXPECT_EQ(b.Pixel(0, 4), kRed);
}

TEST(Raster, PieSlicesRunCounterClockwise) {
    TBitmap b = SolidBitmap(20, 20, kWhite);
    TCanvas& c = b.Canvas();
    c.Pen.Style = psClear;
    c.Brush.Color = clBlue;
    // From 12 o'clock counter-clockwise to 6 o'clock: the left half.
    c.Pie(0, 0, 21, 21, 10, 0, 10, 20);
    EXPECT_EQ(b.Pixel(3, 10), kBlue);
    EXPECT_EQ(b.Pixel(16, 10), kWhite);
    TBitmap full = SolidBitmap(20, 20, kWhite);
    full.Canvas().Pen.Style = psClear;
    full.Canvas().Brush.Color = clBlue;
    full.Canvas().Pie(0, 0, 21, 21, 10, 0, 10, 0);  // equal radials: the whole ellipse
    TBitmap ellipse = SolidBitmap(20, 20, kWhite);
    ellipse.Canvas().Pen.Style = psClear;
    ellipse.Canvas().Brush.Color = clBlue;
    ellipse.Canvas().Ellipse(0, 0, 21, 21);
    EXPECT_EQ(Count(full, kBlue), Count(ellipse, kBlue));
    EXPECT_GT(Count(full, kBlue), 2 * Count(b, kBlue) - 25);
    EXPECT_LT(Count(b, kBlue), Count(full, kBlue));
}

TEST(Raster, TransparentDrawUsesTheBottomLeftPixel) {
    TBitmap sprite = SolidBitmap(3, 3, kGreen);
    sprite.SetPixel(1, 1, kRed);
    sprite.SetPixel(2, 0, kBlue);
    sprite.Transparent = true;
    EXPECT_EQ(sprite.TransparentColor(), clLime);
    TBitmap target = SolidBitmap(4, 4, kWhite);
    target.Canvas().Draw(1, 1, sprite);
    EXPECT_EQ(target.Pixel(2, 2), kRed);
    EXPECT_EQ(target.Pixel(3, 1), kBlue);
    EXPECT_EQ(Count(target, kWhite), 14);
    sprite.TransparentAuto = false;
    sprite.TransparentColorValue = clRed;
    target.Canvas().Draw(0, 0, sprite);
    EXPECT_EQ(target.Pixel(1, 1), kWhite);  // the red one is now the see-through colour
    EXPECT_EQ(target.Pixel(0, 0), kGreen);
}

TEST(Raster, BrushCopyReplacesOneColourWithTheBrush) {
    TBitmap source = SolidBitmap(3, 1, kRed);
    source.SetPixel(1, 0, kGreen);
    TBitmap target = SolidBitmap(3, 1, kWhite);
    target.Canvas().Brush.Color = clBlue;
    target.Canvas().BrushCopy(Rect(0, 0, 3, 1), source, Rect(0, 0, 3, 1), clRed);
    EXPECT_EQ(target.Pixel(0, 0), kBlue);
    EXPECT_EQ(target.Pixel(1, 0), kGreen);
    EXPECT_EQ(target.Pixel(2, 0), kBlue);
}

TEST(Raster, StretchDrawPicksTheNearestPixels) {
    TBitmap source(2, 1);
    source.SetPixel(0, 0, kRed);
    source.SetPixel(1, 0, kBlue);
    TBitmap target = SolidBitmap(5, 2, kWhite);
    target.Canvas().StretchDraw(Rect(0, 0, 4, 2), source);
    EXPECT_EQ(target.Pixel(0, 0), kRed);
    EXPECT_EQ(target.Pixel(1, 1), kRed);
    EXPECT_EQ(target.Pixel(2, 0), kBlue);
    EXPECT_EQ(target.Pixel(3, 1), kBlue);
    EXPECT_EQ(target.Pixel(4, 0), kWhite);
}

TEST(Raster, OriginAndClipConfineDrawing) {
    TBitmap b = SolidBitmap(10, 10, kWhite);
    TCanvas canvas(b);
    canvas.SetOrigin(TPoint{3, 3});
    canvas.SetClipRect(Rect(3, 3, 6, 6));
    canvas.Brush.Color = clRed;
    canvas.FillRect(Rect(-5, -5, 50, 50));
    EXPECT_EQ(Count(b, kRed), 9);
    EXPECT_EQ(b.Pixel(3, 3), kRed);
    EXPECT_EQ(b.Pixel(6, 6), kWhite);
    EXPECT_EQ(canvas.ClipRect(), Rect(0, 0, 3, 3));
}

TEST(Raster, TransparentTextLeavesTheBackgroundAroundTheGlyphs) {
    TBitmap b = SolidBitmap(120, 40, kWhite);
    TCanvas& c = b.Canvas();
    c.Font.Color = clBlack;
    c.Font.Size = 14;
    c.Brush.Style = bsClear;
    std::string text = "\xCF\xF0\xE8\xE2\xE5\xF2";  // cp1251
    TPoint size = c.TextExtent(text);
    EXPECT_GT(size.X, 20);
    EXPECT_GT(size.Y, 8);
    c.TextOut(5, 5, text);
    int dark = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x) {
            uint32_t p = b.Pixel(x, y);
            EXPECT_EQ(p & 0xFF000000u, 0u);
            if (x < 5 || y < 5 || x >= 5 + size.X || y >= 5 + size.Y) {
                EXPECT_EQ(p, kWhite) << x << "," << y;
            }
            dark += p != kWhite;
        }
    EXPECT_GT(dark, 20);

    c.Brush.Style = bsSolid;  // opaque text fills its box with the brush first
    c.Brush.Color = clBlue;
    c.TextOut(0, 0, "x");
    EXPECT_EQ(b.Pixel(0, 0), kBlue);
}

class Pictures : public formstest::HeadlessTest {};

TEST_F(Pictures, NaturalStretchedAndAutoSizedPicturesInTheRaster) {
    auto* form = new TForm(&Application());
    form->SetBounds(0, 0, 60, 40);
    form->SetColor(clWhite);
    TBitmap picture(4, 2);
    for (int x = 0; x < 4; ++x) {
        picture.SetPixel(x, 0, x < 2 ? kRed : kGreen);
        picture.SetPixel(x, 1, kBlue);
    }
    auto* natural = new TImage(form);
    natural->SetParent(form);
    natural->SetBounds(0, 0, 3, 1);  // clipped from the top-left
    natural->Picture().SetBitmap(picture);
    auto* stretched = new TImage(form);
    stretched->SetParent(form);
    stretched->SetBounds(10, 0, 8, 4);
    stretched->SetStretch(true);
    stretched->Picture().SetBitmap(picture);
    auto* sized = new TImage(form);
    sized->SetParent(form);
    sized->SetBounds(30, 10, 1, 1);
    sized->SetAutoSize(true);
    sized->Picture().SetBitmap(picture);
    EXPECT_EQ(sized->BoundsRect(), Bounds(30, 10, 4, 2));
    auto* hidden = new TImage(form);
    hidden->SetParent(form);
    hidden->SetBounds(40, 30, 4, 2);
    hidden->Picture().SetBitmap(picture);
    hidden->SetVisible(false);

    TBitmap shot = backend->Snapshot(*form);
    EXPECT_EQ(shot.Pixel(0, 0), kRed);
    EXPECT_EQ(shot.Pixel(2, 0), kGreen);
    EXPECT_EQ(shot.Pixel(3, 0), kWhite);
    EXPECT_EQ(shot.Pixel(0, 1), kWhite);
    EXPECT_EQ(shot.Pixel(10, 0), kRed);
    EXPECT_EQ(shot.Pixel(17, 1), kGreen);
    EXPECT_EQ(shot.Pixel(17, 2), kBlue);
    EXPECT_EQ(shot.Pixel(33, 11), kBlue);
    EXPECT_EQ(shot.Pixel(41, 31), kWhite);

    natural->Picture().Clear();  // an emptied picture shows the form behind it
    sized->Picture().Assign(natural->Picture());
    shot = backend->Snapshot(*form);
    EXPECT_EQ(shot.Pixel(0, 0), kWhite);
    EXPECT_EQ(shot.Pixel(30, 10), kWhite);
    EXPECT_FALSE(sized->Picture().HasGraphic());
    EXPECT_GT(backend->WindowOf(*form)->InvalidateCount, 0);
}

}  // namespace
