#include "tools/bookpack/imagefiles.h"

#include <zlib.h>

#include <stdexcept>

namespace bookpack {

namespace {

void PutBE32(std::string& out, uint32_t v) {
    for (int shift : {24, 16, 8, 0}) out.push_back(char((v >> shift) & 0xFF));
}

void PutLE16(std::string& out, uint32_t v) {
    out.push_back(char(v & 0xFF));
    out.push_back(char((v >> 8) & 0xFF));
}

void PutLE32(std::string& out, uint32_t v) {
    PutLE16(out, v & 0xFFFF);
    PutLE16(out, v >> 16);
}

void PutChunk(std::string& out, const char* type, const std::string& data) {
    PutBE32(out, uint32_t(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    PutBE32(out, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
}

std::string Deflate(const std::string& raw) {
    uLongf size = compressBound(uLong(raw.size()));
    std::string packed(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
                  uLong(raw.size()), 9) != Z_OK)
        throw std::runtime_error("deflate failed");
    packed.resize(size);
    return packed;
}

}  // namespace

std::string EncodePng(const forms::TBitmap& bitmap) {
    std::string header;
    PutBE32(header, uint32_t(bitmap.Width()));
    PutBE32(header, uint32_t(bitmap.Height()));
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter choice, no interlace
    std::string raw;
    raw.reserve(size_t(bitmap.Height()) * (size_t(bitmap.Width()) * 3 + 1));
    for (int y = 0; y < bitmap.Height(); ++y) {
        raw.push_back('\0');  // filter: none
        for (int x = 0; x < bitmap.Width(); ++x) {
            uint32_t p = bitmap.Pixel(x, y);
            raw.push_back(char((p >> 16) & 0xFF));
            raw.push_back(char((p >> 8) & 0xFF));
            raw.push_back(char(p & 0xFF));
        }
    }
    std::string png("\x89PNG\r\n\x1a\n", 8);
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", Deflate(raw));
    PutChunk(png, "IEND", "");
    return png;
}

std::string EncodeCursor(const forms::TBitmap& colour, const forms::TBitmap& alpha, int hotX, int hotY) {
    const int w = colour.Width(), h = colour.Height();
    if (w <= 0 || h <= 0 || w > 256 || h > 256 || alpha.Width() != w || alpha.Height() != h)
        throw std::invalid_argument("cursor images must match and be 1..256 pixels");
    const int maskStride = ((w + 31) / 32) * 4;
    std::string image;
    PutLE32(image, 40);                 // info header size
    PutLE32(image, uint32_t(w));
    PutLE32(image, uint32_t(h * 2));    // colour and mask rows together
    PutLE16(image, 1);                  // planes
    PutLE16(image, 32);                 // bits per pixel
    PutLE32(image, 0);                  // no compression
    PutLE32(image, uint32_t(w * h * 4 + maskStride * h));
    for (int i = 0; i < 4; ++i) PutLE32(image, 0);
    for (int y = h - 1; y >= 0; --y)
        for (int x = 0; x < w; ++x) {
            uint32_t p = colour.Pixel(x, y);
            image.push_back(char(p & 0xFF));
            image.push_back(char((p >> 8) & 0xFF));
            image.push_back(char((p >> 16) & 0xFF));
            image.push_back(char((alpha.Pixel(x, y) >> 8) & 0xFF));
        }
    for (int y = h - 1; y >= 0; --y) {
        std::string row(size_t(maskStride), '\0');
        for (int x = 0; x < w; ++x)
            if (((alpha.Pixel(x, y) >> 8) & 0xFF) == 0) row[size_t(x / 8)] |= char(0x80 >> (x % 8));
        image += row;
    }
    std::string file;
    PutLE16(file, 0);  // reserved
    PutLE16(file, 2);  // cursor
    PutLE16(file, 1);  // one image
    file.push_back(char(w == 256 ? 0 : w));
    file.push_back(char(h == 256 ? 0 : h));
    file.push_back('\0');  // no palette
    file.push_back('\0');
    PutLE16(file, uint32_t(hotX));
    PutLE16(file, uint32_t(hotY));
    PutLE32(file, uint32_t(image.size()));
    PutLE32(file, 22);  // the image follows the one directory entry
    return file + image;
}

}  // namespace bookpack
