// TForm: a top-level window with a raster the graphic controls paint into, and the dispatch
// methods through which a backend delivers input.
#pragma once

#include <memory>
#include <string>

#include "platform/forms/bitmap.h"
#include "platform/forms/canvas.h"
#include "platform/forms/control.h"
#include "platform/forms/dragdrop.h"

namespace forms {

class TFormClass;

class TForm : public TWinControl {
public:
    explicit TForm(TComponent* owner);
    ~TForm() override;  // frees the components (OnDestroy has run in BeforeDestruction)
    void BeforeDestruction() override;  // fires OnDestroy once
    const char* ClassName() const override { return "TForm"; }

    // Loads the form description named by the class table from the resources folder, binds
    // fields and handlers, then fires OnCreate. Derived forms call it from their constructor.
    void InitForm(const TFormClass& formClass);

    std::string Caption() const { return FCaption; }
    void SetCaption(const std::string& caption);  // cp1251
    TFormBorderStyle BorderStyle = bsNone;
    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition position);
    TFormStyle FormStyle() const { return FFormStyle; }
    void SetFormStyle(TFormStyle style);  // fsStayOnTop keeps it above other windows
    void SetClientWidth(int value) { SetBounds(FLeft, FTop, value, FHeight); }
    void SetClientHeight(int value) { SetBounds(FLeft, FTop, FWidth, value); }

    void Show();
    void Hide();
    void SetVisible(bool value) override;
    // Asks OnCloseQuery, then OnClose with caHide (caFree for the main form, which also ends the
    // application); caNone keeps the form, caMinimize minimises.
    void Close();
    void Release();          // frees the form from the message loop
    void BringToFront();
    void Minimize();
    // The system move: the window follows the pointer until release (WM_SYSCOMMAND 0xF012).
    void BeginMoveDrag();
    // Ends the mouse capture (ReleaseCapture).
    void ReleaseCapture();

    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnResize;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    // With KeyPreview the form's own OnKeyDown/OnKeyPress see keys before the focused control.
    bool KeyPreview = false;

    // The raster: the whole client area repainted where dirty (colour, then graphic controls in
    // z-order, windowed controls' backgrounds). Backends blit it; tests read it.
    const TBitmap& Raster();
    TCanvas& Canvas();  // draws straight into the raster (painted over at the next repaint)
    void InvalidateRect(const TRect& clientRect);
    void Invalidate() override;
    bool NeedsRepaint() const { return !FDirty.IsEmpty(); }
    // Paints the dirty part of the raster now (a shown form only; a hidden one paints when shown).
    void Update();

    IWindowPeer* WindowPeer() const { return FWindow.get(); }
    TWinControl* ActiveControl() const { return FActiveControl; }
    void SetActiveControl(TWinControl* control);
    TControl* CaptureControl() const { return FCaptureControl; }
    TControl* HoverControl() const { return FHoverControl; }
    TDragTracker& DragTracker() { return FDrag; }
    TPoint LastMousePos() const { return FLastMouse; }  // client coordinates of the last mouse event
    // The context menu for a control: OnContextPopup up the parent chain until one handles it or
    // a control with a popup menu shows it. At (-1, -1) the keyboard asked. True when taken.
    bool ContextPopup(TControl* control, TPoint formPos, bool fromKeyboard);

    // Backend → form. Coordinates are client coordinates of the form.
    void DispatchMouseDown(TMouseButton button, TShiftState shift, int x, int y);  // ssDouble = double click
    void DispatchMouseMove(TShiftState shift, int x, int y);
    void DispatchMouseUp(TMouseButton button, TShiftState shift, int x, int y);
    void DispatchMouseLeave();
    bool DispatchKeyDown(uint16_t key, TShiftState shift);  // true when a shortcut/handler took it
    // A character for the focused control; returns the key left after the handlers (0 = eaten).
    char DispatchKeyPress(char key);
    void DispatchResized(int width, int height);  // the window manager changed the size
    void DispatchMoved(int left, int top);
    void DispatchCloseRequest();
    void DispatchActivated(bool active);

    bool SetProperty(const std::string& name, const TPropValue& value, TFormLoader& loader) override;
    bool SetEvent(const std::string& name, const std::any& handler) override;
    void Loaded() override;

    void SetCursor(TCursor cursor) override;

    // Called by controls.
    void ControlRemoved(TControl* control);
    void FocusChanged(TWinControl* control, bool focused);
    void RefreshCursor();
    bool Loading() const { return FLoading; }
    // True while the control is still on this form (handlers may free controls).
    bool HasControl(const TControl* control) const;

protected:
    void BoundsChanged(const TRect& oldBounds) override;

private:
    void PaintControls(TWinControl& container, const TRect& dirty);
    void PaintFrames(TWinControl& container, const TRect& dirty);
    bool TakeDialogChar(char key);
    void PlaceOnScreen();
    void UpdateHover(TControl* hovered, int x, int y);
    void ApplyCursor(TControl* control);
    TControl* TargetAt(int x, int y);

    std::unique_ptr<IWindowPeer> FWindow;
    std::string FCaption;
    TPosition FPosition = poDesigned;
    TFormStyle FFormStyle = fsNormal;
    TBitmap FRaster;
    TRect FDirty;
    TWinControl* FActiveControl = nullptr;
    TControl* FCaptureControl = nullptr;
    TControl* FHoverControl = nullptr;
    TControl* FClickControl = nullptr;  // got a left press that may become a click
    TShiftState FButtonsDown = 0;
    TPoint FLastMouse;
    TDragTracker FDrag{*this};
    bool FPlaced = false;
    bool FDestroyFired = false;
    bool FLoading = false;
    bool FShowAfterLoad = false;
    TCursor FAppliedCursor = crDefault;
    TCursorHandle FAppliedHandle;
};

}  // namespace forms
