// Windows bitmap (BMP) codec: every depth the platform reads, each header field checked.
#pragma once

#include <string>
#include <string_view>

#include "platform/rtl/exceptions.h"

namespace forms {

class TBitmap;

// Raised for data that is not a bitmap the decoder can read.
class EInvalidGraphic : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

// Decodes a whole BMP file image (file header first). Raises EInvalidGraphic; on success
// replaces `into`. Refuses run-length and embedded-image compressions cleanly.
void DecodeBmp(std::string_view data, TBitmap& into);
// 24-bit bottom-up BMP with a 40-byte info header.
std::string EncodeBmp24(const TBitmap& bitmap);

}  // namespace forms
