#include "platform/media/video_window.h"

#include "platform/forms/backend.h"
#include "platform/forms/control.h"
#include "platform/gtk/gtk_backend.h"

// Last: the X headers define macros that clash with ordinary names.
#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

namespace media {

struct VideoWindow::Native {
    GtkWidget* widget = nullptr;  // the control's widget (a reference is held)
    GdkWindow* child = nullptr;   // the picture's window, inside the widget's window
    gulong unrealizeHandler = 0;
    std::function<void()> onLost;

    ~Native() {
        if (unrealizeHandler) g_signal_handler_disconnect(widget, unrealizeHandler);
        DestroyChild();
        if (widget) g_object_unref(widget);
    }
    void DestroyChild() {
        if (!child) return;
        gdk_window_destroy(child);
        child = nullptr;
    }
    static void OnUnrealize(GtkWidget*, gpointer data) {
        auto* self = static_cast<Native*>(data);
        if (self->onLost) self->onLost();
        self->DestroyChild();
    }
};

namespace {

// The control's GTK widget when the GTK backend shows it (only its peers hold GTK widgets).
GtkWidget* WidgetOf(forms::TWinControl* display) {
    if (!display || !display->Peer() || !forms::HasBackend()) return nullptr;
    if (!dynamic_cast<gtkui::GtkBackend*>(&forms::Backend())) return nullptr;
    auto* widget = static_cast<GtkWidget*>(display->Peer()->NativeHandle());
    if (!widget || !GTK_IS_WIDGET(widget) || !gtk_widget_get_has_window(widget)) return nullptr;
    return widget;
}

}  // namespace

VideoWindow::VideoWindow(std::unique_ptr<Native> native) : native_(std::move(native)) {
#ifdef GDK_WINDOWING_X11
    handle_ = uintptr_t(gdk_x11_window_get_xid(native_->child));
#endif
}

VideoWindow::~VideoWindow() = default;

std::unique_ptr<VideoWindow> VideoWindow::Create(forms::TWinControl* display, std::function<void()> onLost) {
#ifdef GDK_WINDOWING_X11
    GtkWidget* widget = WidgetOf(display);
    if (!widget) return nullptr;
    if (!gtk_widget_get_realized(widget)) gtk_widget_realize(widget);
    GdkWindow* parent = gtk_widget_get_window(widget);
    if (!parent || !GDK_IS_X11_WINDOW(parent)) return nullptr;

    GdkWindowAttr attributes{};
    attributes.window_type = GDK_WINDOW_CHILD;
    attributes.wclass = GDK_INPUT_OUTPUT;
    attributes.width = std::max(gdk_window_get_width(parent), 1);
    attributes.height = std::max(gdk_window_get_height(parent), 1);
    attributes.visual = gdk_window_get_visual(parent);
    GdkWindow* child = gdk_window_new(parent, &attributes, GDK_WA_X | GDK_WA_Y | GDK_WA_VISUAL);
    if (!child || !gdk_window_ensure_native(child)) {
        if (child) gdk_window_destroy(child);
        return nullptr;
    }
    gdk_window_show(child);
    // The sink asks the server about the window on a connection of its own: the window must
    // exist there first, or the sink works with a garbage size and draws nothing.
    gdk_display_sync(gdk_window_get_display(child));

    auto native = std::make_unique<Native>();
    native->widget = GTK_WIDGET(g_object_ref(widget));
    native->child = child;
    native->onLost = std::move(onLost);
    native->unrealizeHandler = g_signal_connect(widget, "unrealize", G_CALLBACK(Native::OnUnrealize), native.get());
    return std::unique_ptr<VideoWindow>(new VideoWindow(std::move(native)));
#else
    (void)display;
    (void)onLost;
    return nullptr;
#endif
}

void VideoWindow::Place(const forms::TRect& rect) {
    if (!native_->child) return;
    forms::TRect target = rect;
    if (target.IsEmpty()) {
        GdkWindow* parent = gdk_window_get_parent(native_->child);
        target = forms::Bounds(0, 0, gdk_window_get_width(parent), gdk_window_get_height(parent));
    }
    gdk_window_move_resize(native_->child, target.Left, target.Top, std::max(target.Width(), 1),
                           std::max(target.Height(), 1));
    gdk_display_flush(gdk_window_get_display(native_->child));
}

}  // namespace media
