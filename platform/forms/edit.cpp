#include "platform/forms/edit.h"

#include "platform/forms/canvas.h"
#include "platform/forms/formdesc.h"
#include "platform/rtl/sysutils.h"

namespace forms {

TEdit::TEdit(TComponent* owner) : TWinControl(owner) {
    FWidth = 121;
    FHeight = 21;
    FColor = clWindow;
    FCursor = crIBeam;
}

IEditPeer* TEdit::EditPeer() const { return dynamic_cast<IEditPeer*>(FPeer.get()); }

void TEdit::SetText(const std::string& text) {
    std::string value = FMaxLength > 0 && int(text.size()) > FMaxLength ? text.substr(0, size_t(FMaxLength)) : text;
    if (value == FText) return;
    FText = value;
    if (IEditPeer* peer = EditPeer(); peer && !FUpdatingFromPeer) peer->SetText(FText);
    Invalidate();
    Fire(OnChange, this);
}

void TEdit::SetMaxLength(int value) {
    FMaxLength = value < 0 ? 0 : value;
    if (IEditPeer* peer = EditPeer()) peer->SetMaxLength(FMaxLength);
}

void TEdit::SetPasswordChar(char value) {
    FPasswordChar = value;
    if (IEditPeer* peer = EditPeer()) peer->SetPasswordChar(value);
    Invalidate();
}

void TEdit::SetBorderNone(bool value) {
    FBorderNone = value;
    if (IEditPeer* peer = EditPeer()) peer->SetBorder(!value);
    Invalidate();
}

void TEdit::SetColor(TColor color) {
    TWinControl::SetColor(color);
    if (IEditPeer* peer = EditPeer()) peer->SetColors(FColor, Font.Color);
}

void TEdit::SetFont(const TFont& font) {
    Font = font;
    if (IEditPeer* peer = EditPeer()) {
        peer->SetFont(Font);
        peer->SetColors(FColor, Font.Color);
    }
    Invalidate();
}

void TEdit::SelectAll() {
    if (IEditPeer* peer = EditPeer()) peer->SelectAll();
}

void TEdit::ApplyTypedKey(char key) {
    if (key == 0) return;
    if (key == '\b') {
        if (!FText.empty()) SetText(FText.substr(0, FText.size() - 1));
        return;
    }
    if (static_cast<unsigned char>(key) < 32) return;
    if (FMaxLength > 0 && int(FText.size()) >= FMaxLength) return;
    SetText(FText + key);
}

void TEdit::PeerTextChanged(const std::string& text) {
    FUpdatingFromPeer = true;
    try {
        SetText(text);
    } catch (...) {
        FUpdatingFromPeer = false;
        throw;
    }
    FUpdatingFromPeer = false;
}

std::unique_ptr<IControlPeer> TEdit::CreatePeer(IBackend& backend, IWindowPeer& window) {
    return backend.CreateEditPeer(*this, window);
}

void TEdit::PeerCreated() {
    IEditPeer* peer = EditPeer();
    if (!peer) return;
    peer->SetMaxLength(FMaxLength);
    peer->SetPasswordChar(FPasswordChar);
    peer->SetBorder(!FBorderNone);
    peer->SetFont(Font);
    peer->SetColors(FColor, Font.Color);
    peer->SetText(FText);
}

void TEdit::Paint(TCanvas& canvas) {
    canvas.Brush.Color = FColor;
    canvas.FillRect(ClientRect());
    if (!FBorderNone) {
        canvas.Brush.Color = clBtnShadow;
        canvas.FrameRect(ClientRect());
    }
    std::string shown = FPasswordChar ? std::string(FText.size(), FPasswordChar) : FText;
    if (shown.empty()) return;
    canvas.Font = Font;
    canvas.Brush.Style = bsClear;
    canvas.TextOut(FBorderNone ? 0 : 2, FBorderNone ? 0 : 2, shown);
}

bool TEdit::SetProperty(const std::string& name, const TPropValue& value, TFormLoader& loader) {
    if (rtl::SameText(name, "Text")) SetText(value.AsString());
    else if (rtl::SameText(name, "MaxLength")) SetMaxLength(value.AsInt(0, 0x7FFFFFFF));
    else if (rtl::SameText(name, "PasswordChar")) {
        const std::string& s = value.AsString();
        SetPasswordChar(s.empty() ? '\0' : s[0]);
    } else if (rtl::SameText(name, "BorderStyle")) {
        const std::string& id = value.AsIdentifier();
        if (rtl::SameText(id, "bsNone")) SetBorderNone(true);
        else if (rtl::SameText(id, "bsSingle")) SetBorderNone(false);
        else loader.Fail(value.line, "Unknown border style " + id);
    } else {
        bool handled = TWinControl::SetProperty(name, value, loader);
        if (handled && rtl::SameText(name.substr(0, 5), "Font.")) SetFont(Font);
        return handled;
    }
    return true;
}

bool TEdit::SetEvent(const std::string& name, const std::any& handler) {
    if (rtl::SameText(name, "OnChange")) {
        AssignEvent(OnChange, handler, name);
        return true;
    }
    return TWinControl::SetEvent(name, handler);
}

}  // namespace forms
