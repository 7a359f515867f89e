// The seam between the class library and a windowing backend (GTK on screen, headless in tests).
// The library drives peers through these interfaces; a backend feeds input back through the
// dispatch methods of TForm (form.h) and TApplication (application.h). Every call happens on the
// GUI thread. Texts cross the seam in cp1251; the backend converts at its own edge.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/types.h"

namespace forms {

class TForm;
class TEdit;
class TPanel;
class TWinControl;
class TFont;

// An opaque cursor loaded by the backend; null means "use the default cursor".
using TCursorHandle = std::shared_ptr<void>;

// A native child widget placed over the form's raster. Bounds are in the form's client coordinates.
class IControlPeer {
public:
    virtual ~IControlPeer() = default;
    virtual void SetBounds(const TRect& bounds) = 0;
    virtual void SetVisible(bool visible) = 0;  // already combined with the parents' visibility
    virtual void SetEnabled(bool enabled) = 0;
    virtual void SetFocus() = 0;
    virtual bool Focused() const = 0;
    virtual void SetCursor(TCursor cursor, const TCursorHandle& custom) = 0;
    // The native object children embed into (a GtkWidget* on GTK); may be null.
    virtual void* NativeHandle() = 0;
};

// One-line edit box. The peer reports text typed into it with TEdit::PeerTextChanged and focus
// changes with TWinControl::PeerFocusChanged; characters reach TForm::DispatchKeyPress first.
class IEditPeer : public virtual IControlPeer {
public:
    virtual void SetText(const std::string& text) = 0;
    virtual void SetMaxLength(int maxLength) = 0;     // 0 = no limit
    virtual void SetPasswordChar(char passwordChar) = 0;  // 0 = shown as typed
    virtual void SetColors(TColor background, TColor foreground) = 0;
    virtual void SetFont(const TFont& font) = 0;
    virtual void SetBorder(bool visible) = 0;
    virtual void SelectAll() = 0;
};

// A container (and the native window the video renders into).
class IPanelPeer : public virtual IControlPeer {
public:
    virtual void SetColor(TColor color) = 0;
};

// One top-level window per form. Forms are borderless: window bounds are the client bounds.
class IWindowPeer {
public:
    virtual ~IWindowPeer() = default;
    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual void SetBounds(const TRect& screenBounds) = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void SetStayOnTop(bool stayOnTop) = 0;
    // Marks part of the client area dirty; the backend later takes TForm::Raster() and blits it.
    virtual void Invalidate(const TRect& clientRect) = 0;
    virtual void SetCursor(TCursor cursor, const TCursorHandle& custom) = 0;
    virtual void ShowTooltip(const std::string& text, TPoint clientPos) = 0;
    virtual void HideTooltip() = 0;
    // The system move command: the window follows the pointer until the button is released.
    virtual void BeginMoveDrag() = 0;
    virtual void ReleaseCapture() = 0;
    virtual void Minimize() = 0;
    virtual void Maximize() = 0;  // the window manager's maximized state (no effect without one)
    virtual void Restore() = 0;
    virtual void BringToFront() = 0;
    virtual void* NativeHandle() = 0;  // the container native child peers are placed in
};

// One line of a popup menu as the backend shows it.
struct TMenuEntry {
    std::string caption;  // cp1251; "-" draws a separator, "&" marks the accelerator
    bool enabled = true;
    bool checked = false;
};

class IBackend {
public:
    virtual ~IBackend() = default;

    virtual std::unique_ptr<IWindowPeer> CreateWindowPeer(TForm& form) = 0;
    virtual std::unique_ptr<IEditPeer> CreateEditPeer(TEdit& edit, IWindowPeer& window) = 0;
    virtual std::unique_ptr<IPanelPeer> CreatePanelPeer(TPanel& panel, IWindowPeer& window) = 0;
    // Room for native controls added later (a combo box, a grid ...): the control asks by a kind
    // name and casts the result to its own peer interface; null when the backend has none.
    virtual std::unique_ptr<IControlPeer> CreateNativePeer(const std::string& kind, TWinControl& control,
                                                           IWindowPeer& window) {
        (void)kind, (void)control, (void)window;
        return nullptr;
    }

    // Shows a popup menu over the window at a client point and returns at once; chosen(index)
    // runs from the message loop when the user picks an enabled entry. Without a menu of its own
    // the backend shows nothing.
    virtual void PopupMenu(IWindowPeer& window, TPoint clientPos, const std::vector<TMenuEntry>& entries,
                           std::function<void(int index)> chosen) {
        (void)window, (void)clientPos, (void)entries, (void)chosen;
    }

    virtual TRect WorkArea() = 0;   // the desktop work area (screen minus panels)
    virtual TPoint ScreenSize() = 0;

    // Timers call back on the GUI thread from the message loop. Ids are never 0.
    virtual int AddTimer(unsigned intervalMs, std::function<void()> callback) = 0;
    virtual void RemoveTimer(int id) = 0;
    // Queues work for the message loop (runs after the current handler returns).
    virtual void Post(std::function<void()> task) = 0;

    // Waits for one message and dispatches it; false when nothing can ever arrive (headless only).
    virtual bool HandleMessage() = 0;
    // Dispatches every pending message without waiting; may be called from inside handlers.
    virtual void ProcessMessages() = 0;
    // Wakes a HandleMessage that waits, so the loop notices termination.
    virtual void WakeUp() = 0;

    // Loads a .cur file (path in cp1251, Windows style); null when it cannot be loaded.
    virtual TCursorHandle LoadCursorFromFile(const std::string& path) = 0;
    virtual void Beep() = 0;
};

// The backend every form uses. Set it once before creating forms; Backend() raises
// rtl::Exception when none is set.
void SetBackend(IBackend* backend);
IBackend& Backend();
bool HasBackend();

}  // namespace forms
