#include "platform/forms/form.h"

#include "platform/forms/actions.h"
#include "platform/forms/application.h"
#include "platform/forms/cursors.h"
#include "platform/forms/formdesc.h"
#include "platform/forms/menus.h"
#include "platform/rtl/process.h"
#include "platform/rtl/sysutils.h"

namespace forms {

namespace {

// The window state the process's starter asked for applies to the main window's first show only:
// later shows, and the other windows, open as the program places them.
void ApplyStartupWindowState(IWindowPeer& window) {
    static bool applied = false;
    if (applied) return;
    applied = true;
    switch (rtl::StartupShowCommand()) {
        case rtl::SW_SHOWMAXIMIZED: window.Maximize(); break;
        case rtl::SW_SHOWMINIMIZED:
        case rtl::SW_MINIMIZE:
        case rtl::SW_SHOWMINNOACTIVE:
            window.Minimize();
            break;
        default: break;
    }
}

bool IsInside(const TControl* control, const TControl* container) {
    for (const TControl* c = control; c; c = c->Parent())
        if (c == container) return true;
    return false;
}

TShiftState ButtonBit(TMouseButton button) {
    switch (button) {
        case mbLeft: return ssLeft;
        case mbRight: return ssRight;
        default: return ssMiddle;
    }
}

// The part of a hint before "|" (the class library's short hint).
std::string ShortHint(const std::string& hint) {
    size_t bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(0, bar);
}

}  // namespace

TForm::TForm(TComponent* owner) : TWinControl(owner) {
    FVisible = false;
    FColor = clBtnFace;
    FWidth = 320;
    FHeight = 240;
    FRaster.SetSize(FWidth, FHeight);
    FDirty = ClientRect();
    Application().AddForm(this);
    if (HasBackend()) {
        FWindow = Backend().CreateWindowPeer(*this);
        FWindow->SetBounds(BoundsRect());
    }
}

void TForm::BeforeDestruction() {
    if (FDestroyFired) return;
    FDestroyFired = true;
    if (OnDestroy) SafeCall(this, [this] { Fire(OnDestroy, this); });
}

TForm::~TForm() {
    // Reached by a plain delete: the handler may only touch components, which still exist.
    if (!FDestroyFired) BeforeDestruction();
    DestroyComponents();
    DestroyHandles();
    if (FWindow) FWindow->Hide();
    FWindow.reset();
    Application().RemoveForm(this);
}

void TForm::InitForm(const TFormClass& formClass) {
    FLoading = true;
    try {
        TFormLoader loader(*this, formClass, formClass.DescriptionFile());
        loader.LoadFromFile(ResourcePath(formClass.DescriptionFile()));
    } catch (...) {
        FLoading = false;
        throw;
    }
    FLoading = false;
    if (OnCreate) SafeCall(this, [this] { Fire(OnCreate, this); });
    if (FShowAfterLoad) Show();
}

void TForm::Loaded() {
    // Anchor rules are taken from the final design sizes.
    std::vector<TWinControl*> pending{this};
    while (!pending.empty()) {
        TWinControl* container = pending.back();
        pending.pop_back();
        for (int i = 0; i < container->ControlCount(); ++i) {
            TControl* c = container->Controls(i);
            c->UpdateAnchorRules();
            if (auto* win = dynamic_cast<TWinControl*>(c)) pending.push_back(win);
        }
    }
    CreateHandles();
}

void TForm::SetCaption(const std::string& caption) {
    FCaption = caption;
    if (FWindow) FWindow->SetCaption(caption);
}

void TForm::SetPosition(TPosition position) { FPosition = position; }

void TForm::SetFormStyle(TFormStyle style) {
    FFormStyle = style;
    if (FWindow) FWindow->SetStayOnTop(style == fsStayOnTop);
}

void TForm::PlaceOnScreen() {
    FPlaced = true;
    if (FPosition == poScreenCenter || FPosition == poDesktopCenter) {
        TPoint screen = HasBackend() ? Backend().ScreenSize() : TPoint{FWidth, FHeight};
        SetBounds((screen.X - FWidth) / 2, (screen.Y - FHeight) / 2, FWidth, FHeight);
    } else if (FPosition == poMainFormCenter || FPosition == poOwnerFormCenter) {
        TForm* main = Application().MainForm();
        if (main && main != this)
            SetBounds(main->Left() + (main->Width() - FWidth) / 2, main->Top() + (main->Height() - FHeight) / 2, FWidth,
                      FHeight);
    }
}

void TForm::SetVisible(bool value) {
    if (FLoading) {
        FShowAfterLoad = value;
        return;
    }
    if (value == FVisible) return;
    if (value) {
        if (!FPlaced) PlaceOnScreen();
        FVisible = true;
        CreateHandles();
        if (OnShow) SafeCall(this, [this] { Fire(OnShow, this); });
        if (FVisible && FWindow) {
            FWindow->Show();
            if (Application().MainForm() == this) ApplyStartupWindowState(*FWindow);
            Invalidate();
        }
    } else {
        FVisible = false;
        if (OnHide) SafeCall(this, [this] { Fire(OnHide, this); });
        if (FWindow) FWindow->Hide();
        ReleaseCapture();
    }
}

void TForm::Show() {
    SetVisible(true);
    BringToFront();
}

void TForm::Hide() { SetVisible(false); }

void TForm::Close() {
    bool canClose = true;
    Fire(OnCloseQuery, this, canClose);
    if (!canClose) return;
    TCloseAction action = caHide;
    Fire(OnClose, this, action);
    if (action == caNone) return;
    if (Application().MainForm() == this) Application().Terminate();
    else if (action == caHide) Hide();
    else if (action == caMinimize) Minimize();
    else Release();
}

void TForm::Release() {
    if (!HasBackend()) return;
    Backend().Post([this] { Free(); });
}

void TForm::BringToFront() {
    if (FWindow && FVisible) FWindow->BringToFront();
}

void TForm::Minimize() {
    if (FWindow) FWindow->Minimize();
}

void TForm::BeginMoveDrag() {
    ReleaseCapture();
    if (FWindow) FWindow->BeginMoveDrag();
}

void TForm::ReleaseCapture() {
    FCaptureControl = nullptr;
    FClickControl = nullptr;
    FButtonsDown = 0;
    if (FWindow) FWindow->ReleaseCapture();
}

// ---- raster ----

const TBitmap& TForm::Raster() {
    if (FRaster.Width() != FWidth || FRaster.Height() != FHeight) {
        FRaster.SetSize(FWidth, FHeight);
        FDirty = ClientRect();
    }
    if (FDirty.IsEmpty()) return FRaster;
    TRect dirty = FDirty;
    FDirty = TRect{};
    TCanvas canvas(FRaster);
    canvas.SetClipRect(dirty);
    canvas.Brush.Color = FColor;
    canvas.FillRect(ClientRect());
    PaintControls(*this, dirty);
    return FRaster;
}

void TForm::PaintControls(TWinControl& container, const TRect& dirty) {
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < container.ControlCount(); ++i) {
            TControl* c = container.Controls(i);
            if (c->IsWindowed() != (pass == 1) || !c->Visible()) continue;
            TRect clip = IntersectRect(c->VisibleFormRect(), dirty);
            if (clip.IsEmpty()) continue;
            TCanvas canvas(FRaster);
            TRect where = c->FormRect();
            canvas.SetOrigin(TPoint{where.Left, where.Top});
            canvas.SetClipRect(clip);
            SafeCall(c, [&] { c->Paint(canvas); });
            if (auto* win = dynamic_cast<TWinControl*>(c)) PaintControls(*win, dirty);
        }
    }
    PaintFrames(container, dirty);
}

