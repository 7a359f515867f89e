// Shared helpers of the class-library tests: a headless fixture, temporary folders and a BMP
// writer that produces every depth and header layout the decoder must read.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/forms/application.h"
#include "platform/forms/bitmap.h"
#include "platform/headless/headless.h"

namespace formstest {

// A fresh application on a headless backend for each test.
class HeadlessTest : public ::testing::Test {
protected:
    headless::TScopedHeadless backend;
};

// A temporary folder removed with the object; Path() is Windows style with a trailing "\".
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::string& Path() const { return FPath; }
    const std::string& Native() const { return FNative; }
    void Write(const std::string& relative, const std::string& bytes) const;

private:
    std::string FNative;
    std::string FPath;
};

// Pixel helpers: 0x00RRGGBB.
constexpr uint32_t Rgb(int r, int g, int b) { return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b); }

// Writes a BMP of the given depth from 0x00RRGGBB pixels (rows top-down). For depths up to 8 the
// palette holds the distinct colours in order of appearance.
struct BmpSpec {
    int bitCount = 24;
    bool topDown = false;
    uint32_t headerSize = 40;      // 12, 40, 52, 56, 108 or 124
    uint32_t compression = 0;      // 0 BI_RGB, 3 BI_BITFIELDS
    uint32_t masks[3] = {0, 0, 0}; // for bit fields
    int paletteColors = -1;        // colours written (-1: as many as the depth allows)
};
std::string MakeBmp(int width, int height, const std::vector<uint32_t>& pixels, const BmpSpec& spec);

// A small deterministic picture.
std::vector<uint32_t> Pattern(int width, int height, int colours);

forms::TBitmap SolidBitmap(int width, int height, uint32_t pixel);

}  // namespace formstest
