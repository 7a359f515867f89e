#include "platform/forms/control.h"

#include <algorithm>

#include "platform/forms/actions.h"
#include "platform/forms/application.h"
#include "platform/forms/canvas.h"
#include "platform/forms/cursors.h"
#include "platform/forms/form.h"
#include "platform/forms/formdesc.h"
#include "platform/forms/menus.h"
#include "platform/rtl/sysutils.h"

namespace forms {

namespace {

int ScaleCentre(int centre, int newSize, int oldSize) {
    if (oldSize <= 0) return centre;
    return int(int64_t(centre) * newSize / oldSize);
}

bool PropIs(const std::string& name, const char* expected) { return rtl::SameText(name, expected); }

}  // namespace

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() {
    if (FPopupMenu) FPopupMenu->RemoveUser(this);
    if (FParent) FParent->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == FParent) return;
    if (parent == this) throw rtl::Exception("A control cannot be its own parent");
    if (FParent) FParent->RemoveControl(this);
    if (parent) parent->InsertControl(this);
}

TForm* TControl::ParentForm() const {
    const TControl* c = this;
    while (c->FParent) c = c->FParent;
    return dynamic_cast<TForm*>(const_cast<TControl*>(c));
}

void TControl::SetLeft(int value) { SetBounds(value, FTop, FWidth, FHeight); }
void TControl::SetTop(int value) { SetBounds(FLeft, value, FWidth, FHeight); }
void TControl::SetWidth(int value) { SetBounds(FLeft, FTop, value, FHeight); }
void TControl::SetHeight(int value) { SetBounds(FLeft, FTop, FWidth, value); }

void TControl::SetBounds(int left, int top, int width, int height) {
    ConstrainSize(width, height);
    DoSetBounds(left, top, width, height);
    UpdateAnchorRules();
}

void TControl::ConstrainSize(int& width, int& height) const {
    if (FConstraints.MaxWidth > 0) width = std::min(width, FConstraints.MaxWidth);
    if (FConstraints.MaxHeight > 0) height = std::min(height, FConstraints.MaxHeight);
    width = std::max(width, FConstraints.MinWidth);
    height = std::max(height, FConstraints.MinHeight);
    width = std::max(width, 0);
    height = std::max(height, 0);
}

void TControl::DoSetBounds(int left, int top, int width, int height) {
    if (left == FLeft && top == FTop && width == FWidth && height == FHeight) return;
    TRect old = BoundsRect();
    FLeft = left;
    FTop = top;
    FWidth = width;
    FHeight = height;
    BoundsChanged(old);
}

void TControl::BoundsChanged(const TRect& oldBounds) {
    TForm* form = ParentForm();
    if (!form || form == this || !FParent) return;
    TPoint origin = FParent->ClientToForm(TPoint{0, 0});
    form->InvalidateRect(OffsetRect(PaintedArea(oldBounds), origin.X, origin.Y));
    Invalidate();
}

TRect TControl::PaintedArea(const TRect& bounds) const {
    if (!(FControlStyle & csFramed)) return bounds;
    return Rect(bounds.Left - 1, bounds.Top - 1, bounds.Right + 1, bounds.Bottom + 1);
}

void TControl::SetControlStyle(TControlStyle style) {
    if (style == FControlStyle) return;
    bool frameChanged = (style ^ FControlStyle) & csFramed;
    if (frameChanged) Invalidate();  // the old frame goes
    FControlStyle = style;
    if (frameChanged) Invalidate();
}

void TControl::UpdateAnchorRules() {
    if (!FParent) {
        FAnchorValid = false;
        return;
    }
    FAnchorBounds = BoundsRect();
    FAnchorParentSize = TPoint{FParent->ClientWidth(), FParent->ClientHeight()};
    FAnchorValid = true;
}

void TControl::ParentResized() {
    if (!FParent) return;
    if (TForm* form = ParentForm(); form && form->Loading()) return;  // rules are taken once loaded
    if (!FAnchorValid) {
        UpdateAnchorRules();
        return;
    }
    const TRect& base = FAnchorBounds;
    int dw = FParent->ClientWidth() - FAnchorParentSize.X;
    int dh = FParent->ClientHeight() - FAnchorParentSize.Y;
    int left = base.Left, top = base.Top, width = base.Width(), height = base.Height();
    bool l = FAnchors & akLeft, r = FAnchors & akRight, t = FAnchors & akTop, b = FAnchors & akBottom;
    if (l && r) width += dw;
    else if (r) left += dw;
    else if (!l) left = ScaleCentre(base.Left + base.Width() / 2, FParent->ClientWidth(), FAnchorParentSize.X) - base.Width() / 2;
    if (t && b) height += dh;
    else if (b) top += dh;
    else if (!t) top = ScaleCentre(base.Top + base.Height() / 2, FParent->ClientHeight(), FAnchorParentSize.Y) - base.Height() / 2;
    ConstrainSize(width, height);
    DoSetBounds(left, top, width, height);
}