// A framed control's sunken frame: shadow above and left of it, highlight right and below, in
// the parent's area around the control.
void TForm::PaintFrames(TWinControl& container, const TRect& dirty) {
    TPoint origin = container.ClientToForm(TPoint{0, 0});
    TRect area = &container == this ? ClientRect() : container.VisibleFormRect();
    for (int i = 0; i < container.ControlCount(); ++i) {
        TControl* c = container.Controls(i);
        if (!(c->ControlStyle() & csFramed) || !c->Visible()) continue;
        TRect b = OffsetRect(c->BoundsRect(), origin.X, origin.Y);
        TCanvas canvas(FRaster);
        canvas.SetClipRect(IntersectRect(area, dirty));
        canvas.Brush.Bitmap = nullptr;
        canvas.Brush.Style = bsSolid;
        canvas.Brush.Color = clBtnShadow;
        canvas.FillRect(Rect(b.Left - 1, b.Top - 1, b.Right, b.Top));
        canvas.FillRect(Rect(b.Left - 1, b.Top, b.Left, b.Bottom));
        canvas.Brush.Color = clBtnHighlight;
        canvas.FillRect(Rect(b.Right, b.Top, b.Right + 1, b.Bottom + 1));
        canvas.FillRect(Rect(b.Left, b.Bottom, b.Right, b.Bottom + 1));
    }
}

