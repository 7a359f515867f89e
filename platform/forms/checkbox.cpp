#include "platform/forms/checkbox.h"

#include "platform/forms/canvas.h"
#include "platform/forms/formdesc.h"
#include "platform/rtl/sysutils.h"

namespace forms {

namespace {
constexpr int kBoxSize = 13;
}

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner) {
    FWidth = 97;
    FHeight = 17;
}

ICheckBoxPeer* TCheckBox::CheckPeer() const { return dynamic_cast<ICheckBoxPeer*>(FPeer.get()); }

void TCheckBox::SetChecked(bool value) {
    if (value == FChecked) return;
    FChecked = value;
    if (ICheckBoxPeer* peer = CheckPeer()) peer->SetState(FChecked ? cpsChecked : cpsUnchecked);
    Invalidate();
    TWinControl::Click();
}

void TCheckBox::SetCaption(const std::string& caption) {
    FCaption = caption;
    if (ICheckBoxPeer* peer = CheckPeer()) peer->SetCaption(FCaption);
    Invalidate();
}

void TCheckBox::SetCaptionLeft(bool value) {
    FCaptionLeft = value;
    if (ICheckBoxPeer* peer = CheckPeer()) peer->SetLayout(FCaptionLeft, false);
    Invalidate();
}

void TCheckBox::Click() { SetChecked(!FChecked); }

void TCheckBox::KeyPress(char& key) {
    TWinControl::KeyPress(key);
    if (key == ' ' && !FPeer) Click();  // a native button handles Space itself
}

TCheckBoxPeerState TCheckBox::PeerClicked() {
    // The handler may free the box; the state to show is taken before it runs.
    const bool checked = !FChecked;
    SetChecked(checked);
    return checked ? cpsChecked : cpsUnchecked;
}

void TCheckBox::SetFont(const TFont& font) {
    Font = font;
    if (ICheckBoxPeer* peer = CheckPeer()) peer->SetFont(Font);
    Invalidate();
}

void TCheckBox::Paint(TCanvas& canvas) {
    const int boxLeft = FCaptionLeft ? FWidth - kBoxSize : 0;
    const int boxTop = (FHeight - kBoxSize) / 2;
    const TRect box = Bounds(boxLeft, boxTop, kBoxSize, kBoxSize);
    canvas.Brush.Color = FEnabled ? clWindow : clBtnFace;
    canvas.FillRect(box);
    canvas.Brush.Color = clBtnShadow;
    canvas.FrameRect(box);
    if (FChecked) {
        // A tick of two strokes.
        canvas.Pen.Color = clWindowText;
        for (int d = 0; d < 2; ++d) {
            canvas.MoveTo(boxLeft + 3, boxTop + 5 + d);
            canvas.LineTo(boxLeft + 5, boxTop + 7 + d);
            canvas.LineTo(boxLeft + 10, boxTop + 2 + d);
        }
    }
    if (FCaption.empty()) return;
    canvas.Font = Font;
    canvas.Brush.Style = bsClear;
    canvas.TextOut(FCaptionLeft ? 0 : kBoxSize + 4, 1, FCaption);
}

bool TCheckBox::SetProperty(const std::string& name, const TPropValue& value, TFormLoader& loader) {
    if (rtl::SameText(name, "Caption")) SetCaption(value.AsString());
    else if (rtl::SameText(name, "Checked")) SetChecked(value.AsBoolean());
    else if (rtl::SameText(name, "TabOrder")) TabOrder = value.AsInt(0, 0x7FFF);
    else if (rtl::SameText(name, "TabStop")) TabStop = value.AsBoolean();
    else if (rtl::SameText(name, "Alignment")) {
        const std::string& id = value.AsIdentifier();
        if (rtl::SameText(id, "taLeftJustify")) SetCaptionLeft(true);
        else if (rtl::SameText(id, "taRightJustify")) SetCaptionLeft(false);
        else loader.Fail(value.line, "Unknown alignment " + id);
    } else {
        bool handled = TWinControl::SetProperty(name, value, loader);
        if (handled && rtl::SameText(name.substr(0, 5), "Font.")) SetFont(Font);
        return handled;
    }
    return true;
}

std::unique_ptr<IControlPeer> TCheckBox::CreatePeer(IBackend& backend, IWindowPeer& window) {
    std::unique_ptr<IControlPeer> peer = backend.CreateNativePeer(kCheckBoxPeerKind, *this, window);
    if (peer && !dynamic_cast<ICheckBoxPeer*>(peer.get())) return nullptr;
    return peer;
}

void TCheckBox::PeerCreated() {
    ICheckBoxPeer* peer = CheckPeer();
    if (!peer) return;
    peer->SetLayout(FCaptionLeft, false);
    peer->SetFont(Font);
    peer->SetCaption(FCaption);
    peer->SetState(FChecked ? cpsChecked : cpsUnchecked);
}

void RegisterCheckBoxClass() {
    RegisterComponentClass("TCheckBox", [](TComponent* owner) { return new TCheckBox(owner); });
}

}  // namespace forms
