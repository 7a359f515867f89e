// TOrvGauge in form descriptions: every published property, applied through its setter in the
// order the description lists them (the range checks wait until the whole gauge is loaded).
#include <cstdint>

#include "controls/cm_OrvGauges.h"
#include "platform/forms/formdesc.h"
#include "platform/rtl/sysutils.h"

namespace controls {

namespace {

bool Is(const std::string& name, const char* expected) { return rtl::SameText(name, expected); }

int AnyInt(const forms::TPropValue& value) { return value.AsInt(INT32_MIN, INT32_MAX); }

// An identifier from a fixed list; its index.
int Choice(const forms::TPropValue& value, forms::TFormLoader& loader, std::initializer_list<const char*> names) {
    const std::string& id = value.AsIdentifier();
    int index = 0;
    for (const char* name : names) {
        if (rtl::SameText(id, name)) return index;
        ++index;
    }
    loader.Fail(value.line, "Unknown value " + id);
}

}  // namespace

bool TOrvGauge::SetEnumProperty(const std::string& name, const forms::TPropValue& value, forms::TFormLoader& loader) {
    if (Is(name, "Kind")) {
        SetKind(TOrvGaugeKind(Choice(value, loader, {"lgkHorizontalBar", "lgkVerticalBar", "lgkPie3D", "lgkPie"})));
    } else if (Is(name, "BorderStyle")) {
        SetBorderStyle(Choice(value, loader, {"bsNone", "bsSingle"}) == 0 ? forms::bsNone : forms::bsSingle);
    } else if (Is(name, "HorTextAlignment")) {
        SetHorTextAlignment(TAlignment(Choice(value, loader, {"taLeftJustify", "taRightJustify", "taCenter"})));
    } else if (Is(name, "VerTextAlignment")) {
        SetVerTextAlignment(TOrvVerAlignment(Choice(value, loader, {"taTop", "taCentered", "taBottom"})));
    } else if (Is(name, "Align")) {
        Choice(value, loader, {"alNone"});  // the class library here aligns nothing
    } else {
        return false;
    }
    return true;
}

// Font.* names the gauge's own font; the inherited parser reads the common ones.
bool TOrvGauge::SetFontProperty(const std::string& name, const forms::TPropValue& value, forms::TFormLoader& loader) {
    if (!rtl::SameText(name.substr(0, 5), "Font.")) return false;
    if (Is(name, "Font.ColorOnFilled")) {
        FFont.SetColorOnFilled(forms::PropColor(value, loader));
    } else if (Is(name, "Font.ColorOnBackground")) {
        FFont.SetColorOnBackground(forms::PropColor(value, loader));
    } else if (Is(name, "Font.FixTextColor")) {
        FFont.SetFixTextColor(value.AsBoolean());
    } else {
        forms::TFont inherited = Font;
        Font = FFont;
        bool known = TGraphicControl::SetProperty(name, value, loader);
        static_cast<forms::TFont&>(FFont) = Font;
        Font = inherited;
        if (!known) return false;
        Changed();
    }
    return true;
}

bool TOrvGauge::SetProperty(const std::string& name, const forms::TPropValue& value, forms::TFormLoader& loader) {
    FLoading = true;
    auto picture = [&] {
        forms::TBitmap bitmap;
        if (!value.AsString().empty()) loader.LoadPicture(value.AsString(), bitmap);
        return bitmap;
    };
    if (Is(name, "BackColor")) SetBackColor(forms::PropColor(value, loader));
    else if (Is(name, "BorderColor")) SetBorderColor(forms::PropColor(value, loader));
    else if (Is(name, "ForeColor")) SetForeColor(forms::PropColor(value, loader));
    else if (Is(name, "Frame3D")) SetFrame3D(value.AsBoolean());
    else if (Is(name, "MinValue")) SetMinValue(AnyInt(value));
    else if (Is(name, "MaxValue")) SetMaxValue(AnyInt(value));
    else if (Is(name, "Progress")) SetProgress(AnyInt(value));
    else if (Is(name, "ShowText")) SetShowText(value.AsBoolean());
    else if (Is(name, "Text")) SetText(value.AsString());
    else if (Is(name, "TextureOnBack")) SetTextureOnBack(picture());
    else if (Is(name, "TextureOnFore")) SetTextureOnFore(picture());
    else if (Is(name, "TransparentFore")) SetTransparentFore(value.AsBoolean());
    else if (Is(name, "TransparentBack")) SetTransparentBack(value.AsBoolean());
    else if (Is(name, "ForeAsBlocks")) ForeAsBlocks = value.AsBoolean();
    else if (Is(name, "ForeBlockSize")) ForeBlockSize = AnyInt(value);
    else if (Is(name, "TextInCenterFore")) SetTextInCenterFore(value.AsBoolean());
    else if (Is(name, "Pie3DHeight")) Pie3DHeight = AnyInt(value);
    else if (Is(name, "Pie3DColor")) Pie3DColor = forms::PropColor(value, loader);
    else if (Is(name, "Edge")) Edge = AnyInt(value);
    else if (Is(name, "RunningStrip")) RunningStrip = value.AsBoolean();
    else if (Is(name, "RuningStep")) RuningStep = AnyInt(value);
    else if (Is(name, "ParentColor") || Is(name, "ParentFont") || Is(name, "ParentShowHint")) value.AsBoolean();
    else if (SetEnumProperty(name, value, loader) || SetFontProperty(name, value, loader)) return true;
    else return TGraphicControl::SetProperty(name, value, loader);
    return true;
}

void TOrvGauge::Loaded() {
    TGraphicControl::Loaded();
    FLoading = false;
}

}  // namespace controls