TCanvas& TForm::Canvas() { return FRaster.Canvas(); }

void TForm::InvalidateRect(const TRect& clientRect) {
    TRect r = IntersectRect(clientRect, ClientRect());
    if (r.IsEmpty()) return;
    FDirty = UnionRect(FDirty, r);
    if (FWindow) FWindow->Invalidate(r);
}

void TForm::Invalidate() { InvalidateRect(ClientRect()); }

void TForm::Update() {
    if (!FVisible || FLoading || FDirty.IsEmpty()) return;
    // The window was told of the area when it was invalidated; it shows the raster as painted now.
    Raster();
}

void TForm::BoundsChanged(const TRect& oldBounds) {
    bool resized = oldBounds.Width() != FWidth || oldBounds.Height() != FHeight;
    if (FWindow) FWindow->SetBounds(BoundsRect());
    if (!resized) return;
    FRaster.SetSize(FWidth, FHeight);
    FDirty = ClientRect();
    if (FWindow) FWindow->Invalidate(ClientRect());
    TWinControl::BoundsChanged(oldBounds);
    if (OnResize && !FLoading) SafeCall(this, [this] { Fire(OnResize, this); });
}

// ---- focus, capture, cursor ----

void TForm::SetActiveControl(TWinControl* control) {
    if (control == FActiveControl) return;
    TWinControl* old = FActiveControl;
    FActiveControl = control;
    // The handlers run from copies and the controls are looked up again afterwards: a handler may
    // free its own control.
    if (old && HasControl(old) && old->OnExit) {
        auto onExit = old->OnExit;
        SafeCall(old, [onExit, old] { onExit(old); });
    }
    if (control && FActiveControl == control && HasControl(control) && control->OnEnter) {
        auto onEnter = control->OnEnter;
        SafeCall(control, [onEnter, control] { onEnter(control); });
    }
}

void TForm::FocusChanged(TWinControl* control, bool focused) {
    if (focused && HasControl(control)) SetActiveControl(control);
}

bool TForm::HasControl(const TControl* control) const {
    if (!control) return false;
    if (control == this) return true;
    std::vector<const TWinControl*> pending{this};
    while (!pending.empty()) {
        const TWinControl* container = pending.back();
        pending.pop_back();
        for (int i = 0; i < container->ControlCount(); ++i) {
            const TControl* c = container->Controls(i);
            if (c == control) return true;
            if (auto* win = dynamic_cast<const TWinControl*>(c)) pending.push_back(win);
        }
    }
    return false;
}

void TForm::ControlRemoved(TControl* control) {
    FDrag.Forget(*control);
    if (IsInside(FCaptureControl, control)) FCaptureControl = nullptr;
    if (IsInside(FClickControl, control)) FClickControl = nullptr;
    if (IsInside(FActiveControl, control)) FActiveControl = nullptr;
    if (IsInside(FHoverControl, control)) {
        FHoverControl = nullptr;
        if (FWindow) FWindow->HideTooltip();
    }
}

