#include "test_util.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/rtl/paths.h"

namespace formstest {

TempFolder::TempFolder() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "forms_test_XXXXXX").string();
    std::vector<char> buffer(tmpl.begin(), tmpl.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) throw std::runtime_error("mkdtemp failed");
    FNative = buffer.data();
    FPath = rtl::IncludeTrailingBackslash(rtl::FromNativePath(FNative));
}

TempFolder::~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(FNative, ec);
}

void TempFolder::Write(const std::string& relative, const std::string& bytes) const {
    std::filesystem::path path = std::filesystem::path(FNative) / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

namespace {

void Put(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(char((value >> (8 * i)) & 0xFF));
}

uint32_t PackBitfield(uint32_t pixel, const uint32_t (&masks)[3]) {
    uint32_t result = 0;
    for (int c = 0; c < 3; ++c) {
        uint32_t mask = masks[c];
        if (!mask) continue;
        int shift = __builtin_ctz(mask);
        uint32_t max = mask >> shift;
        uint32_t channel = (pixel >> (16 - 8 * c)) & 0xFF;
        result |= ((channel * max + 127) / 255) << shift;
    }
    return result;
}

}  // namespace

std::string MakeBmp(int width, int height, const std::vector<uint32_t>& pixels, const BmpSpec& spec) {
    std::vector<uint32_t> palette;
    if (spec.bitCount <= 8) {
        for (uint32_t p : pixels)
            if (std::find(palette.begin(), palette.end(), p) == palette.end()) palette.push_back(p);
        int capacity = spec.paletteColors >= 0 ? spec.paletteColors : 1 << spec.bitCount;
        palette.resize(size_t(capacity), 0);
    }
    bool core = spec.headerSize == 12;
    int entry = core ? 3 : 4;
    bool separateMasks = spec.compression == 3 && spec.headerSize == 40;
    uint32_t stride = ((uint32_t(width) * spec.bitCount + 31) / 32) * 4;
    uint32_t offBits = 14 + spec.headerSize + (separateMasks ? 12 : 0) + uint32_t(palette.size()) * entry;

    std::string out = "BM";
    Put(out, offBits + stride * uint32_t(height), 4);
    Put(out, 0, 4);
    Put(out, offBits, 4);
    Put(out, spec.headerSize, 4);
    if (core) {
        Put(out, uint32_t(width), 2);
        Put(out, uint32_t(height), 2);
        Put(out, 1, 2);
        Put(out, uint32_t(spec.bitCount), 2);
    } else {
        Put(out, uint32_t(width), 4);
        Put(out, uint32_t(spec.topDown ? -height : height), 4);
        Put(out, 1, 2);
        Put(out, uint32_t(spec.bitCount), 2);
        Put(out, spec.compression, 4);
        Put(out, stride * uint32_t(height), 4);
        Put(out, 2835, 4);
        Put(out, 2835, 4);
        Put(out, spec.bitCount <= 8 ? uint32_t(palette.size()) : 0, 4);
        Put(out, 0, 4);
        size_t extra = spec.headerSize - 40;
        std::string tail(extra, '\0');
        if (extra >= 12 && spec.compression == 3)
            for (int i = 0; i < 3; ++i)
                for (int b = 0; b < 4; ++b) tail[size_t(i * 4 + b)] = char((spec.masks[i] >> (8 * b)) & 0xFF);
        out += tail;
        if (separateMasks)
            for (uint32_t m : spec.masks) Put(out, m, 4);
    }
    for (uint32_t p : palette) Put(out, p, entry);  // B, G, R (, 0)
    for (int row = 0; row < height; ++row) {
        int y = spec.topDown ? row : height - 1 - row;
        std::string line(stride, '\0');
        for (int x = 0; x < width; ++x) {
            uint32_t p = pixels[size_t(y) * size_t(width) + size_t(x)];
            if (spec.bitCount <= 8) {
                uint32_t index = uint32_t(std::find(palette.begin(), palette.end(), p) - palette.begin());
                int bitPos = x * spec.bitCount;
                line[size_t(bitPos / 8)] = char(uint8_t(line[size_t(bitPos / 8)]) |
                                                (index << (8 - spec.bitCount - bitPos % 8)));
            } else if (spec.bitCount == 24) {
                for (int b = 0; b < 3; ++b) line[size_t(x * 3 + b)] = char((p >> (8 * b)) & 0xFF);
            } else {
                uint32_t v = spec.compression == 3 ? PackBitfield(p, spec.masks)
                             : spec.bitCount == 16 ? PackBitfield(p, {0x7C00, 0x03E0, 0x001F})
                                                   : p;
                int bytes = spec.bitCount / 8;
                for (int b = 0; b < bytes; ++b) line[size_t(x * bytes + b)] = char((v >> (8 * b)) & 0xFF);
            }
        }
        out += line;
    }
    return out;
}

std::vector<uint32_t> Pattern(int width, int height, int colours) {
    static const uint32_t kColours[] = {Rgb(0, 0, 0),     Rgb(255, 255, 255), Rgb(255, 0, 0),  Rgb(0, 255, 0),
                                        Rgb(0, 0, 255),   Rgb(255, 255, 0),   Rgb(0, 255, 255), Rgb(255, 0, 255),
                                        Rgb(128, 0, 0),   Rgb(0, 128, 0),     Rgb(0, 0, 128),   Rgb(128, 128, 0),
                                        Rgb(0, 128, 128), Rgb(128, 0, 128),   Rgb(192, 192, 192), Rgb(128, 128, 128)};
    std::vector<uint32_t> pixels(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels[size_t(y * width + x)] = kColours[(x * 3 + y * 5) % colours];
    return pixels;
}

forms::TBitmap SolidBitmap(int width, int height, uint32_t pixel) {
    forms::TBitmap b(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) b.SetPixel(x, y, pixel);
    return b;
}

}  // namespace formstest
