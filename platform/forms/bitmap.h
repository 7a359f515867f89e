// TBitmap: a 32-bit software raster (pixels 0x00RRGGBB, rows top-down) with its canvas.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/types.h"

namespace rtl {
class TStream;
}

namespace forms {

class TCanvas;

class TBitmap : public TObject {
public:
    TBitmap();
    TBitmap(int width, int height);
    TBitmap(const TBitmap& other);
    TBitmap& operator=(const TBitmap& other);
    TBitmap(TBitmap&& other) noexcept;
    TBitmap& operator=(TBitmap&& other) noexcept;  // takes the pixels; the canvas stays with this
    ~TBitmap() override;

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    bool Empty() const { return FWidth == 0 || FHeight == 0; }
    // New size; kept pixels stay, new ones are white. Raises rtl::EOutOfMemory above MaxPixels.
    void SetSize(int width, int height);
    void SetWidth(int width) { SetSize(width, FHeight); }
    void SetHeight(int height) { SetSize(FWidth, height); }
    void Assign(const TBitmap& other) { *this = other; }
    void Clear() { SetSize(0, 0); }

    uint32_t* ScanLine(int y) { return FPixels.data() + size_t(y) * size_t(FWidth); }
    const uint32_t* ScanLine(int y) const { return FPixels.data() + size_t(y) * size_t(FWidth); }
    uint32_t* Data() { return FPixels.data(); }
    const uint32_t* Data() const { return FPixels.data(); }
    // Raw pixel access; out-of-range reads give 0 and writes are ignored.
    uint32_t Pixel(int x, int y) const;
    void SetPixel(int x, int y, uint32_t pixel);

    // Drawn with a transparent colour: TransparentColor, or with tmAuto the bottom-left pixel.
    bool Transparent = false;
    bool TransparentAuto = true;
    TColor TransparentColorValue = clNone;
    TColor TransparentColor() const;  // the effective colour; clNone when the bitmap is empty

    TCanvas& Canvas();

    // BMP files and streams (all depths read; 24-bit written). Raise rtl::Exception subclasses
    // (EInvalidGraphic) on bad data; the bitmap is unchanged then.
    void LoadFromFile(const std::string& path);
    void LoadFromStream(rtl::TStream& stream);
    void LoadFromBytes(const std::string& bytes);
    void SaveToFile(const std::string& path) const;
    void SaveToStream(rtl::TStream& stream) const;
    std::string SaveToBytes() const;

    // Change notification (pictures repaint their control).
    std::function<void()> OnChange;
    void Changed();

    // The largest pixel count a bitmap may hold (guards decoders against hostile sizes).
    static constexpr int64_t MaxPixels = int64_t(1) << 26;

private:
    int FWidth = 0;
    int FHeight = 0;
    std::vector<uint32_t> FPixels;
    std::unique_ptr<TCanvas> FCanvas;
};

}  // namespace forms