void TForm::SetCursor(TCursor cursor) {
    FCursor = cursor;
    RefreshCursor();
}

void TForm::RefreshCursor() { ApplyCursor(FCaptureControl ? FCaptureControl : FHoverControl); }

void TForm::ApplyCursor(TControl* control) {
    TCursor cursor = FDrag.Dragging() ? FDrag.Cursor() : Screen().Cursor();
    if (cursor == crDefault)
        for (TControl* c = control ? control : this; c; c = c->Parent())
            if (c->Cursor() != crDefault) {
                cursor = c->Cursor();
                break;
            }
    TCursorHandle handle = Screen().CursorHandle(cursor);
    if (cursor == FAppliedCursor && handle == FAppliedHandle) return;
    FAppliedCursor = cursor;
    FAppliedHandle = handle;
    if (FWindow) FWindow->SetCursor(cursor, handle);
}

// ---- input ----

TControl* TForm::TargetAt(int x, int y) {
    TControl* hit = ControlAtPos(TPoint{x, y});
    return hit ? hit : this;
}

void TForm::UpdateHover(TControl* hovered, int x, int y) {
    if (hovered == FHoverControl) return;
    TControl* old = FHoverControl;
    FHoverControl = hovered;
    if (old && HasControl(old)) SafeCall(old, [old] { old->MouseLeave(); });
    if (hovered && HasControl(hovered) && FHoverControl == hovered) SafeCall(hovered, [hovered] { hovered->MouseEnter(); });
    if (!FWindow) return;
    if (FHoverControl && FHoverControl->ShowHint && !ShortHint(FHoverControl->Hint).empty())
        FWindow->ShowTooltip(ShortHint(FHoverControl->Hint), TPoint{x, y});
    else
        FWindow->HideTooltip();
}

void TForm::DispatchMouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    SafeCall(this, [&] {
        FLastMouse = TPoint{x, y};
        if (FDrag.Active()) return;  // the drag takes the mouse until its release
        TControl* target = FCaptureControl ? FCaptureControl : TargetAt(x, y);
        FCaptureControl = target;
        FButtonsDown |= ButtonBit(button);
        if (FWindow) FWindow->HideTooltip();
        auto* windowed = dynamic_cast<TWinControl*>(target);
        if (windowed && windowed != this && windowed->CanFocus() && windowed->Enabled()) windowed->SetFocus();
        if (!HasControl(target)) return;
        if (button == mbLeft && target != this && target->DragMode == dmAutomatic && target->DragKind == dkDrag) {
            // The press begins the drag and is no press for the control.
            FCaptureControl = nullptr;
            FButtonsDown &= ~ButtonBit(button);
            target->BeginDrag(true);
            return;
        }
        TPoint p = target->FormToClient(TPoint{x, y});
        bool doubled = shift & ssDouble;
        if (button == mbLeft) FClickControl = doubled ? nullptr : target;
        if (doubled && button == mbLeft) {
            target->DblClick();
            if (!HasControl(target)) return;
        }
        target->MouseDown(button, shift | ButtonBit(button), p.X, p.Y);
    });
}

void TForm::DispatchMouseMove(TShiftState shift, int x, int y) {
    SafeCall(this, [&] {
        FLastMouse = TPoint{x, y};
        if (FDrag.Active()) {
            FDrag.Move(FLastMouse);
            return;
        }
        TControl* under = TargetAt(x, y);
        UpdateHover(under, x, y);
        TControl* target = FCaptureControl ? FCaptureControl : under;
        if (!HasControl(target)) return;
        ApplyCursor(target);
        TPoint p = target->FormToClient(TPoint{x, y});
        target->MouseMove(shift | FButtonsDown, p.X, p.Y);
    });
}

