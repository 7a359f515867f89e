// Shared record types of the viewer: skin buttons, text styles, list templates, the current
// document, the decoded configuration lines and the picture store.
//
// All of the viewer's own code lives in namespace viewer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace forms {
class TBitmap;
class TImage;
}  // namespace forms

namespace viewer {

// One picture button of the skin, in the order its BUTTON line gives the fields.
// The four pictures are image holders owned by the main window and never placed on it.
struct TMBut {
    uint8_t Kind = 0;       // 0 "system", 1 "data"
    uint8_t Subtype = 0;    // action code 0..14
    std::string Target;     // page, clip or program; case kept
    int32_t Left = 0;
    int32_t Top = 0;        // the layout pass adds the header height once
    uint16_t Height = 0;
    uint16_t Width = 0;
    forms::TImage* NormalPicture = nullptr;
    forms::TImage* DownPicture = nullptr;
    forms::TImage* UpPicture = nullptr;
    forms::TImage* ExtraPicture = nullptr;
    std::string Visual;     // program folder + "visual\" + the line's field
    uint8_t HAlign = 0;     // 3 left, 4 right, 6 centre, 0 none
    uint8_t VAlign = 0;     // 1 top, 2 bottom, 6 middle, 0 none
    std::string Hint;
};

// Button alignment codes.
constexpr uint8_t kAlignNone = 0;
constexpr uint8_t kAlignTop = 1;
constexpr uint8_t kAlignBottom = 2;
constexpr uint8_t kAlignLeft = 3;
constexpr uint8_t kAlignRight = 4;
constexpr uint8_t kAlignBoth = 6;

// One text style offered by the settings dialog.
struct TKorSkin {
    std::string Name;
    std::string MediumSheet;  // stylesheets relative to the data folder
    std::string LargeSheet;
    std::string Spare;        // no line fills it
};

// A list template: ten strings named after the keys of its ".edt" file.
struct TKorTemplate {
    std::string template_top;
    std::string template_bot;
    std::string prefix;
    std::string postfix;
    std::string pre_odd_row;
    std::string post_odd_row;
    std::string pre_even;
    std::string post_even;
    std::string empty;
    std::string middle;
};

// The document shown: a page relative to the data folder (or a full path), or a clip.
struct TCurDoc {
    std::string Path;
    uint8_t IsVideo = 0;  // 1 clip, 0 page
};

// Decoded configuration lines in file order.
using TKorDecoded = std::vector<std::string>;

// One named picture of "face.dat"; entries whose name lacks "bmp" carry no bitmap.
struct TKorImage {
    std::string Name;
    std::shared_ptr<forms::TBitmap> Picture;
};
using TKorImages = std::vector<TKorImage>;

}  // namespace viewer
