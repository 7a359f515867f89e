#include "viewer/skinrules.h"

#include "platform/rtl/codepage.h"
#include "platform/rtl/sysutils.h"

namespace viewer {

using rtl::Copy;
using rtl::Pos;

std::string CutComment(const std::string& Line) {
    const int comment = Pos(";", Line);
    return comment > 0 ? Copy(Line, 1, comment - 1) : Line;
}

std::string ShortKeyPiece(const std::string& Line) {
    return rtl::LowerCase(Copy(Line, Pos("_", Line) + 1, 99));
}

std::string EqualsKeyPiece(const std::string& Line) {
    return rtl::LowerCase(Copy(Line, Pos("_", Line) + 1, Pos("=", Line)));
}

std::string ValueAfterEquals(const std::string& Line, int Width) { return Copy(Line, Pos("=", Line) + 1, Width); }

int FindFirstKey(const std::string& Piece, std::initializer_list<std::string_view> Keys) {
    int index = 0;
    for (std::string_view key : Keys) {
        if (Pos(key, Piece) > 0) return index;
        ++index;
    }
    return -1;
}

int32_t ConfigColor(const std::string& Value) {
    return rtl::StrToInt("$00" + Copy(Value, 5, 2) + Copy(Value, 3, 2) + Copy(Value, 1, 2));
}

std::array<std::string, bfCount> SplitButtonFields(const std::string& Line) {
    std::array<std::string, bfCount> fields;
    std::string rest = Copy(Line, Pos("=", Line) + 1, 999);
    fields[bfKind] = Copy(rest, 1, Pos(",", rest) - 1);
    for (int field = bfSubtype; field < bfHint; ++field) {
        rest = Copy(rest, Pos(",", rest) + 1, 999);
        fields[size_t(field)] = Copy(rest, 1, Pos(",", rest) - 1);
    }
    // The hint counts only when a "," follows it.
    rest = Copy(rest, Pos(",", rest) + 1, 999);
    if (!rest.empty() && Pos(",", rest) > 0) fields[bfHint] = Copy(rest, 1, Pos(",", rest) - 1);
    return fields;
}

int ButtonKindCode(const std::string& Field) {
    const std::string word = rtl::LowerCase(Field);
    if (word == "system") return 0;
    if (word == "data") return 1;
    return -1;
}

int ButtonSubtypeCode(const std::string& Field) {
    static constexpr std::string_view kWords[] = {
        "exit", "mute", "volumeup", "volumedown", "copyright", "update", "prefs", "help",
        "search", "favorites_add", "favorites_show", "html", "avi", "wave", "soft"};
    const std::string word = rtl::LowerCase(Field);
    for (size_t code = 0; code < std::size(kWords); ++code)
        if (word == kWords[code]) return int(code);
    return -1;
}

uint8_t ButtonHAlignCode(const std::string& Field) {
    if (Field == "l") return kAlignLeft;
    if (Field == "\xF1") return kAlignBoth;  // Cyrillic "с"
    if (Field == "r") return kAlignRight;
    return kAlignNone;
}

uint8_t ButtonVAlignCode(const std::string& Field) {
    if (Field == "t") return kAlignTop;
    if (Field == "m") return kAlignBoth;
    if (Field == "b") return kAlignBottom;
    return kAlignNone;
}

TKorSkin ParseSkinFields(const std::string& Line) {
    TKorSkin skin;
    std::string rest = Copy(Line, Pos("=", Line) + 1, int(Line.size()));
    skin.Name = rtl::Trim(Copy(rest, 1, Pos(",", rest) - 1));
    rtl::Delete(rest, 1, Pos(",", rest));
    skin.MediumSheet = rtl::Trim(Copy(rest, 1, Pos(",", rest) - 1));
    rtl::Delete(rest, 1, Pos(",", rest));
    skin.LargeSheet = rtl::Trim(rest);
    return skin;
}

bool ApplyTemplateLine(const std::string& Line, TKorTemplate& Template, bool WithMiddle) {
    const int equals = Pos("=", Line);
    const int semicolon = Pos(";", Line);
    const std::string lower = rtl::LowerCase(Line);
    // The count wraps as a 16-bit number: a ";" before the "=" or none at all takes the rest.
    const int count = int(uint16_t(semicolon - equals - 1));
    const std::string value = Copy(lower, equals + 1, count);

    std::string* fields[] = {&Template.template_top, &Template.template_bot, &Template.prefix,
                             &Template.postfix,      &Template.pre_odd_row,  &Template.post_odd_row,
                             &Template.pre_even,     &Template.post_even,    &Template.middle,
                             &Template.empty};
    static constexpr std::string_view kKeys[] = {"template_top", "template_bot", "prefix",   "postfix",
                                                 "pre_odd_row",  "post_odd_row", "pre_even", "post_even",
                                                 "middle",       "empty"};
    for (size_t k = 0; k < std::size(kKeys); ++k) {
        if (kKeys[k] == "middle" && !WithMiddle) continue;
        if (Pos(kKeys[k], lower) > 0) {
            *fields[k] = value;
            return true;
        }
    }
    return false;
}

int KnobOffset(int TrackWidth, bool Playing, int32_t& VolumePos, int PlayerVolume) {
    if (!Playing && VolumePos == 0) VolumePos = 850;
    if (TrackWidth <= 0) return 0;
    const int divisor = TrackWidth > 1000 ? 1 : 1000 / TrackWidth;
    if (Playing && VolumePos <= 10) return (PlayerVolume - 130) / divisor;
    return int((int64_t(VolumePos) + 5) / divisor);
}

}  // namespace viewer