void TForm::DispatchMouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    SafeCall(this, [&] {
        FLastMouse = TPoint{x, y};
        if (FDrag.Active()) {
            FButtonsDown &= ~ButtonBit(button);
            if (!(FButtonsDown & (ssLeft | ssRight | ssMiddle))) FCaptureControl = nullptr;
            FClickControl = nullptr;
            if (button == mbLeft) FDrag.Drop(FLastMouse);
            return;
        }
        TControl* target = FCaptureControl ? FCaptureControl : TargetAt(x, y);
        FButtonsDown &= ~ButtonBit(button);
        if (!(FButtonsDown & (ssLeft | ssRight | ssMiddle))) FCaptureControl = nullptr;
        if (!HasControl(target)) return;
        TPoint p = target->FormToClient(TPoint{x, y});
        // The class library clicks before OnMouseUp, and only when released over the control.
        if (button == mbLeft && FClickControl == target) {
            FClickControl = nullptr;
            if (target->ClientRect().Contains(p.X, p.Y)) {
                target->Click();
                if (!HasControl(target)) return;
            }
        }
        target->MouseUp(button, shift, p.X, p.Y);
        // The platform asks for the context menu once the right button is released.
        if (button == mbRight && HasControl(target)) ContextPopup(target, TPoint{x, y}, false);
    });
}

bool TForm::ContextPopup(TControl* control, TPoint formPos, bool fromKeyboard) {
    for (TControl* c = control; c; c = c->Parent()) {
        TPoint mouse = fromKeyboard ? TPoint{-1, -1} : c->FormToClient(formPos);
        bool handled = false;
        Fire(c->OnContextPopup, c, mouse, handled);
        if (handled || !HasControl(c)) return true;
        TPopupMenu* menu = c->PopupMenu();
        if (menu && menu->AutoPopup) {
            menu->PopupComponent = c;
            menu->Popup(*this, fromKeyboard ? c->ClientToForm(TPoint{0, 0}) : formPos);
            return true;
        }
    }
    return false;
}

// Offers a character to the controls' accelerators; a control that types characters keeps it.
bool TForm::TakeDialogChar(char key) {
    if (FActiveControl && HasControl(FActiveControl) && FActiveControl->WantsChars()) return false;
    return DialogChar(key);
}

void TForm::DispatchMouseLeave() {
    SafeCall(this, [&] { UpdateHover(nullptr, 0, 0); });
}

bool TForm::DispatchKeyDown(uint16_t key, TShiftState shift) {
    bool handled = false;
    SafeCall(this, [&] {
        if (FDrag.Active() && key == VK_ESCAPE) {
            FDrag.Cancel();
            handled = true;
            return;
        }
        for (int i = 0; i < ComponentCount(); ++i)
            if (auto* list = dynamic_cast<TActionList*>(Components(i)); list && list->IsShortCut(key, shift)) {
                handled = true;
                return;
            }
        uint16_t k = key;
        if (KeyPreview) TWinControl::KeyDown(k, shift);
        if (k && FActiveControl && HasControl(FActiveControl)) FActiveControl->KeyDown(k, shift);
        handled = k == 0;
        if (handled) return;
        bool plain = !(shift & (ssShift | ssCtrl | ssAlt));
        if ((key == VK_APPS && plain) || (key == VK_F10 && (shift & (ssShift | ssCtrl | ssAlt)) == ssShift)) {
            TControl* focused = FActiveControl && HasControl(FActiveControl) ? FActiveControl : this;
            handled = ContextPopup(focused, TPoint{-1, -1}, true);
        } else if ((shift & (ssAlt | ssCtrl)) == ssAlt && ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))) {
            handled = DialogChar(char(key));  // Alt+letter reaches the accelerators from any control
        }
    });
    return handled;
}

char TForm::DispatchKeyPress(char key) {
    char k = key;
    SafeCall(this, [&] {
        if (KeyPreview) TWinControl::KeyPress(k);
        if (k && FActiveControl && HasControl(FActiveControl)) FActiveControl->KeyPress(k);
        if (k && uint8_t(k) > ' ' && TakeDialogChar(k)) k = 0;
    });
    return k;
}

