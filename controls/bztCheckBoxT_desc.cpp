// TbztCheckBoxT in form descriptions: its published properties in description order (a Checked
// written after OnClick runs the handler, one written before it runs nothing).
#include "controls/bztCheckBoxT.h"
#include "platform/forms/formdesc.h"
#include "platform/rtl/sysutils.h"

namespace controls {

using forms::PropChoice;

namespace {

bool Is(const std::string& name, const char* expected) { return rtl::SameText(name, expected); }

// Published for the designer's sake; nothing here acts on them.
bool IsInertBoolean(const std::string& name) {
    for (const char* inert : {"Ctl3D", "ParentBiDiMode", "ParentColor", "ParentCtl3D", "ParentFont", "ParentShowHint"})
        if (Is(name, inert)) return true;
    return false;
}

}  // namespace

bool TbztCheckBoxT::SetProperty(const std::string& name, const forms::TPropValue& value, forms::TFormLoader& loader) {
    if (Is(name, "Alignment")) {
        SetAlignment(PropChoice(value, loader, {"taLeftJustify", "taRightJustify"}) == 0 ? taLeftJustify : taRightJustify);
    } else if (Is(name, "AllowGrayed")) {
        AllowGrayed = value.AsBoolean();
    } else if (Is(name, "Caption")) {
        SetCaption(value.AsString());
    } else if (Is(name, "Checked")) {
        SetChecked(value.AsBoolean());
    } else if (Is(name, "State")) {
        SetState(TCheckBoxState(PropChoice(value, loader, {"cbUnchecked", "cbChecked", "cbGrayed"})));
    } else if (Is(name, "WordWrap")) {
        SetWordWrap(value.AsBoolean());
    } else if (Is(name, "TabStop")) {
        TabStop = value.AsBoolean();
    } else if (Is(name, "TabOrder")) {
        TabOrder = value.AsInt(-1, 0x7FFF);
    } else if (Is(name, "BiDiMode")) {
        SetRightToLeft(PropChoice(value, loader, {"bdLeftToRight", "bdRightToLeft", "bdRightToLeftNoAlign",
                                              "bdRightToLeftReadingOnly"}) != 0);
    } else if (IsInertBoolean(name)) {
        value.AsBoolean();
    } else {
        bool known = TNewCustomCheckBox::SetProperty(name, value, loader);
        if (known && Is(name.substr(0, 5), "Font.")) SetFont(Font);
        return known;
    }
    return true;
}

}  // namespace controls