void TControl::SetVisible(bool value) {
    if (value == FVisible) return;
    if (!value) Invalidate();
    FVisible = value;
    VisibilityChanged();
    if (value) Invalidate();
}

void TControl::VisibilityChanged() {
    if (TForm* form = ParentForm(); form && form != this && !FVisible) form->ControlRemoved(this);
}

void TControl::SetEnabled(bool value) {
    if (value == FEnabled) return;
    FEnabled = value;
    Invalidate();
}

bool TControl::Showing() const {
    for (const TControl* c = this; c; c = c->FParent) {
        if (dynamic_cast<const TForm*>(c)) return true;
        if (!c->FVisible) return false;
    }
    return false;
}

void TControl::SetAnchors(TAnchors anchors) {
    FAnchors = anchors;
    UpdateAnchorRules();
}

void TControl::SetConstraints(const TSizeConstraints& constraints) {
    FConstraints = constraints;
    SetBounds(FLeft, FTop, FWidth, FHeight);
}

void TControl::SetCursor(TCursor cursor) {
    FCursor = cursor;
    if (TForm* form = ParentForm()) form->RefreshCursor();
}

void TControl::SetColor(TColor color) {
    if (color == FColor) return;
    FColor = color;
    Invalidate();
}

void TControl::Invalidate() {
    TForm* form = ParentForm();
    if (!form || !Showing()) return;
    if (form == this || !FParent || !(FControlStyle & csFramed)) {
        form->InvalidateRect(VisibleFormRect());
        return;
    }
    // The frame lies around the bounds, inside the parent.
    TPoint origin = FParent->ClientToForm(TPoint{0, 0});
    TRect parentArea = FParent == form ? form->ClientRect() : FParent->VisibleFormRect();
    form->InvalidateRect(IntersectRect(OffsetRect(PaintedArea(BoundsRect()), origin.X, origin.Y), parentArea));
}

void TControl::Repaint() {
    Invalidate();
    if (TForm* form = ParentForm()) form->Update();
}

void TControl::BringToFront() {
    if (!FParent) return;
    auto& list = FParent->FControls;
    list.erase(std::find(list.begin(), list.end(), this));
    list.push_back(this);
    Invalidate();
}

void TControl::SendToBack() {
    if (!FParent) return;
    auto& list = FParent->FControls;
    list.erase(std::find(list.begin(), list.end(), this));
    list.insert(list.begin(), this);
    Invalidate();
}

TPoint TControl::ClientToForm(TPoint p) const {
    for (const TControl* c = this; c->FParent; c = c->FParent) {
        p.X += c->FLeft;
        p.Y += c->FTop;
    }
    return p;
}

TPoint TControl::FormToClient(TPoint p) const {
    TPoint origin = ClientToForm(TPoint{0, 0});
    return TPoint{p.X - origin.X, p.Y - origin.Y};
}

TRect TControl::FormRect() const {
    TPoint origin = ClientToForm(TPoint{0, 0});
    return Bounds(origin.X, origin.Y, FWidth, FHeight);
}

