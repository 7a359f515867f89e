// TbztCheckBoxT: states, toggling, the first click on an unfocused box, the native peer and the
// raster drawing used where no native button exists.
#include "controls/bztCheckBoxT.h"

#include "platform/forms/canvas.h"
#include "platform/forms/form.h"
#include "platform/rtl/codepage.h"

namespace controls {

using forms::TCanvas;

// ---- TNewButtonControl ----

void TNewButtonControl::SetWordWrap(bool value) {
    if (value == FWordWrap) return;
    FWordWrap = value;
    RecreateWnd();
}

void TNewButtonControl::ActionChange(forms::TObject* sender, bool checkDefaults) {
    TWinControl::ActionChange(sender, checkDefaults);
    if (auto* action = dynamic_cast<forms::TAction*>(sender); action && (!checkDefaults || !Checked()))
        SetChecked(action->Checked());
}

std::unique_ptr<forms::TControlActionLink> TNewButtonControl::CreateActionLink() {
    return std::make_unique<TNewButtonActionLink>(this);
}

// ---- TNewButtonActionLink ----

bool TNewButtonActionLink::IsCheckedLinked() const {
    return TWinControlActionLink::IsCheckedLinked() && FClient->Checked() == Action()->Checked();
}

void TNewButtonActionLink::SetChecked(bool value) {
    if (!IsCheckedLinked()) return;
    FClient->ClicksDisabled = true;
    try {
        FClient->SetChecked(value);
    } catch (...) {
        FClient->ClicksDisabled = false;
        throw;
    }
    FClient->ClicksDisabled = false;
}

void TNewButtonControl::RecreateWnd() {
    if (FPeer) {
        bool focused = Focused();
        DestroyHandles();
        CreateHandles();
        if (focused && FPeer) FPeer->SetFocus();
    }
    Invalidate();
}

// ---- TNewCustomCheckBox ----

TNewCustomCheckBox::TNewCustomCheckBox(forms::TComponent* owner) : TNewButtonControl(owner) {
    FWidth = 97;
    FHeight = 17;
    FControlStyle = forms::csSetCaption | forms::csDoubleClicks;
}

forms::ICheckBoxPeer* TNewCustomCheckBox::CheckPeer() const { return dynamic_cast<forms::ICheckBoxPeer*>(FPeer.get()); }

void TNewCustomCheckBox::SetAlignment(TAlignment value) {
    if (value == FAlignment) return;
    FAlignment = value;
    RecreateWnd();
}

void TNewCustomCheckBox::SetState(TCheckBoxState value) {
    if (value == FState) return;
    FState = value;
    if (forms::ICheckBoxPeer* peer = CheckPeer()) peer->SetState(forms::TCheckBoxPeerState(value));
    Invalidate();
    if (!ClicksDisabled) NotifyClick();
}

void TNewCustomCheckBox::CycleState() {
    switch (FState) {
        case cbUnchecked: SetState(AllowGrayed ? cbGrayed : cbChecked); break;
        case cbChecked: SetState(cbUnchecked); break;
        case cbGrayed: SetState(cbChecked); break;
    }
}

void TNewCustomCheckBox::SetCaption(const std::string& caption) {
    if (caption == FCaption) return;
    FCaption = caption;
    if (forms::ICheckBoxPeer* peer = CheckPeer()) peer->SetCaption(FCaption);
    Invalidate();
}

void TNewCustomCheckBox::SetRightToLeft(bool value) {
    if (value == FRightToLeft) return;
    FRightToLeft = value;
    RecreateWnd();
}

TAlignment TNewCustomCheckBox::TextAlignment() const {
    return FRightToLeft && FAlignment == taRightJustify ? taLeftJustify : taRightJustify;
}

bool TNewCustomCheckBox::CaptionOnLeft() const {
    return FRightToLeft ? FAlignment == taRightJustify : FAlignment == taLeftJustify;
}

void TNewCustomCheckBox::SetFont(const forms::TFont& font) {
    Font = font;
    if (forms::ICheckBoxPeer* peer = CheckPeer()) peer->SetFont(Font);
    Invalidate();
}

void TNewCustomCheckBox::NotifyClick() { TNewButtonControl::Click(); }

void TNewCustomCheckBox::ButtonClicked() {
    if (ClicksDisabled) return;
    CycleState();
}

forms::TCheckBoxPeerState TNewCustomCheckBox::PeerClicked() {
    std::shared_ptr<bool> alive = FAlive;
    ButtonClicked();
    // A handler that freed the box freed its peer too; nobody shows the answer then.
    return *alive ? forms::TCheckBoxPeerState(FState) : forms::cpsUnchecked;
}

// ---- input without a native button ----

// The first press on an unfocused box only takes the focus (with clicks disabled, so the focus
// change cannot toggle it); a press the focus did not follow is dropped. The release over the
// box is the button's one click.
void TNewCustomCheckBox::MouseDown(forms::TMouseButton button, forms::TShiftState shift, int x, int y) {
    if (button == forms::mbLeft) {
        FMouseDown = true;
        FPressed = false;
        if (!Focused()) {
            std::shared_ptr<bool> alive = FAlive;  // OnEnter handlers run inside SetFocus
            ClicksDisabled = true;
            try {
                if (CanFocus()) SetFocus();
            } catch (...) {
                if (*alive) ClicksDisabled = false;
                throw;
            }
            if (!*alive) return;
            ClicksDisabled = false;
            if (!Focused()) return;
        }
        FPressed = true;
    }
    TNewButtonControl::MouseDown(button, shift, x, y);
}

void TNewCustomCheckBox::Click() {
    if (!FMouseDown) {
        NotifyClick();
        return;
    }
    FMouseDown = false;
    bool pressed = FPressed;
    FPressed = false;
    if (pressed) ButtonClicked();
}

// A double click's second press gets no Click from the form; its release clicks the button here.
void TNewCustomCheckBox::MouseUp(forms::TMouseButton button, forms::TShiftState shift, int x, int y) {
    if (button == forms::mbLeft && FMouseDown) {
        FMouseDown = false;
        bool pressed = FPressed;
        FPressed = false;
        if (pressed && ClientRect().Contains(x, y)) {
            std::shared_ptr<bool> alive = FAlive;
            ButtonClicked();
            if (!*alive) return;
        }
    }
    TNewButtonControl::MouseUp(button, shift, x, y);
}

void TNewCustomCheckBox::KeyPress(char& key) {
    TNewButtonControl::KeyPress(key);
    if (key == ' ' && !FPeer) ButtonClicked();  // a native button handles Space itself
}

// True when key is the character after a single "&" of caption (letters without regard to case).
static bool IsAccel(char key, const std::string& caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        return rtl::AnsiUpperChar(caption[i + 1]) == rtl::AnsiUpperChar(key);
    }
    return false;
}

