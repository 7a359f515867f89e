// BMP decoding of every depth and header layout, hostile headers, and the 24-bit encoder.
#include <random>

#include "platform/forms/bmp.h"
#include "platform/rtl/exceptions.h"
#include "test_util.h"

using namespace forms;
using formstest::BmpSpec;
using formstest::MakeBmp;
using formstest::Pattern;
using formstest::Rgb;

namespace {

void ExpectPixels(const TBitmap& b, int w, int h, const std::vector<uint32_t>& pixels) {
    ASSERT_EQ(b.Width(), w);
    ASSERT_EQ(b.Height(), h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) ASSERT_EQ(b.Pixel(x, y), pixels[size_t(y * w + x)]) << x << "," << y;
}

void PutU32(std::string& data, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) data[offset + size_t(i)] = char((value >> (8 * i)) & 0xFF);
}

TEST(Bmp, PalettedDepthsBottomUpAndTopDown) {
    for (int bits : {1, 4, 8}) {
        for (bool topDown : {false, true}) {
            int colours = bits == 1 ? 2 : 16;
            auto pixels = Pattern(13, 7, colours);  // odd width: rows need padding
            BmpSpec spec;
            spec.bitCount = bits;
            spec.topDown = topDown;
            TBitmap b;
            DecodeBmp(MakeBmp(13, 7, pixels, spec), b);
            ExpectPixels(b, 13, 7, pixels);
        }
    }
}

TEST(Bmp, TrueColourDepthsAndBitFields) {
    auto pixels = Pattern(5, 3, 16);
    for (int bits : {24, 32}) {
        BmpSpec spec;
        spec.bitCount = bits;
        TBitmap b;
        DecodeBmp(MakeBmp(5, 3, pixels, spec), b);
        ExpectPixels(b, 5, 3, pixels);
    }
    // 5-5-5 keeps the pure colours of the pattern (0, 128, 192, 255 scale back exactly or nearly).
    BmpSpec rgb555;
    rgb555.bitCount = 16;
    TBitmap b555;
    DecodeBmp(MakeBmp(5, 3, pixels, rgb555), b555);
    EXPECT_EQ(b555.Pixel(0, 0), Rgb(0, 0, 0));
    EXPECT_EQ(b555.Pixel(1, 0), Rgb(0, 255, 0));  // pattern colour 3 at (1,0)

    BmpSpec rgb565;
    rgb565.bitCount = 16;
    rgb565.compression = 3;
    rgb565.masks[0] = 0xF800, rgb565.masks[1] = 0x07E0, rgb565.masks[2] = 0x001F;
    std::vector<uint32_t> primaries{Rgb(255, 0, 0), Rgb(0, 255, 0), Rgb(0, 0, 255), Rgb(255, 255, 255)};
    TBitmap b565;
    DecodeBmp(MakeBmp(4, 1, primaries, rgb565), b565);
    ExpectPixels(b565, 4, 1, primaries);

    BmpSpec bgrx;  // 32-bit bit fields with the masks inside a V4 header
    bgrx.bitCount = 32;
    bgrx.compression = 3;
    bgrx.headerSize = 108;
    bgrx.masks[0] = 0x0000FF00, bgrx.masks[1] = 0x00FF0000, bgrx.masks[2] = 0xFF000000;
    TBitmap b32;
    DecodeBmp(MakeBmp(4, 1, primaries, bgrx), b32);
    ExpectPixels(b32, 4, 1, primaries);
}

TEST(Bmp, CoreAndLargerHeaders) {
    auto pixels = Pattern(6, 4, 16);
    for (uint32_t header : {12u, 52u, 56u, 108u, 124u, 200u}) {
        BmpSpec spec;
        spec.bitCount = header == 12 ? 8 : 24;
        spec.headerSize = header;
        TBitmap b;
        DecodeBmp(MakeBmp(6, 4, pixels, spec), b);
        ExpectPixels(b, 6, 4, pixels);
    }
}

TEST(Bmp, ShortPaletteShowsMissingColoursAsBlack) {
    std::vector<uint32_t> pixels{Rgb(1, 2, 3), Rgb(4, 5, 6)};
    BmpSpec spec;
    spec.bitCount = 8;
    spec.paletteColors = 2;
    std::string data = MakeBmp(2, 1, pixels, spec);
    data[data.size() - 4] = char(200);  // first pixel's index beyond the two stored colours
    TBitmap b;
    DecodeBmp(data, b);
    EXPECT_EQ(b.Pixel(0, 0), 0u);
    EXPECT_EQ(b.Pixel(1, 0), Rgb(4, 5, 6));
}

