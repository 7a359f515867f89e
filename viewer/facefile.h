// "face.dat": the skin's named pictures behind a fixed-size prefix.
//
// After kFacePrefixSize bytes that carry nothing, entries follow to the end of the file, each:
// the name's length in decimal digits, "|", the name, the data's length in decimal digits, "|",
// the data. An entry whose name holds "bmp" (lower case) carries a BMP file image.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "viewer/types.h"

namespace viewer {

constexpr size_t kFacePrefixSize = 39716;

// Raised by the reader for a damaged file; Read keeps what came before the damage.
class EFaceFileError : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

// Appends the entries of a whole file image to into, in file order. An entry whose name was read
// stays in into even when its data turns out damaged (it then has no bitmap). Raises
// EFaceFileError (or forms::EInvalidGraphic for bitmap data that cannot be read) at the first
// damage (a file shorter than the prefix is damaged too); entries before it are kept. Allocates no more than the file's own size allows.
void ReadFaceFile(std::string_view file, TKorImages& into);

// True when a name marks a bitmap entry ("bmp" anywhere, case as written).
bool IsBitmapEntryName(std::string_view name);

// One entry as the packer writes it: raw data bytes (a BMP file image for "bmp" names).
struct TFaceEntry {
    std::string Name;
    std::string Data;
};

// Builds a whole file: the prefix (filled with `filler`), then the entries in order.
std::string WriteFaceFile(const std::vector<TFaceEntry>& entries, char filler = '\0');

}  // namespace viewer