bool TNewCustomCheckBox::DialogChar(char key) {
    if (!IsAccel(key, FCaption) || !CanFocus()) return false;
    SetFocus();
    if (Focused()) CycleState();
    return true;
}

// ---- native button ----

std::unique_ptr<forms::IControlPeer> TNewCustomCheckBox::CreatePeer(forms::IBackend& backend,
                                                                    forms::IWindowPeer& window) {
    std::unique_ptr<forms::IControlPeer> peer = backend.CreateNativePeer(forms::kCheckBoxPeerKind, *this, window);
    if (peer && !dynamic_cast<forms::ICheckBoxPeer*>(peer.get())) return nullptr;
    return peer;
}

void TNewCustomCheckBox::PushLayout() {
    forms::ICheckBoxPeer* peer = CheckPeer();
    if (!peer) return;
    peer->SetLayout(CaptionOnLeft(), FWordWrap);
    peer->SetFont(Font);
    peer->SetCaption(FCaption);
    peer->SetState(forms::TCheckBoxPeerState(FState));
}

void TNewCustomCheckBox::PeerCreated() { PushLayout(); }

// ---- raster drawing (no native button) ----

namespace {

constexpr int kBoxSize = 13;
constexpr int kCaptionGap = 4;

void DrawCheckMark(TCanvas& canvas, int left, int top, forms::TColor color) {
    canvas.Brush.Bitmap = nullptr;
    canvas.Brush.Style = forms::bsSolid;
    canvas.Brush.Color = color;
    // A tick of three-pixel-high columns: down from (3,5) to (5,7), then up to (9,3).
    for (int i = 0; i < 7; ++i) {
        int y = i < 3 ? 5 + i : 7 - (i - 2);
        canvas.FillRect(forms::Bounds(left + 3 + i, top + y, 1, 3));
    }
}

}  // namespace

// Only the box and the caption are drawn; the background stays whatever lies behind.
void TNewCustomCheckBox::Paint(TCanvas& canvas) {
    if (FPeer) return;  // the native button draws itself
    int boxLeft = CaptionOnLeft() ? FWidth - kBoxSize : 0;
    int boxTop = (FHeight - kBoxSize) / 2;
    canvas.Brush.Bitmap = nullptr;
    canvas.Brush.Style = forms::bsSolid;
    canvas.Brush.Color = forms::clBtnShadow;
    canvas.FrameRect(forms::Bounds(boxLeft, boxTop, kBoxSize, kBoxSize));
    canvas.Brush.Color = FEnabled ? forms::clWindow : forms::clBtnFace;
    canvas.FillRect(forms::Bounds(boxLeft + 1, boxTop + 1, kBoxSize - 2, kBoxSize - 2));
    if (FState != cbUnchecked)
        DrawCheckMark(canvas, boxLeft, boxTop, FState == cbGrayed || !FEnabled ? forms::clGrayText : forms::clWindowText);
    if (FCaption.empty()) return;
    std::string shown;
    for (size_t i = 0; i < FCaption.size(); ++i) {
        if (FCaption[i] == '&' && i + 1 < FCaption.size()) ++i;
        shown += FCaption[i];
    }
    canvas.Font = Font;
    if (!FEnabled) canvas.Font.Color = forms::clGrayText;
    canvas.Brush.Style = forms::bsClear;
    int textWidth = canvas.TextWidth(shown);
    int textLeft = CaptionOnLeft() ? boxLeft - kCaptionGap - textWidth : kBoxSize + kCaptionGap;
    canvas.TextOut(textLeft, (FHeight - canvas.TextHeight(shown)) / 2, shown);
}

}  // namespace controls
