// The text rules of the skin files that need no window: key pieces and values of configuration
// lines, colours, the fields of a BUTTON line, SKIN lines, list-template lines and the volume knob's
// place on its track.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "viewer/types.h"

namespace viewer {

// ---- configuration lines ----

// The comment cut: everything from the first ";" on goes.
std::string CutComment(const std::string& Line);

// Key pieces: lower-cased (A–Z only) stretches of the line in which key words are searched; each
// reaches past the "=" into the value.
std::string ShortKeyPiece(const std::string& Line);   // after the first "_", at most 99 characters
std::string EqualsKeyPiece(const std::string& Line);  // after the first "_", as many characters as the "=" position

// The value: Width characters after the line's first "=", case kept.
std::string ValueAfterEquals(const std::string& Line, int Width);

// Index of the first key word of Keys found in Piece, or -1.
int FindFirstKey(const std::string& Piece, std::initializer_list<std::string_view> Keys);

// A colour written RRGGBB, converted as "$00" + BB + GG + RR; raises rtl::EConvertError.
int32_t ConfigColor(const std::string& Value);

// ---- BUTTON lines ----

// The fifteen fields of a BUTTON line, each taken as the text before the next ","; a field with no
// "," after it is empty, and so is every later one.
enum TButtonField {
    bfKind, bfSubtype, bfTarget, bfLeft, bfTop, bfWidth, bfHeight, bfNormal, bfDown, bfUp, bfExtra,
    bfVisual, bfHAlign, bfVAlign, bfHint, bfCount
};
std::array<std::string, bfCount> SplitButtonFields(const std::string& Line);

// "system" 0, "data" 1 (after lower-casing), otherwise -1.
int ButtonKindCode(const std::string& Field);
// The action code 0..14 of a subtype word (after lower-casing), otherwise -1.
int ButtonSubtypeCode(const std::string& Field);
// Alignment codes compared exactly; the centre of the horizontal one is the Cyrillic "с" (0xF1).
uint8_t ButtonHAlignCode(const std::string& Field);
uint8_t ButtonVAlignCode(const std::string& Field);

// ---- SKIN lines ----

TKorSkin ParseSkinFields(const std::string& Line);

// ---- list templates ----

// Applies one ".edt" line to Template: the first key word found (search order; "middle" only when
// WithMiddle) names the field, which takes the lower-cased text between the "=" and the ";".
// Returns false when the line holds no key word.
bool ApplyTemplateLine(const std::string& Line, TKorTemplate& Template, bool WithMiddle);

// ---- volume knob ----

// The knob's offset from the track's left edge. Playing: from VolumePos when above 10, else from the
// player's volume less 130. Not playing: VolumePos becomes 850 when it is 0. The divisor is
// 1000 div the track width, at least 1; a track without width puts the knob at its left edge.
int KnobOffset(int TrackWidth, bool Playing, int32_t& VolumePos, int PlayerVolume);

}  // namespace viewer
