#include "platform/forms/font.h"

namespace forms {

int TFont::Height() const { return -(Size * 96 + 36) / 72; }

void TFont::SetHeight(int height) {
    int pixels = height < 0 ? -height : height;
    Size = (pixels * 72 + 48) / 96;
}

}  // namespace forms
