// TbztCheckBoxT in form descriptions: its published properties in description order (a Checked
// written after OnClick runs the handler, one written before it runs nothing).
#include "controls/bztCheckBoxT.h"
#include "platform/forms/formdesc.h"
#include "platform/rtl/sysutils.h"

namespace controls {

namespace {

bool Is(const std::string& name, const char* expected) { return rtl::SameText(name, expected); }

int Choice(const forms::TPropValue& value, forms::TFormLoader& loader, std::initializer_list<const char*> names) {
    const std::string& id = value.AsIdentifier();
    int index = 0;
    for (const char* name : names) {
        if (rtl::SameText(id, name)) return index;
        ++index;
    }
    loader.Fail(value.line, "Unknown value " + id);
}

// Published for the designer's sake; nothing here acts on them.
bool IsInertBoolean(const std::string& name) {
    for (const char* inert : {"Ctl3D", "ParentBiDiMode", "ParentColor", "ParentCtl3D", "ParentFont", "ParentShowHint"})
        if (Is(name, inert)) return true;
    return false;
}

}  // namespace

bool TbztCheckBoxT::SetProperty(const std::string& name, const forms::TPropValue& value, forms::TFormLoader& loader) {
    if (Is(name, "Alignment")) {
        SetAlignment(Choice(value, loader, {"taLeftJustify", "taRightJustify"}) == 0 ? taLeftJustify : taRightJustify);
    } else if (Is(name, "AllowGrayed")) {
        AllowGrayed = value.AsBoolean();
    } else if (Is(name, "Caption")) {
        SetCaption(value.AsString());
    } else if (Is(name, "Checked")) {
        SetChecked(value.AsBoolean());
    } else if (Is(name, "State")) {
        SetState(TCheckBoxState(Choice(value, loader, {"cbUnchecked", "cbChecked", "cbGrayed"})));
    } else if (Is(name, "WordWrap")) {
        SetWordWrap(value.AsBoolean());
    } else if (Is(name, "TabStop")) {
        TabStop = value.AsBoolean();
    } else if (Is(name, "TabOrder")) {
        TabOrder = value.AsInt(-1, 0x7FFF);
    } else if (Is(name, "BiDiMode")) {
        SetRightToLeft(Choice(value, loader, {"bdLeftToRight", "bdRightToLeft", "bdRightToLeftNoAlign",
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
