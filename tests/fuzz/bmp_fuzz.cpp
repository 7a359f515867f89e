// BMP decoding alone: whatever decodes must survive encoding and decoding again pixel for pixel.
#include <cstddef>
#include <cstdint>

#include "fuzz_util.h"
#include "platform/forms/bitmap.h"
#include "platform/forms/bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    forms::TBitmap first;
    try {
        forms::DecodeBmp(fuzzutil::AsText(data, size), first);
    } catch (const rtl::Exception&) {
        return 0;
    }
    forms::TBitmap second;
    forms::DecodeBmp(forms::EncodeBmp24(first), second);
    fuzzutil::Check(second.Width() == first.Width() && second.Height() == first.Height(),
                    "a re-encoded bitmap keeps its size");
    // The encoder writes 24 bits: the colour survives, an alpha channel does not.
    for (int y = 0; y < first.Height(); ++y)
        for (int x = 0; x < first.Width(); ++x)
            fuzzutil::Check(((first.Pixel(x, y) ^ second.Pixel(x, y)) & 0xFFFFFFu) == 0,
                            "a re-encoded bitmap keeps its pixels");
    return 0;
}