TRect TControl::VisibleFormRect() const {
    if (!Showing()) return TRect{};
    TRect r = FormRect();
    for (const TControl* c = FParent; c; c = c->FParent) {
        TPoint origin = c->ClientToForm(TPoint{0, 0});
        r = IntersectRect(r, OffsetRect(c->ClientRect(), origin.X, origin.Y));
        if (r.IsEmpty()) return TRect{};
    }
    return r;
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    Fire(OnMouseDown, this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
    Fire(OnMouseMove, this, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    Fire(OnMouseUp, this, button, shift, x, y);
}

void TControl::Click() {
    if (OnClick) Fire(OnClick, this);
    else if (FActionLink) FActionLink->Execute();
}

// ---- action ----

TAction* TControl::Action() const { return FActionLink ? FActionLink->Action() : nullptr; }

void TControl::SetAction(TAction* action) {
    if (!action) {
        FActionLink.reset();
        return;
    }
    if (!FActionLink) FActionLink = CreateActionLink();
    FActionLink->SetAction(action);
    ActionChange(action, false);
}

void TControl::SetActionFromDescription(TAction* action) {
    if (!FActionLink) FActionLink = CreateActionLink();
    FActionLink->SetAction(action);
    ActionChange(action, true);
}

std::unique_ptr<TControlActionLink> TControl::CreateActionLink() { return std::make_unique<TControlActionLink>(this); }

void TControl::ActionChange(TObject* sender, bool checkDefaults) {
    auto* action = dynamic_cast<TAction*>(sender);
    if (action && (!checkDefaults || FEnabled)) SetEnabled(action->Enabled);
}

void TControl::SetPopupMenu(TPopupMenu* menu) {
    if (menu == FPopupMenu) return;
    if (FPopupMenu) FPopupMenu->RemoveUser(this);
    FPopupMenu = menu;
    if (menu) menu->AddUser(this);
}

void TControl::DblClick() {
    Fire(OnDblClick, this);
}

void TControl::MouseEnter() {
    Fire(OnMouseEnter, this);
}

void TControl::MouseLeave() {
    Fire(OnMouseLeave, this);
}

void TControl::Paint(TCanvas&) {}

bool TControl::SetProperty(const std::string& name, const TPropValue& value, TFormLoader& loader) {
    // Coordinates stay far from the int range so sums such as Left + Width cannot overflow.
    constexpr int kCoordinateLimit = 1 << 24;
    auto integer = [&] { return value.AsInt(-kCoordinateLimit, kCoordinateLimit); };
    if (PropIs(name, "Left")) SetLeft(integer());
    else if (PropIs(name, "Top")) SetTop(integer());
    else if (PropIs(name, "Width")) SetWidth(integer());
    else if (PropIs(name, "Height")) SetHeight(integer());
    else if (PropIs(name, "Visible")) SetVisible(value.AsBoolean());
    else if (PropIs(name, "Enabled")) SetEnabled(value.AsBoolean());
    else if (PropIs(name, "Cursor")) SetCursor(PropCursor(value, loader));
    else if (PropIs(name, "Hint")) Hint = value.AsString();
    else if (PropIs(name, "ShowHint")) ShowHint = value.AsBoolean();
    else if (PropIs(name, "Color")) SetColor(PropColor(value, loader));
    else if (PropIs(name, "Action") || PropIs(name, "PopupMenu")) SetReference(name, value, loader);
    else if (PropIs(name, "DragMode")) DragMode = TDragMode(PropChoice(value, loader, {"dmManual", "dmAutomatic"}));
    else if (PropIs(name, "DragKind")) DragKind = TDragKind(PropChoice(value, loader, {"dkDrag", "dkDock"}));
    else if (PropIs(name, "DragCursor")) DragCursor = PropCursor(value, loader);
    else if (PropIs(name, "Font.Color")) Font.Color = PropColor(value, loader);
    else if (PropIs(name, "Font.Name")) Font.Name = value.AsString();
    else if (PropIs(name, "Font.Size")) Font.Size = value.AsInt(1, 4096);
    else if (PropIs(name, "Font.Height")) Font.SetHeight(value.AsInt(-4096, 4096));
    else if (PropIs(name, "Font.Style")) {
        if (value.kind != TPropValue::Set) loader.Fail(value.line, "Font.Style needs a set");
        Font.Style = 0;
        for (const std::string& item : value.items) {
            if (rtl::SameText(item, "fsBold")) Font.Style |= fsBold;
            else if (rtl::SameText(item, "fsItalic")) Font.Style |= fsItalic;
            else if (rtl::SameText(item, "fsUnderline")) Font.Style |= fsUnderline;
            else if (rtl::SameText(item, "fsStrikeOut")) Font.Style |= fsStrikeOut;
            else loader.Fail(value.line, "Unknown font style " + item);
        }
    } else if (PropIs(name, "Anchors")) {
        if (value.kind != TPropValue::Set) loader.Fail(value.line, "Anchors needs a set");
        TAnchors anchors = 0;
        for (const std::string& item : value.items) {
            if (rtl::SameText(item, "akLeft")) anchors |= akLeft;
            else if (rtl::SameText(item, "akTop")) anchors |= akTop;
            else if (rtl::SameText(item, "akRight")) anchors |= akRight;
            else if (rtl::SameText(item, "akBottom")) anchors |= akBottom;
            else loader.Fail(value.line, "Unknown anchor " + item);
        }
        SetAnchors(anchors);
    } else if (PropIs(name, "Constraints.MinWidth") || PropIs(name, "Constraints.MinHeight") ||
               PropIs(name, "Constraints.MaxWidth") || PropIs(name, "Constraints.MaxHeight")) {
        TSizeConstraints c = FConstraints;
        int v = value.AsInt(0, kCoordinateLimit);
        if (PropIs(name, "Constraints.MinWidth")) c.MinWidth = v;
        else if (PropIs(name, "Constraints.MinHeight")) c.MinHeight = v;
        else if (PropIs(name, "Constraints.MaxWidth")) c.MaxWidth = v;
        else c.MaxHeight = v;
        SetConstraints(c);
    } else {
        return TComponent::SetProperty(name, value, loader);
    }
    return true;
}

// Action = Action1, PopupMenu = PopupMenu1: a component described earlier in the same form.
void TControl::SetReference(const std::string& name, const TPropValue& value, TFormLoader& loader) {
    TComponent* found = loader.FindComponent(value.AsIdentifier());
    if (PropIs(name, "Action")) {
        auto* action = dynamic_cast<TAction*>(found);
        if (!action) loader.Fail(value.line, "No action " + value.AsIdentifier());
        SetActionFromDescription(action);
    } else {
        auto* menu = dynamic_cast<TPopupMenu*>(found);
        if (!menu) loader.Fail(value.line, "No popup menu " + value.AsIdentifier());
        SetPopupMenu(menu);
    }
}

bool TControl::SetEvent(const std::string& name, const std::any& handler) {
    if (PropIs(name, "OnClick")) AssignEvent(OnClick, handler, name);
    else if (PropIs(name, "OnDblClick")) AssignEvent(OnDblClick, handler, name);
    else if (PropIs(name, "OnMouseDown")) AssignEvent(OnMouseDown, handler, name);
    else if (PropIs(name, "OnMouseMove")) AssignEvent(OnMouseMove, handler, name);
    else if (PropIs(name, "OnMouseUp")) AssignEvent(OnMouseUp, handler, name);
    else if (PropIs(name, "OnMouseEnter")) AssignEvent(OnMouseEnter, handler, name);
    else if (PropIs(name, "OnMouseLeave")) AssignEvent(OnMouseLeave, handler, name);
    else if (PropIs(name, "OnContextPopup")) AssignEvent(OnContextPopup, handler, name);
    else if (PropIs(name, "OnStartDrag")) AssignEvent(OnStartDrag, handler, name);
    else if (PropIs(name, "OnDragOver")) AssignEvent(OnDragOver, handler, name);
    else if (PropIs(name, "OnDragDrop")) AssignEvent(OnDragDrop, handler, name);
    else if (PropIs(name, "OnEndDrag")) AssignEvent(OnEndDrag, handler, name);
    else if (PropIs(name, "OnStartDock")) AssignEvent(OnStartDock, handler, name);
    else if (PropIs(name, "OnEndDock")) AssignEvent(OnEndDock, handler, name);
    else return TComponent::SetEvent(name, handler);
    return true;
}

// ---- TWinControl ----

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
    DestroyHandles();
    for (TControl* child : FControls) child->FParent = nullptr;
    FControls.clear();
}

TControl* TWinControl::Controls(int index) const {
    if (index < 0 || size_t(index) >= FControls.size()) throw rtl::Exception("List index out of bounds");
    return FControls[size_t(index)];
}

void TWinControl::InsertControl(TControl* control) {
    FControls.push_back(control);
    control->FParent = this;
    control->UpdateAnchorRules();
    if (auto* win = dynamic_cast<TWinControl*>(control)) {
        TForm* form = ParentForm();
        if (form && form->WindowPeer()) win->CreateHandles();
    }
    control->Invalidate();
}

void TWinControl::RemoveControl(TControl* control) {
    auto it = std::find(FControls.begin(), FControls.end(), control);
    if (it == FControls.end()) return;
    control->Invalidate();
    if (TForm* form = ParentForm()) form->ControlRemoved(control);
    if (auto* win = dynamic_cast<TWinControl*>(control)) win->DestroyHandles();
    FControls.erase(it);
    control->FParent = nullptr;
    control->FAnchorValid = false;
}

void TWinControl::AdoptChild(TComponent* child) {
    if (auto* control = dynamic_cast<TControl*>(child)) control->SetParent(this);
}

TControl* TWinControl::ControlAtPos(TPoint p, bool allowDisabled) {
    if (!ClientRect().Contains(p.X, p.Y)) return nullptr;
    for (int pass = 0; pass < 2; ++pass) {
        bool windowedPass = pass == 0;
        for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
            TControl* c = *it;
            if (c->IsWindowed() != windowedPass) continue;
            if (!c->FVisible || (!c->FEnabled && !allowDisabled)) continue;
            if (!c->BoundsRect().Contains(p.X, p.Y)) continue;
            if (auto* win = dynamic_cast<TWinControl*>(c))
                if (TControl* inner = win->ControlAtPos(TPoint{p.X - c->FLeft, p.Y - c->FTop}, allowDisabled))
                    return inner;
            return c;
        }
    }
    return this;
}

