// Controls: geometry, visibility, anchors, constraints, mouse events; graphic controls paint into
// their form's raster, windowed controls own a native peer created through the backend.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/forms/backend.h"
#include "platform/forms/component.h"
#include "platform/forms/dragdrop.h"
#include "platform/forms/font.h"

namespace forms {

class TAction;
class TCanvas;
class TControlActionLink;
class TForm;
class TPopupMenu;
class TWinControl;

// Control style flags. A framed control gets a sunken one-pixel frame drawn around it by its
// parent; the others are kept for the controls that declare them.
using TControlStyle = uint32_t;
constexpr TControlStyle csFramed = 1;
constexpr TControlStyle csOpaque = 2;
constexpr TControlStyle csSetCaption = 4;
constexpr TControlStyle csDoubleClicks = 8;

// MousePos is in the control's client coordinates, (-1, -1) when the keyboard asked for the menu.
using TContextPopupEvent = std::function<void(TObject* Sender, TPoint MousePos, bool& Handled)>;

struct TSizeConstraints {
    int MinWidth = 0;
    int MinHeight = 0;
    int MaxWidth = 0;   // 0 = no limit
    int MaxHeight = 0;
};

class TControl : public TComponent {
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;
    const char* ClassName() const override { return "TControl"; }

    TWinControl* Parent() const { return FParent; }
    virtual void SetParent(TWinControl* parent);
    TForm* ParentForm() const;  // the form this control lies on (itself for a form)

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int value);
    void SetTop(int value);
    void SetWidth(int value);
    void SetHeight(int value);
    virtual void SetBounds(int left, int top, int width, int height);
    TRect BoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
    virtual TRect ClientRect() const { return Rect(0, 0, FWidth, FHeight); }
    int ClientWidth() const { return ClientRect().Width(); }
    int ClientHeight() const { return ClientRect().Height(); }

    bool Visible() const { return FVisible; }
    virtual void SetVisible(bool value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool value);
    // Visible itself and every parent up to the form (the form's own Visible not counted).
    bool Showing() const;

    TAnchors Anchors() const { return FAnchors; }
    void SetAnchors(TAnchors anchors);
    const TSizeConstraints& Constraints() const { return FConstraints; }
    void SetConstraints(const TSizeConstraints& constraints);  // re-applies the current size at once

    TCursor Cursor() const { return FCursor; }
    virtual void SetCursor(TCursor cursor);
    std::string Hint;  // cp1251
    bool ShowHint = false;
    TColor Color() const { return FColor; }
    virtual void SetColor(TColor color);
    TFont Font;
    TControlStyle ControlStyle() const { return FControlStyle; }
    void SetControlStyle(TControlStyle style);  // a change of csFramed repaints the frame's area

    // The action the control runs when clicked and takes its state from; null for none.
    TAction* Action() const;
    void SetAction(TAction* action);

    // The menu a right click or the menu key shows (a parent's when the control has none).
    TPopupMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(TPopupMenu* menu);
    TContextPopupEvent OnContextPopup;

    // Dragging: with dmAutomatic a left press begins a drag at once (the press is no click then).
    TDragMode DragMode = dmManual;
    TCursor DragCursor = crDrag;  // shown while a target accepts
    TDragKind DragKind = dkDrag;  // dkDock drags nothing: the library has no docking
    TStartDragEvent OnStartDrag;
    TDragOverEvent OnDragOver;
    TDragDropEvent OnDragDrop;
    TEndDragEvent OnEndDrag;
    TStartDockEvent OnStartDock;  // kept for the designer; never fired
    TEndDragEvent OnEndDock;      // kept for the designer; never fired
    // Begins a drag from this control at the mouse's place; without immediate it takes effect once
    // the mouse moved threshold pixels (kDragThreshold when negative).
    void BeginDrag(bool immediate, int threshold = -1);
    void EndDrag(bool drop);
    bool Dragging() const;
    // The drag steps, as the form's tracker calls them (X, Y in this control's client coordinates).
    virtual void DoStartDrag(TDragObject*& dragObject);
    virtual bool DragOver(TObject* source, int x, int y, TDragState state);  // true = accepted
    virtual void DragDrop(TObject* source, int x, int y);
    virtual void DoEndDrag(TObject* target, int x, int y);

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

    virtual bool IsWindowed() const { return false; }
    // Marks the control's area of the form raster for repainting (and its peer, for windowed
    // controls); the paint follows from the message loop.
    virtual void Invalidate();
    // Invalidates and paints at once (the raster is current when it returns).
    void Repaint();
    void Refresh() { Repaint(); }
    void BringToFront();
    void SendToBack();

