#include "platform/forms/bmp.h"

#include <bit>
#include <cstdint>

#include "platform/forms/bitmap.h"

namespace forms {

namespace {

constexpr const char* kInvalid = "Bitmap image is not valid";
constexpr uint32_t BI_RGB = 0, BI_BITFIELDS = 3, BI_ALPHABITFIELDS = 6;
constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;

[[noreturn]] void Invalid() { throw EInvalidGraphic(kInvalid); }

class Reader {
public:
    explicit Reader(std::string_view data) : FData(data) {}
    size_t Size() const { return FData.size(); }
    bool Has(size_t offset, size_t count) const { return offset <= FData.size() && count <= FData.size() - offset; }
    uint8_t U8(size_t offset) const {
        Require(offset, 1);
        return uint8_t(FData[offset]);
    }
    uint16_t U16(size_t offset) const { return uint16_t(U8(offset) | U8(offset + 1) << 8); }
    uint32_t U32(size_t offset) const { return uint32_t(U16(offset)) | uint32_t(U16(offset + 2)) << 16; }
    int32_t I32(size_t offset) const { return int32_t(U32(offset)); }
    const uint8_t* At(size_t offset) const { return reinterpret_cast<const uint8_t*>(FData.data()) + offset; }

private:
    void Require(size_t offset, size_t count) const {
        if (!Has(offset, count)) Invalid();
    }
    std::string_view FData;
};

// One colour channel of a bit-field pixel, scaled to 8 bits.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;

    explicit Channel(uint32_t m) : mask(m) {
        if (!m) return;
        shift = std::countr_zero(m);
        int width = 32 - std::countl_zero(m) - shift;
        max = width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1;
    }
    uint32_t Extract(uint32_t pixel) const {
        if (!mask) return 0;
        uint64_t v = (pixel & mask) >> shift;
        return uint32_t((v * 255 + max / 2) / max);
    }
};

struct Header {
    uint32_t headerSize = 0;
    int64_t width = 0;
    int64_t height = 0;
    bool topDown = false;
    uint16_t bitCount = 0;
    uint32_t compression = BI_RGB;
    uint32_t colorsUsed = 0;
    uint32_t masks[3] = {0, 0, 0};
    size_t paletteOffset = 0;
    size_t paletteEntrySize = 4;
};

Header ReadHeader(const Reader& in) {
    if (!in.Has(0, kFileHeaderSize) || in.U8(0) != 'B' || in.U8(1) != 'M') Invalid();
    Header h;
    h.headerSize = in.U32(kFileHeaderSize);
    if (h.headerSize != kCoreHeaderSize && h.headerSize < kInfoHeaderSize) Invalid();
    if (!in.Has(kFileHeaderSize, h.headerSize)) Invalid();
    const size_t base = kFileHeaderSize;
    uint16_t planes;
    if (h.headerSize == kCoreHeaderSize) {
        h.width = in.U16(base + 4);
        h.height = in.U16(base + 6);
        planes = in.U16(base + 8);
        h.bitCount = in.U16(base + 10);
        h.paletteEntrySize = 3;
    } else {
        h.width = in.I32(base + 4);
        h.height = in.I32(base + 8);
        planes = in.U16(base + 12);
        h.bitCount = in.U16(base + 14);
        h.compression = in.U32(base + 16);
        h.colorsUsed = in.U32(base + 32);
    }
    if (planes != 1) Invalid();
    if (h.height < 0) {
        h.topDown = true;
        h.height = -h.height;
    }
    if (h.width <= 0 || h.height <= 0 || h.width * h.height > TBitmap::MaxPixels) Invalid();
    switch (h.bitCount) {
        case 1: case 4: case 8: case 16: case 24: case 32: break;
        default: Invalid();
    }
    size_t afterHeader = base + h.headerSize;
    if (h.compression == BI_BITFIELDS || h.compression == BI_ALPHABITFIELDS) {
        if (h.bitCount != 16 && h.bitCount != 32) Invalid();
        size_t maskOffset = h.headerSize >= 52 ? base + 40 : afterHeader;
        for (int i = 0; i < 3; ++i) h.masks[i] = in.U32(maskOffset + size_t(i) * 4);
        if (h.headerSize < 52) afterHeader += h.compression == BI_ALPHABITFIELDS ? 16 : 12;
    } else if (h.compression != BI_RGB) {
        Invalid();  // run-length and embedded JPEG/PNG data are not read
    } else if (h.bitCount == 16) {
        h.masks[0] = 0x7C00, h.masks[1] = 0x03E0, h.masks[2] = 0x001F;
    } else if (h.bitCount == 32) {
        h.masks[0] = 0x00FF0000, h.masks[1] = 0x0000FF00, h.masks[2] = 0x000000FF;
    }
    h.paletteOffset = afterHeader;
    return h;
}

std::vector<uint32_t> ReadPalette(const Reader& in, const Header& h) {
    if (h.bitCount > 8) return {};
    uint32_t maxColors = 1u << h.bitCount;
    uint32_t count = h.colorsUsed == 0 || h.colorsUsed > maxColors ? maxColors : h.colorsUsed;
    if (!in.Has(h.paletteOffset, size_t(count) * h.paletteEntrySize)) Invalid();
    std::vector<uint32_t> palette(maxColors, 0);  // indexes past the stored colours show black
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* e = in.At(h.paletteOffset + size_t(i) * h.paletteEntrySize);
        palette[i] = uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0];
    }
    return palette;
}

