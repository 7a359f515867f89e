// Font description used by canvases (Pango text) and edit peers.
#pragma once

#include <cstdint>
#include <string>

#include "platform/forms/types.h"

namespace forms {

using TFontStyles = uint8_t;
constexpr TFontStyles fsBold = 1;
constexpr TFontStyles fsItalic = 2;
constexpr TFontStyles fsUnderline = 4;
constexpr TFontStyles fsStrikeOut = 8;

class TFont {
public:
    std::string Name = "MS Sans Serif";  // cp1251; unknown families fall back to the desktop's sans
    int Size = 8;                         // points at 96 dpi; Height = -Size * 96 / 72
    TColor Color = clWindowText;
    TFontStyles Style = 0;

    int Height() const;
    void SetHeight(int height);  // negative = character height in pixels, as the class library has it
    bool operator==(const TFont&) const = default;
};

}  // namespace forms