TEST(Bmp, HostileHeadersAreRefusedCleanly) {
    auto pixels = Pattern(4, 4, 16);
    BmpSpec spec;
    const std::string good = MakeBmp(4, 4, pixels, spec);
    auto refused = [](const std::string& data) {
        TBitmap b(1, 1);
        b.SetPixel(0, 0, 0x123456);
        EXPECT_THROW(DecodeBmp(data, b), EInvalidGraphic);
        EXPECT_EQ(b.Pixel(0, 0), 0x123456u);  // unchanged
    };
    refused("");
    refused("BM");
    refused(good.substr(0, 20));                 // truncated info header
    refused(good.substr(0, good.size() - 1));    // truncated pixels
    std::string bad = good;
    bad[0] = 'X';
    refused(bad);
    bad = good;
    PutU32(bad, 14, 0xFFFFFFF0);  // header larger than the file
    refused(bad);
    bad = good;
    PutU32(bad, 14, 30);  // neither a core nor an info header
    refused(bad);
    bad = good;
    PutU32(bad, 18, 0x7FFFFFFF);  // width far beyond the data
    refused(bad);
    bad = good;
    PutU32(bad, 18, 100000);
    PutU32(bad, 22, 100000);  // 10^10 pixels: over the cap before any allocation
    refused(bad);
    bad = good;
    PutU32(bad, 22, 0x80000000);  // the most negative height
    refused(bad);
    bad = good;
    PutU32(bad, 18, 0);
    refused(bad);
    bad = good;
    bad[28] = 7;  // 7 bits per pixel
    refused(bad);
    bad = good;
    bad[26] = 2;  // two planes
    refused(bad);
    bad = good;
    PutU32(bad, 30, 1);  // run-length data is not read
    refused(bad);
    bad = good;
    PutU32(bad, 30, 3);  // bit fields on 24 bits
    refused(bad);
    bad = good;
    PutU32(bad, 10, 0xFFFFFF00);  // pixel offset beyond the file
    refused(bad);
    bad = good;
    PutU32(bad, 10, 20);  // pixel offset inside the header
    refused(bad);

    BmpSpec paletted;
    paletted.bitCount = 8;
    std::string withPalette = MakeBmp(4, 4, pixels, paletted);
    refused(withPalette.substr(0, 14 + 40 + 100));  // palette cut short
}

TEST(Bmp, RandomCorruptionNeverCrashes) {
    BmpSpec spec;
    spec.bitCount = 4;
    const std::string good = MakeBmp(9, 5, Pattern(9, 5, 16), spec);
    std::mt19937 random(12345);
    for (int round = 0; round < 3000; ++round) {
        std::string data = good;
        int edits = 1 + int(random() % 4);
        for (int i = 0; i < edits; ++i) data[random() % 70] = char(random());
        if (random() % 4 == 0) data.resize(random() % data.size());
        TBitmap b;
        try {
            DecodeBmp(data, b);
            EXPECT_LE(int64_t(b.Width()) * b.Height(), TBitmap::MaxPixels);
        } catch (const EInvalidGraphic&) {
        }
    }
}

TEST(Bmp, EncoderRoundTripsThroughFilesAndStreams) {
    auto pixels = Pattern(7, 3, 16);
    BmpSpec spec;
    TBitmap original;
    DecodeBmp(MakeBmp(7, 3, pixels, spec), original);
    std::string encoded = EncodeBmp24(original);
    EXPECT_EQ(encoded.size(), 54u + 24u * 3u);  // rows of 21 bytes padded to 24
    TBitmap again;
    again.LoadFromBytes(encoded);
    ExpectPixels(again, 7, 3, pixels);

    formstest::TempFolder folder;
    original.SaveToFile(folder.Path() + "pic.bmp");
    TBitmap fromFile;
    fromFile.LoadFromFile(folder.Path() + "PIC.BMP");  // names ignore case, as the platform does
    ExpectPixels(fromFile, 7, 3, pixels);
    EXPECT_THROW(fromFile.LoadFromFile(folder.Path() + "none.bmp"), rtl::Exception);
}

TEST(Bitmap, SizeChangesKeepPixelsAndRefuseHugeSizes) {
    TBitmap b(2, 2);
    b.SetPixel(1, 1, Rgb(9, 9, 9));
    b.SetSize(3, 3);
    EXPECT_EQ(b.Pixel(1, 1), Rgb(9, 9, 9));
    EXPECT_EQ(b.Pixel(2, 2), Rgb(255, 255, 255));
    EXPECT_THROW(b.SetSize(1 << 20, 1 << 20), rtl::EOutOfMemory);
    EXPECT_THROW(b.SetSize(-1, 5), rtl::EOutOfMemory);
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(b.Pixel(-1, 0), 0u);
    b.SetPixel(99, 99, 1);  // ignored
}

}  // namespace