bool TWinControl::Focused() const {
    TForm* form = ParentForm();
    return form && form->ActiveControl() == this;
}

bool TWinControl::CanFocus() const { return false; }

void TWinControl::SetFocus() {
    TForm* form = ParentForm();
    if (!form) return;
    if (!Showing() || !FEnabled) throw rtl::Exception("Cannot focus a disabled or invisible window");
    form->SetActiveControl(this);
    if (form->ActiveControl() != this) return;  // an OnEnter or OnExit handler moved the focus or freed this
    if (FPeer) FPeer->SetFocus();
}

void TWinControl::PeerFocusChanged(bool focused) {
    if (TForm* form = ParentForm()) form->FocusChanged(this, focused);
}

void TWinControl::KeyDown(uint16_t& key, TShiftState shift) {
    Fire(OnKeyDown, this, key, shift);
}

void TWinControl::KeyPress(char& key) {
    Fire(OnKeyPress, this, key);
}

bool TWinControl::DialogChar(char key) {
    std::vector<TControl*> children = FControls;  // a taker may change the list
    for (TControl* child : children) {
        auto* win = dynamic_cast<TWinControl*>(child);
        if (win && std::find(FControls.begin(), FControls.end(), child) != FControls.end() && win->DialogChar(key))
            return true;
    }
    return false;
}