    // Coordinates.
    TPoint ClientToForm(TPoint p) const;  // from this control's client area to its form's
    TPoint FormToClient(TPoint p) const;
    TRect FormRect() const;               // bounds in form client coordinates
    TRect VisibleFormRect() const;        // clipped by every parent's client area; empty when hidden

    // Mouse input, in this control's client coordinates (called by the form's dispatcher).
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void Click();
    virtual void DblClick();
    virtual void MouseEnter();
    virtual void MouseLeave();

    // Painting into the form raster; the canvas is already moved to the control's origin and
    // clipped to its visible part.
    virtual void Paint(TCanvas& canvas);

    bool SetProperty(const std::string& name, const TPropValue& value, TFormLoader& loader) override;
    bool SetEvent(const std::string& name, const std::any& handler) override;

    // Anchor support: the parent's client size changed; moves/sizes by the anchor rules.
    void ParentResized();
    // Records the current bounds as the anchor reference (done on every explicit placement).
    void UpdateAnchorRules();

protected:
    // Moves/resizes without touching the anchor reference; notifies peers and parents.
    virtual void DoSetBounds(int left, int top, int width, int height);
    virtual void BoundsChanged(const TRect& oldBounds);
    virtual void VisibilityChanged();
    void ConstrainSize(int& width, int& height) const;
    // An action was assigned (checkDefaults: while loading, take only what the control leaves at
    // its default). The library copies Enabled.
    virtual void ActionChange(TObject* sender, bool checkDefaults);
    virtual std::unique_ptr<TControlActionLink> CreateActionLink();
    TControlActionLink* ActionLink() const { return FActionLink.get(); }

    TWinControl* FParent = nullptr;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    bool FVisible = true;
    bool FEnabled = true;
    TAnchors FAnchors = akLeft | akTop;
    TSizeConstraints FConstraints;
    TCursor FCursor = crDefault;
    TColor FColor = clBtnFace;
    TControlStyle FControlStyle = 0;

private:
    friend class TWinControl;
    TRect PaintedArea(const TRect& bounds) const;  // bounds plus the frame of a framed control
    void SetActionFromDescription(TAction* action);
    void SetReference(const std::string& name, const TPropValue& value, TFormLoader& loader);
    std::unique_ptr<TControlActionLink> FActionLink;
    TPopupMenu* FPopupMenu = nullptr;
    TRect FAnchorBounds;          // bounds when the anchor rules were last taken
    TPoint FAnchorParentSize;     // the parent's client size at that moment
    bool FAnchorValid = false;
};

// A control that paints itself into its form's raster (pictures, gauges).
class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent* owner) : TControl(owner) {}
    const char* ClassName() const override { return "TGraphicControl"; }
};

// A control with children and, once on a form with a window, a native peer.
class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;
    const char* ClassName() const override { return "TWinControl"; }

    bool IsWindowed() const override { return true; }
    int ControlCount() const { return int(FControls.size()); }
    TControl* Controls(int index) const;  // z-order, bottom first
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    void AdoptChild(TComponent* child) override;

    // Hit testing in this control's client coordinates: windowed children above graphic ones,
    // later ones above earlier ones; hidden, disabled and clipped-away children are skipped.
    // Returns this control when no child is hit, null when the point lies outside.
    TControl* ControlAtPos(TPoint clientPos, bool allowDisabled = false);

    IControlPeer* Peer() const { return FPeer.get(); }
    bool Focused() const;
    virtual bool CanFocus() const;
    virtual void SetFocus();
    // Called by peers.
    void PeerFocusChanged(bool focused);

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyPressEvent OnKeyPress;
    TKeyEvent OnKeyUp;

    // Keyboard input routed by the form to the focused control.
    virtual void KeyDown(uint16_t& key, TShiftState shift);
    virtual void KeyPress(char& key);
    // An accelerator character ("&X" of a caption) offered to the children; true once taken.
    virtual bool DialogChar(char key);
    // A control that types characters (an edit box) keeps plain letters from the accelerators.
    virtual bool WantsChars() const { return false; }

    bool SetEvent(const std::string& name, const std::any& handler) override;
    void SetEnabled(bool value) override;
    void SetCursor(TCursor cursor) override;

    // Creates the native peer (and the children's) when the form has a window. Idempotent.
    void CreateHandles();
    // Drops the peers (before the form's window goes away).
    void DestroyHandles();

protected:
    // Windowed controls with a native widget override this; the default has none.
    virtual std::unique_ptr<IControlPeer> CreatePeer(IBackend& backend, IWindowPeer& window);
    virtual void PeerCreated() {}  // push the current state into a new peer
    void SyncPeerGeometry();
    void BoundsChanged(const TRect& oldBounds) override;
    void VisibilityChanged() override;

    friend class TControl;
    std::vector<TControl*> FControls;
    std::unique_ptr<IControlPeer> FPeer;
};

}  // namespace forms
