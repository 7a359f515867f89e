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

uintptr_t NativeVideoWindow(forms::TWinControl* display) {
    // Only peers of the GTK backend hold GTK widgets.
    if (!display || !display->Peer() || !forms::HasBackend()) return 0;
    if (!dynamic_cast<gtkui::GtkBackend*>(&forms::Backend())) return 0;
    auto* widget = static_cast<GtkWidget*>(display->Peer()->NativeHandle());
    if (!widget || !GTK_IS_WIDGET(widget)) return 0;
    if (!gtk_widget_get_has_window(widget)) return 0;  // it would draw over its parent
    if (!gtk_widget_get_realized(widget)) gtk_widget_realize(widget);
    GdkWindow* window = gtk_widget_get_window(widget);
    if (!window) return 0;
#ifdef GDK_WINDOWING_X11
    if (!GDK_IS_X11_WINDOW(window)) return 0;
    // The sink needs a window of its own: a native child, not a region of the parent's window.
    if (!gdk_window_ensure_native(window)) return 0;
    return uintptr_t(gdk_x11_window_get_xid(window));
#else
    return 0;
#endif
}

}  // namespace media
