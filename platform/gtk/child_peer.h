// A native GTK widget placed over a form's raster, at the control's bounds in the form's client
// coordinates. The form's container is a GtkLayout, whose size never grows with its children, so a
// control moved far outside the window (the browser in clip mode) simply lies out of sight.
#pragma once

#include <gtk/gtk.h>

#include <algorithm>

#include "platform/forms/application.h"
#include "platform/forms/backend.h"
#include "platform/forms/control.h"

namespace gtkui {

template <class Interface>
class GtkChildPeer : public Interface {
public:
    GtkChildPeer(GtkWidget* widget, forms::IWindowPeer& window, forms::TWinControl& control)
        : widget_(widget), control_(control) {
        g_object_ref_sink(widget_);
        gtk_layout_put(GTK_LAYOUT(window.NativeHandle()), widget_, 0, 0);
        g_signal_connect(widget_, "focus-in-event", G_CALLBACK(OnFocusIn), this);
        g_signal_connect(widget_, "focus-out-event", G_CALLBACK(OnFocusOut), this);
    }
    ~GtkChildPeer() override {
        g_signal_handlers_disconnect_by_data(widget_, this);
        if (GtkWidget* parent = gtk_widget_get_parent(widget_)) gtk_container_remove(GTK_CONTAINER(parent), widget_);
        g_object_unref(widget_);
    }
    GtkChildPeer(const GtkChildPeer&) = delete;
    GtkChildPeer& operator=(const GtkChildPeer&) = delete;

    void SetBounds(const forms::TRect& bounds) override {
        bounds_ = bounds;
        if (GtkWidget* parent = gtk_widget_get_parent(widget_)) {
            gtk_layout_move(GTK_LAYOUT(parent), widget_, bounds.Left, bounds.Top);
        }
        gtk_widget_set_size_request(widget_, std::max(bounds.Width(), 1), std::max(bounds.Height(), 1));
        ApplyVisibility();
    }
    void SetVisible(bool visible) override {
        visible_ = visible;
        ApplyVisibility();
    }
    void SetEnabled(bool enabled) override { gtk_widget_set_sensitive(widget_, enabled); }
    void SetFocus() override { gtk_widget_grab_focus(widget_); }
    bool Focused() const override { return gtk_widget_has_focus(widget_); }
    void SetCursor(forms::TCursor, const forms::TCursorHandle&) override {}
    void* NativeHandle() override { return widget_; }

    GtkWidget* Widget() const { return widget_; }
    forms::TWinControl& Control() const { return control_; }

protected:
    // Focus changes of a widget inside the placed one (which may take no focus itself) reach the
    // control too; StopFollowingFocus before that widget leaves.
    void FollowFocusOf(GtkWidget* inner) {
        g_signal_connect(inner, "focus-in-event", G_CALLBACK(OnFocusIn), this);
        g_signal_connect(inner, "focus-out-event", G_CALLBACK(OnFocusOut), this);
    }
    void StopFollowingFocus(GtkWidget* inner) { g_signal_handlers_disconnect_by_data(inner, this); }

private:
    // An empty control shows nothing (GTK would still draw a widget of its minimum size).
    void ApplyVisibility() { gtk_widget_set_visible(widget_, visible_ && !bounds_.IsEmpty()); }

    static gboolean OnFocusIn(GtkWidget*, GdkEvent*, gpointer self) {
        auto* peer = static_cast<GtkChildPeer*>(self);
        forms::SafeCall(&peer->control_, [peer] { peer->control_.PeerFocusChanged(true); });
        return FALSE;
    }
    static gboolean OnFocusOut(GtkWidget*, GdkEvent*, gpointer self) {
        auto* peer = static_cast<GtkChildPeer*>(self);
        forms::SafeCall(&peer->control_, [peer] { peer->control_.PeerFocusChanged(false); });
        return FALSE;
    }

    GtkWidget* widget_;
    forms::TWinControl& control_;
    forms::TRect bounds_;
    bool visible_ = true;
};

}  // namespace gtkui
