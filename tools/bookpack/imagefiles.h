// Picture files the packer writes besides BMP: PNG pictures for the pages and cursor files.
#pragma once

#include <string>

#include "platform/forms/bitmap.h"

namespace bookpack {

// An 8-bit RGB PNG file image of the bitmap.
std::string EncodePng(const forms::TBitmap& bitmap);

// A cursor file (".cur") with one 32-bit image: colour from `colour`, opacity 0..255 from the
// green channel of `alpha` (same size, at most 256 x 256), hot spot at (hotX, hotY).
std::string EncodeCursor(const forms::TBitmap& colour, const forms::TBitmap& alpha, int hotX, int hotY);

}  // namespace bookpack