void TForm::DispatchResized(int width, int height) {
    SafeCall(this, [&] { SetBounds(FLeft, FTop, width, height); });
}

void TForm::DispatchMoved(int left, int top) {
    FLeft = left;
    FTop = top;
}

void TForm::DispatchCloseRequest() {
    SafeCall(this, [&] { Close(); });
}

void TForm::DispatchActivated(bool active) {
    SafeCall(this, [&] {
        if (active) Fire(OnActivate, this);
        if (!active) Fire(OnDeactivate, this);
    });
}

// ---- description ----

bool TForm::SetProperty(const std::string& name, const TPropValue& value, TFormLoader& loader) {
    auto is = [&](const char* n) { return rtl::SameText(name, n); };
    if (is("Caption")) SetCaption(value.AsString());
    else if (is("ClientWidth")) SetClientWidth(value.AsInt(0, 1 << 16));
    else if (is("ClientHeight")) SetClientHeight(value.AsInt(0, 1 << 16));
    else if (is("KeyPreview")) KeyPreview = value.AsBoolean();
    else if (is("BorderStyle")) {
        static const std::pair<const char*, TFormBorderStyle> styles[] = {
            {"bsNone", bsNone}, {"bsSingle", bsSingle}, {"bsSizeable", bsSizeable},
            {"bsDialog", bsDialog}, {"bsToolWindow", bsToolWindow}, {"bsSizeToolWin", bsSizeToolWin}};
        for (auto& [n, v] : styles)
            if (rtl::SameText(value.AsIdentifier(), n)) {
                BorderStyle = v;
                return true;
            }
        loader.Fail(value.line, "Unknown border style " + value.AsIdentifier());
    } else if (is("Position")) {
        static const std::pair<const char*, TPosition> positions[] = {
            {"poDesigned", poDesigned}, {"poDefault", poDefault}, {"poDefaultPosOnly", poDefaultPosOnly},
            {"poDefaultSizeOnly", poDefaultSizeOnly}, {"poScreenCenter", poScreenCenter},
            {"poDesktopCenter", poDesktopCenter}, {"poMainFormCenter", poMainFormCenter},
            {"poOwnerFormCenter", poOwnerFormCenter}};
        for (auto& [n, v] : positions)
            if (rtl::SameText(value.AsIdentifier(), n)) {
                SetPosition(v);
                return true;
            }
        loader.Fail(value.line, "Unknown position " + value.AsIdentifier());
    } else if (is("FormStyle")) {
        if (rtl::SameText(value.AsIdentifier(), "fsStayOnTop")) SetFormStyle(fsStayOnTop);
        else if (rtl::SameText(value.AsIdentifier(), "fsNormal")) SetFormStyle(fsNormal);
        else loader.Fail(value.line, "Unknown form style " + value.AsIdentifier());
    } else {
        return TWinControl::SetProperty(name, value, loader);
    }
    return true;
}

bool TForm::SetEvent(const std::string& name, const std::any& handler) {
    auto is = [&](const char* n) { return rtl::SameText(name, n); };
    if (is("OnCreate")) AssignEvent(OnCreate, handler, name);
    else if (is("OnShow")) AssignEvent(OnShow, handler, name);
    else if (is("OnHide")) AssignEvent(OnHide, handler, name);
    else if (is("OnClose")) AssignEvent(OnClose, handler, name);
    else if (is("OnCloseQuery")) AssignEvent(OnCloseQuery, handler, name);
    else if (is("OnDestroy")) AssignEvent(OnDestroy, handler, name);
    else if (is("OnResize")) AssignEvent(OnResize, handler, name);
    else if (is("OnActivate")) AssignEvent(OnActivate, handler, name);
    else if (is("OnDeactivate")) AssignEvent(OnDeactivate, handler, name);
    else return TWinControl::SetEvent(name, handler);
    return true;
}

}  // namespace forms
