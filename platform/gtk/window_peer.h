// One undecorated GtkWindow per form. Its only child is a GtkLayout: the form's raster is painted
// on it and native child widgets are placed in it. Mouse input on the raster goes to the form's
// dispatcher (GTK's implicit grab carries the capture from press to release); keys go to the form
// first, so its shortcuts work wherever the focus is, and only then to the focused widget.
#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <string>

#include "platform/forms/backend.h"
#include "platform/forms/types.h"

namespace forms {
class TForm;
}

namespace gtkui {

class GtkWindowPeer : public forms::IWindowPeer {
public:
    explicit GtkWindowPeer(forms::TForm& form);
    ~GtkWindowPeer() override;
    GtkWindowPeer(const GtkWindowPeer&) = delete;
    GtkWindowPeer& operator=(const GtkWindowPeer&) = delete;

    void Show() override;
    void Hide() override;
    void SetBounds(const forms::TRect& screenBounds) override;
    void SetCaption(const std::string& caption) override;
    void SetStayOnTop(bool stayOnTop) override;
    void Invalidate(const forms::TRect& clientRect) override;
    void SetCursor(forms::TCursor cursor, const forms::TCursorHandle& custom) override;
    void ShowTooltip(const std::string& text, forms::TPoint clientPos) override;
    void HideTooltip() override;
    void BeginMoveDrag() override;
    void ReleaseCapture() override;
    void Minimize() override;
    void Maximize() override;
    void Restore() override;
    void BringToFront() override;
    void* NativeHandle() override { return layout_; }

    GtkWindow* Window() const { return GTK_WINDOW(window_); }
    forms::TForm& Form() const { return form_; }

    // Event handlers (public for the C callbacks).
    void Paint(cairo_t* cr);
    bool ButtonPress(const GdkEventButton* event);
    bool ButtonRelease(const GdkEventButton* event);
    bool Motion(const GdkEventMotion* event);
    void Leave(const GdkEventCrossing* event);
    bool KeyPress(const GdkEventKey* event);
    void Allocated(int width, int height);
    void Configured();
    void ActiveChanged();
    void CloseRequested();
    void Realized();

private:
    bool IsDoubleClick(const GdkEventButton* event);
    forms::TPoint ClientPoint(GdkWindow* window, double x, double y) const;
    void ApplyCursor();
    bool TypeIntoFocusedEntry(char typed);

    forms::TForm& form_;
    // False once the peer is gone: a handler may free the form while its key is being handled.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    GtkWidget* window_ = nullptr;
    GtkWidget* layout_ = nullptr;
    GtkWidget* tooltip_ = nullptr;
    GtkWidget* tooltipLabel_ = nullptr;
    GdkCursor* cursor_ = nullptr;
    forms::TRect bounds_;
    bool boundsSet_ = false;
    // Double-click detection, done here so the form sees down, up, double-click down, up.
    guint32 lastPressTime_ = 0;
    double lastPressX_ = -1000, lastPressY_ = -1000;
    guint lastPressButton_ = 0;
    bool lastWasDouble_ = false;
};

}  // namespace gtkui
