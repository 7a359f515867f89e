#include "platform/forms/bitmap.h"

#include "platform/forms/bmp.h"
#include "platform/forms/canvas.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/textfile.h"

namespace forms {

namespace {
constexpr uint32_t kWhite = 0x00FFFFFF;
}

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int width, int height) { SetSize(width, height); }

TBitmap::TBitmap(const TBitmap& other)
    : TObject(),
      Transparent(other.Transparent),
      TransparentAuto(other.TransparentAuto),
      TransparentColorValue(other.TransparentColorValue),
      FWidth(other.FWidth),
      FHeight(other.FHeight),
      FPixels(other.FPixels) {}

TBitmap& TBitmap::operator=(const TBitmap& other) {
    if (this == &other) return *this;
    FWidth = other.FWidth;
    FHeight = other.FHeight;
    FPixels = other.FPixels;
    Transparent = other.Transparent;
    TransparentAuto = other.TransparentAuto;
    TransparentColorValue = other.TransparentColorValue;
    Changed();
    return *this;
}

TBitmap::TBitmap(TBitmap&& other) noexcept
    : TObject(),
      Transparent(other.Transparent),
      TransparentAuto(other.TransparentAuto),
      TransparentColorValue(other.TransparentColorValue),
      FWidth(other.FWidth),
      FHeight(other.FHeight),
      FPixels(std::move(other.FPixels)) {
    other.FWidth = other.FHeight = 0;
    other.FPixels.clear();
}

TBitmap& TBitmap::operator=(TBitmap&& other) noexcept {
    if (this == &other) return *this;
    FWidth = other.FWidth;
    FHeight = other.FHeight;
    FPixels.swap(other.FPixels);
    Transparent = other.Transparent;
    TransparentAuto = other.TransparentAuto;
    TransparentColorValue = other.TransparentColorValue;
    other.FWidth = other.FHeight = 0;
    other.FPixels.clear();
    try {
        Changed();
    } catch (...) {
        // A change handler must not break a move.
    }
    return *this;
}

TBitmap::~TBitmap() = default;

void TBitmap::SetSize(int width, int height) {
    if (width < 0 || height < 0 || int64_t(width) * int64_t(height) > MaxPixels)
        throw rtl::EOutOfMemory("Bitmap too large");
    if (width == FWidth && height == FHeight) return;
    std::vector<uint32_t> pixels(size_t(width) * size_t(height), kWhite);
    int keepW = std::min(width, FWidth), keepH = std::min(height, FHeight);
    for (int y = 0; y < keepH; ++y)
        std::copy_n(FPixels.data() + size_t(y) * size_t(FWidth), keepW, pixels.data() + size_t(y) * size_t(width));
    FPixels.swap(pixels);
    FWidth = width;
    FHeight = height;
    Changed();
}

uint32_t TBitmap::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return 0;
    return FPixels[size_t(y) * size_t(FWidth) + size_t(x)];
}

void TBitmap::SetPixel(int x, int y, uint32_t pixel) {
    if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return;
    FPixels[size_t(y) * size_t(FWidth) + size_t(x)] = pixel & 0x00FFFFFF;
}

TColor TBitmap::TransparentColor() const {
    if (!TransparentAuto && TransparentColorValue != clNone) return TransparentColorValue;
    if (Empty()) return clNone;
    return PixelToColor(Pixel(0, FHeight - 1));
}

TCanvas& TBitmap::Canvas() {
    if (!FCanvas) FCanvas = std::make_unique<TCanvas>(*this);
    return *FCanvas;
}

void TBitmap::LoadFromBytes(const std::string& bytes) {
    TBitmap decoded;
    DecodeBmp(bytes, decoded);
    FWidth = decoded.FWidth;
    FHeight = decoded.FHeight;
    FPixels.swap(decoded.FPixels);
    Changed();
}

void TBitmap::LoadFromFile(const std::string& path) { LoadFromBytes(rtl::ReadFileBytes(path)); }

void TBitmap::LoadFromStream(rtl::TStream& stream) {
    int64_t remaining = stream.Size() - stream.Position();
    if (remaining < 0 || remaining > int64_t(1) << 30) throw EInvalidGraphic("Bitmap image is not valid");
    std::string bytes(size_t(remaining), '\0');
    if (remaining > 0) stream.ReadBuffer(bytes.data(), remaining);
    LoadFromBytes(bytes);
}

std::string TBitmap::SaveToBytes() const { return EncodeBmp24(*this); }

void TBitmap::SaveToFile(const std::string& path) const { rtl::WriteFileBytes(path, SaveToBytes()); }

void TBitmap::SaveToStream(rtl::TStream& stream) const {
    std::string bytes = SaveToBytes();
    stream.WriteBuffer(bytes.data(), int64_t(bytes.size()));
}

void TBitmap::Changed() {
    Fire(OnChange);
}

}  // namespace forms