uint32_t DecodePixel(const uint8_t* row, int64_t x, const Header& h, const std::vector<uint32_t>& palette,
                     const Channel (&channels)[3]) {
    switch (h.bitCount) {
        case 1: return palette[(row[x >> 3] >> (7 - (x & 7))) & 1];
        case 4: return palette[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
        case 8: return palette[row[x]];
        case 24: {
            const uint8_t* p = row + x * 3;
            return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
        }
        case 16: {
            uint32_t v = uint32_t(row[x * 2]) | uint32_t(row[x * 2 + 1]) << 8;
            return channels[0].Extract(v) << 16 | channels[1].Extract(v) << 8 | channels[2].Extract(v);
        }
        default: {
            const uint8_t* p = row + x * 4;
            uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
            return channels[0].Extract(v) << 16 | channels[1].Extract(v) << 8 | channels[2].Extract(v);
        }
    }
}

void PutLE(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(char((value >> (8 * i)) & 0xFF));
}

}  // namespace

void DecodeBmp(std::string_view data, TBitmap& into) {
    Reader in(data);
    Header h = ReadHeader(in);
    std::vector<uint32_t> palette = ReadPalette(in, h);
    const Channel channels[3] = {Channel(h.masks[0]), Channel(h.masks[1]), Channel(h.masks[2])};

    const uint64_t stride = ((uint64_t(h.width) * h.bitCount + 31) / 32) * 4;
    const uint64_t imageSize = stride * uint64_t(h.height);
    uint64_t offBits = in.U32(10);
    if (offBits == 0) offBits = h.paletteOffset + (h.bitCount <= 8 ? palette.size() * h.paletteEntrySize : 0);
    if (offBits < kFileHeaderSize + h.headerSize || offBits > in.Size() || imageSize > in.Size() - offBits)
        Invalid();

    TBitmap result(int(h.width), int(h.height));
    for (int64_t y = 0; y < h.height; ++y) {
        const uint8_t* row = in.At(size_t(offBits + stride * uint64_t(y)));
        uint32_t* out = result.ScanLine(int(h.topDown ? y : h.height - 1 - y));
        for (int64_t x = 0; x < h.width; ++x) out[x] = DecodePixel(row, x, h, palette, channels);
    }
    into = std::move(result);
}

std::string EncodeBmp24(const TBitmap& bitmap) {
    const uint32_t stride = (uint32_t(bitmap.Width()) * 3 + 3) & ~3u;
    const uint32_t imageSize = stride * uint32_t(bitmap.Height());
    std::string out;
    out.reserve(54 + imageSize);
    out += "BM";
    PutLE(out, 54 + imageSize, 4);
    PutLE(out, 0, 4);
    PutLE(out, 54, 4);
    PutLE(out, 40, 4);
    PutLE(out, uint32_t(bitmap.Width()), 4);
    PutLE(out, uint32_t(bitmap.Height()), 4);
    PutLE(out, 1, 2);
    PutLE(out, 24, 2);
    PutLE(out, BI_RGB, 4);
    PutLE(out, imageSize, 4);
    PutLE(out, 2835, 4);
    PutLE(out, 2835, 4);
    PutLE(out, 0, 4);
    PutLE(out, 0, 4);
    for (int y = bitmap.Height() - 1; y >= 0; --y) {
        const uint32_t* row = bitmap.ScanLine(y);
        for (int x = 0; x < bitmap.Width(); ++x) PutLE(out, row[x], 3);
        out.append(stride - uint32_t(bitmap.Width()) * 3, '\0');
    }
    return out;
}

}  // namespace forms
