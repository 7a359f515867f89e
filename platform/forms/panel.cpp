#include "platform/forms/panel.h"

#include "platform/forms/canvas.h"
#include "platform/forms/formdesc.h"
#include "platform/rtl/sysutils.h"

namespace forms {

TPanel::TPanel(TComponent* owner) : TWinControl(owner) {
    FWidth = 185;
    FHeight = 41;
}

void TPanel::SetColor(TColor color) {
    TWinControl::SetColor(color);
    if (auto* peer = dynamic_cast<IPanelPeer*>(FPeer.get())) peer->SetColor(color);
}

void TPanel::Paint(TCanvas& canvas) {
    canvas.Brush.Color = FColor;
    canvas.FillRect(ClientRect());
    if (BevelOuter == bvRaised || BevelOuter == bvLowered) {
        TColor light = BevelOuter == bvRaised ? clBtnHighlight : clBtnShadow;
        TColor dark = BevelOuter == bvRaised ? clBtnShadow : clBtnHighlight;
        canvas.Brush.Color = light;
        canvas.FillRect(Rect(0, 0, FWidth, 1));
        canvas.FillRect(Rect(0, 0, 1, FHeight));
        canvas.Brush.Color = dark;
        canvas.FillRect(Rect(0, FHeight - 1, FWidth, FHeight));
        canvas.FillRect(Rect(FWidth - 1, 0, FWidth, FHeight));
    }
    if (!Caption.empty()) {
        canvas.Font = Font;
        canvas.Brush.Style = bsClear;
        TPoint size = canvas.TextExtent(Caption);
        canvas.TextOut((FWidth - size.X) / 2, (FHeight - size.Y) / 2, Caption);
    }
}

bool TPanel::SetProperty(const std::string& name, const TPropValue& value, TFormLoader& loader) {
    auto bevel = [&](const TPropValue& v) {
        const std::string& id = v.AsIdentifier();
        if (rtl::SameText(id, "bvNone")) return bvNone;
        if (rtl::SameText(id, "bvLowered")) return bvLowered;
        if (rtl::SameText(id, "bvRaised")) return bvRaised;
        if (rtl::SameText(id, "bvSpace")) return bvSpace;
        loader.Fail(v.line, "Unknown bevel " + id);
    };
    if (rtl::SameText(name, "Caption")) Caption = value.AsString();
    else if (rtl::SameText(name, "BevelOuter")) BevelOuter = bevel(value);
    else if (rtl::SameText(name, "BevelInner")) BevelInner = bevel(value);
    else return TWinControl::SetProperty(name, value, loader);
    Invalidate();
    return true;
}

std::unique_ptr<IControlPeer> TPanel::CreatePeer(IBackend& backend, IWindowPeer& window) {
    return backend.CreatePanelPeer(*this, window);
}

void TPanel::PeerCreated() {
    if (auto* peer = dynamic_cast<IPanelPeer*>(FPeer.get())) peer->SetColor(FColor);
}

}  // namespace forms