bool TWinControl::SetEvent(const std::string& name, const std::any& handler) {
    if (PropIs(name, "OnEnter")) AssignEvent(OnEnter, handler, name);
    else if (PropIs(name, "OnExit")) AssignEvent(OnExit, handler, name);
    else if (PropIs(name, "OnKeyDown")) AssignEvent(OnKeyDown, handler, name);
    else if (PropIs(name, "OnKeyPress")) AssignEvent(OnKeyPress, handler, name);
    else if (PropIs(name, "OnKeyUp")) AssignEvent(OnKeyUp, handler, name);
    else return TControl::SetEvent(name, handler);
    return true;
}

void TWinControl::SetEnabled(bool value) {
    if (value == FEnabled) return;
    TControl::SetEnabled(value);
    if (FPeer) FPeer->SetEnabled(value);
}

void TWinControl::SetCursor(TCursor cursor) {
    TControl::SetCursor(cursor);
    if (FPeer) FPeer->SetCursor(cursor, Screen().CursorHandle(cursor));
}

void TWinControl::CreateHandles() {
    TForm* form = ParentForm();
    if (!form || !form->WindowPeer()) return;
    if (!FPeer && form != this) {
        FPeer = CreatePeer(Backend(), *form->WindowPeer());
        if (FPeer) {
            SyncPeerGeometry();
            FPeer->SetEnabled(FEnabled);
            if (FCursor != crDefault) FPeer->SetCursor(FCursor, Screen().CursorHandle(FCursor));
            PeerCreated();
        }
    }
    for (TControl* child : FControls)
        if (auto* win = dynamic_cast<TWinControl*>(child)) win->CreateHandles();
}

void TWinControl::DestroyHandles() {
    for (TControl* child : FControls)
        if (auto* win = dynamic_cast<TWinControl*>(child)) win->DestroyHandles();
    FPeer.reset();
}

std::unique_ptr<IControlPeer> TWinControl::CreatePeer(IBackend&, IWindowPeer&) { return nullptr; }

void TWinControl::SyncPeerGeometry() {
    if (FPeer) {
        TRect visible = VisibleFormRect();
        FPeer->SetBounds(FormRect());
        FPeer->SetVisible(!visible.IsEmpty());
    }
    for (TControl* child : FControls)
        if (auto* win = dynamic_cast<TWinControl*>(child)) win->SyncPeerGeometry();
}

void TWinControl::BoundsChanged(const TRect& oldBounds) {
    TControl::BoundsChanged(oldBounds);
    SyncPeerGeometry();
    if (oldBounds.Width() != FWidth || oldBounds.Height() != FHeight) {
        std::vector<TControl*> children = FControls;  // a child may reorder the list while moving
        for (TControl* child : children) child->ParentResized();
    }
}

void TWinControl::VisibilityChanged() {
    TControl::VisibilityChanged();
    SyncPeerGeometry();
}

}  // namespace forms
