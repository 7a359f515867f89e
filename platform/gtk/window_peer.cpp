#include "platform/gtk/window_peer.h"

#include <cmath>

#include "platform/forms/application.h"
#include "platform/forms/form.h"
#include "platform/gtk/cursors.h"
#include "platform/gtk/keys.h"
#include "platform/rtl/codepage.h"

namespace gtkui {
namespace {

GtkWindowPeer* Self(gpointer data) { return static_cast<GtkWindowPeer*>(data); }

gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer data) {
    Self(data)->Paint(cr);
    return FALSE;  // the layout goes on to draw the native children
}
gboolean OnButtonPress(GtkWidget*, GdkEventButton* event, gpointer data) { return Self(data)->ButtonPress(event); }
gboolean OnButtonRelease(GtkWidget*, GdkEventButton* event, gpointer data) {
    return Self(data)->ButtonRelease(event);
}
gboolean OnMotion(GtkWidget*, GdkEventMotion* event, gpointer data) { return Self(data)->Motion(event); }
gboolean OnLeave(GtkWidget*, GdkEventCrossing* event, gpointer data) {
    Self(data)->Leave(event);
    return FALSE;
}
gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) { return Self(data)->KeyPress(event); }
void OnSizeAllocate(GtkWidget*, GdkRectangle* allocation, gpointer data) {
    Self(data)->Allocated(allocation->width, allocation->height);
}
gboolean OnConfigure(GtkWidget*, GdkEvent*, gpointer data) {
    Self(data)->Configured();
    return FALSE;
}
void OnActiveChanged(GObject*, GParamSpec*, gpointer data) { Self(data)->ActiveChanged(); }
gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
    Self(data)->CloseRequested();
    return TRUE;  // the form decides whether it closes
}
void OnRealize(GtkWidget*, gpointer data) { Self(data)->Realized(); }

forms::TMouseButton ButtonOf(guint button) {
    if (button == 3) return forms::mbRight;
    if (button == 2) return forms::mbMiddle;
    return forms::mbLeft;
}

forms::TShiftState ButtonBit(guint button) {
    if (button == 3) return forms::ssRight;
    if (button == 2) return forms::ssMiddle;
    return forms::ssLeft;
}

int Coord(double v) { return int(std::floor(v)); }

// The application is active while any of its windows (dialogs included) has the focus; the check
// runs once the focus has settled, so a switch between its own windows is no change.
gboolean CheckApplicationActive(gpointer) {
    GList* windows = gtk_window_list_toplevels();
    bool active = false;
    for (GList* item = windows; item; item = item->next) active = active || gtk_window_is_active(GTK_WINDOW(item->data));
    g_list_free(windows);
    forms::SafeCall(nullptr, [active] { forms::Application().DispatchActive(active); });
    return G_SOURCE_REMOVE;
}

}  // namespace

GtkWindowPeer::GtkWindowPeer(forms::TForm& form) : form_(form) {
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_object_ref_sink(window_);
    gtk_window_set_decorated(GTK_WINDOW(window_), FALSE);
    layout_ = gtk_layout_new(nullptr, nullptr);
    gtk_widget_add_events(layout_, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                                       GDK_LEAVE_NOTIFY_MASK | GDK_ENTER_NOTIFY_MASK);
    gtk_container_add(GTK_CONTAINER(window_), layout_);
    gtk_widget_show(layout_);

    g_signal_connect(layout_, "draw", G_CALLBACK(OnDraw), this);
    g_signal_connect(layout_, "button-press-event", G_CALLBACK(OnButtonPress), this);
    g_signal_connect(layout_, "button-release-event", G_CALLBACK(OnButtonRelease), this);
    g_signal_connect(layout_, "motion-notify-event", G_CALLBACK(OnMotion), this);
    g_signal_connect(layout_, "leave-notify-event", G_CALLBACK(OnLeave), this);
    g_signal_connect(layout_, "size-allocate", G_CALLBACK(OnSizeAllocate), this);
    g_signal_connect(layout_, "realize", G_CALLBACK(OnRealize), this);
    g_signal_connect(window_, "key-press-event", G_CALLBACK(OnKeyPress), this);
    g_signal_connect(window_, "configure-event", G_CALLBACK(OnConfigure), this);
    g_signal_connect(window_, "notify::is-active", G_CALLBACK(OnActiveChanged), this);
    g_signal_connect(window_, "delete-event", G_CALLBACK(OnDelete), this);

    tooltip_ = gtk_window_new(GTK_WINDOW_POPUP);
    g_object_ref_sink(tooltip_);
    gtk_window_set_type_hint(GTK_WINDOW(tooltip_), GDK_WINDOW_TYPE_HINT_TOOLTIP);
    tooltipLabel_ = gtk_label_new("");
    gtk_container_set_border_width(GTK_CONTAINER(tooltip_), 3);
    gtk_container_add(GTK_CONTAINER(tooltip_), tooltipLabel_);
    gtk_widget_show(tooltipLabel_);
}

GtkWindowPeer::~GtkWindowPeer() {
    *alive_ = false;
    g_signal_handlers_disconnect_by_data(layout_, this);
    g_signal_handlers_disconnect_by_data(window_, this);
    gtk_widget_destroy(tooltip_);
    g_object_unref(tooltip_);
    gtk_widget_destroy(window_);
    g_object_unref(window_);
    if (cursor_) g_object_unref(cursor_);
}

void GtkWindowPeer::Show() {
    gtk_widget_show(window_);
    if (boundsSet_) gtk_window_move(GTK_WINDOW(window_), bounds_.Left, bounds_.Top);
}

void GtkWindowPeer::Hide() {
    HideTooltip();
    gtk_widget_hide(window_);
}

void GtkWindowPeer::SetBounds(const forms::TRect& screenBounds) {
    // A window the window manager maximized: its own size coming back through the form changes
    // nothing, and any other size the program gives takes the window out of that state.
    if (GdkWindow* native = gtk_widget_get_window(window_);
        native && (gdk_window_get_state(native) & GDK_WINDOW_STATE_MAXIMIZED)) {
        if (screenBounds.Width() == gtk_widget_get_allocated_width(layout_) &&
            screenBounds.Height() == gtk_widget_get_allocated_height(layout_)) {
            bounds_ = screenBounds;
            boundsSet_ = true;
            return;
        }
        gtk_window_unmaximize(GTK_WINDOW(window_));
    }
    bounds_ = screenBounds;
    boundsSet_ = true;
    gtk_window_move(GTK_WINDOW(window_), screenBounds.Left, screenBounds.Top);
    gtk_window_resize(GTK_WINDOW(window_), std::max(screenBounds.Width(), 1), std::max(screenBounds.Height(), 1));
}

void GtkWindowPeer::SetCaption(const std::string& caption) {
    gtk_window_set_title(GTK_WINDOW(window_), rtl::Cp1251ToUtf8(caption).c_str());
}

void GtkWindowPeer::SetStayOnTop(bool stayOnTop) { gtk_window_set_keep_above(GTK_WINDOW(window_), stayOnTop); }

void GtkWindowPeer::Invalidate(const forms::TRect& clientRect) {
    if (clientRect.IsEmpty()) return;
    gtk_widget_queue_draw_area(layout_, clientRect.Left, clientRect.Top, clientRect.Width(), clientRect.Height());
}

void GtkWindowPeer::Paint(cairo_t* cr) {
    const forms::TBitmap* raster = nullptr;
    forms::SafeCall(&form_, [&] { raster = &form_.Raster(); });
    if (!raster || raster->Empty()) return;
    // The raster's pixels are 0x00RRGGBB, which is cairo's RGB24 layout; no copy is needed.
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(raster->Data())), CAIRO_FORMAT_RGB24, raster->Width(),
        raster->Height(), raster->Width() * 4);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_rectangle(cr, 0, 0, raster->Width(), raster->Height());
    cairo_fill(cr);
    cairo_surface_destroy(surface);
}

bool GtkWindowPeer::IsDoubleClick(const GdkEventButton* event) {
    gint doubleTime = 400, doubleDistance = 5;
    g_object_get(gtk_widget_get_settings(layout_), "gtk-double-click-time", &doubleTime, "gtk-double-click-distance",
                 &doubleDistance, nullptr);
    bool isDouble = !lastWasDouble_ && event->button == lastPressButton_ &&
                    event->time - lastPressTime_ <= guint32(doubleTime) &&
                    std::fabs(event->x - lastPressX_) <= doubleDistance &&
                    std::fabs(event->y - lastPressY_) <= doubleDistance;
    lastPressTime_ = event->time;
    lastPressX_ = event->x;
    lastPressY_ = event->y;
    lastPressButton_ = event->button;
    lastWasDouble_ = isDouble;
    return isDouble;
}

// Events a native child leaves unhandled (a check button's right click, the pointer moving over
// it) reach the layout in the child's window coordinates; the form wants its own.
forms::TPoint GtkWindowPeer::ClientPoint(GdkWindow* window, double x, double y) const {
    GdkWindow* surface = gtk_layout_get_bin_window(GTK_LAYOUT(layout_));
    double cx = x, cy = y;
    GdkWindow* w = window;
    for (; w && w != surface; w = gdk_window_get_parent(w)) {
        gint dx = 0, dy = 0;
        gdk_window_get_position(w, &dx, &dy);
        cx += dx;
        cy += dy;
    }
    return w ? forms::TPoint{Coord(cx), Coord(cy)} : forms::TPoint{Coord(x), Coord(y)};
}

bool GtkWindowPeer::ButtonPress(const GdkEventButton* event) {
    if (event->type != GDK_BUTTON_PRESS) return TRUE;  // GDK's own double/triple clicks: see IsDoubleClick
    HideTooltip();
    forms::TShiftState shift = ShiftStateOf(event->state) | ButtonBit(event->button);
    if (IsDoubleClick(event)) shift |= forms::ssDouble;
    forms::SafeCall(&form_, [&] {
        forms::TPoint p = ClientPoint(event->window, event->x, event->y);
        form_.DispatchMouseDown(ButtonOf(event->button), shift, p.X, p.Y);
    });
    return TRUE;
}

bool GtkWindowPeer::ButtonRelease(const GdkEventButton* event) {
    forms::TShiftState shift = ShiftStateOf(event->state) & ~ButtonBit(event->button);
    forms::SafeCall(&form_, [&] {
        forms::TPoint p = ClientPoint(event->window, event->x, event->y);
        form_.DispatchMouseUp(ButtonOf(event->button), shift, p.X, p.Y);
    });
    return TRUE;
}

bool GtkWindowPeer::Motion(const GdkEventMotion* event) {
    forms::SafeCall(&form_, [&] {
        forms::TPoint p = ClientPoint(event->window, event->x, event->y);
        form_.DispatchMouseMove(ShiftStateOf(event->state), p.X, p.Y);
    });
    return TRUE;
}

void GtkWindowPeer::Leave(const GdkEventCrossing* event) {
    if (event->mode != GDK_CROSSING_NORMAL) return;  // grabs starting or ending are no real leave
    HideTooltip();
    forms::SafeCall(&form_, [&] { form_.DispatchMouseLeave(); });
}

bool GtkWindowPeer::TypeIntoFocusedEntry(char typed) {
    char left = typed;
    std::shared_ptr<bool> alive = alive_;
    forms::SafeCall(&form_, [&] { left = form_.DispatchKeyPress(typed); });
    if (!*alive) return true;
    if (left == typed) return false;  // the entry types it as usual
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window_));
    if (left >= 0x20 || static_cast<unsigned char>(left) >= 0x80) {
        if (focus && GTK_IS_EDITABLE(focus)) {
            std::string text = rtl::Cp1251ToUtf8(std::string(1, left));
            gint position = gtk_editable_get_position(GTK_EDITABLE(focus));
            gtk_editable_insert_text(GTK_EDITABLE(focus), text.c_str(), -1, &position);
            gtk_editable_set_position(GTK_EDITABLE(focus), position);
        }
    }
    return true;  // eaten or replaced
}

bool GtkWindowPeer::KeyPress(const GdkEventKey* event) {
    uint16_t key = VirtualKeyOf(event);
    forms::TShiftState shift = ShiftStateOf(event->state);
    bool taken = false;
    std::shared_ptr<bool> alive = alive_;
    if (key != 0) forms::SafeCall(&form_, [&] { taken = form_.DispatchKeyDown(key, shift); });
    if (taken || !*alive) return TRUE;
    // Characters go through the form's key-press chain (and on to the accelerators) when an edit
    // box, a button or nothing has the focus; the browser takes its keys itself.
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window_));
    bool toForm = !focus || GTK_IS_ENTRY(focus) || GTK_IS_BUTTON(focus) || focus == layout_;
    char typed = CharOf(event->keyval, event->state);
    if (toForm && typed != 0 && TypeIntoFocusedEntry(typed)) return TRUE;
    return FALSE;
}

void GtkWindowPeer::Allocated(int width, int height) {
    if (width == form_.Width() && height == form_.Height()) return;
    std::shared_ptr<bool> alive = alive_;
    forms::SafeCall(&form_, [&] { form_.DispatchResized(width, height); });
    if (!*alive) return;
    // The anchored children changed their size requests while GTK was allocating, which GTK does not
    // act on in the same pass (a window maximized by the window manager would keep them at their old
    // size): one more pass right after this one places them.
    struct Pending {
        std::shared_ptr<bool> alive;
        GtkWidget* layout;
    };
    g_idle_add_full(
        G_PRIORITY_HIGH_IDLE,
        [](gpointer data) -> gboolean {
            auto* pending = static_cast<Pending*>(data);
            if (*pending->alive) gtk_widget_queue_resize(pending->layout);
            return G_SOURCE_REMOVE;
        },
        new Pending{alive, layout_}, [](gpointer data) { delete static_cast<Pending*>(data); });
}

void GtkWindowPeer::Configured() {
    gint x = 0, y = 0;
    gtk_window_get_position(GTK_WINDOW(window_), &x, &y);
    if (x == form_.Left() && y == form_.Top()) return;
    forms::SafeCall(&form_, [&] { form_.DispatchMoved(x, y); });
}

void GtkWindowPeer::ActiveChanged() {
    bool active = gtk_window_is_active(GTK_WINDOW(window_));
    forms::SafeCall(&form_, [&] { form_.DispatchActivated(active); });
    g_idle_add(CheckApplicationActive, nullptr);
}

void GtkWindowPeer::CloseRequested() {
    forms::SafeCall(&form_, [&] { form_.DispatchCloseRequest(); });
}

void GtkWindowPeer::Realized() { ApplyCursor(); }

void GtkWindowPeer::SetCursor(forms::TCursor cursor, const forms::TCursorHandle& custom) {
    if (cursor_) g_object_unref(cursor_);
    cursor_ = custom ? GDK_CURSOR(g_object_ref(custom.get())) : NewStandardCursor(cursor);
    ApplyCursor();
}

void GtkWindowPeer::ApplyCursor() {
    if (!gtk_widget_get_realized(layout_)) return;
    gdk_window_set_cursor(gtk_layout_get_bin_window(GTK_LAYOUT(layout_)), cursor_);
}

void GtkWindowPeer::ShowTooltip(const std::string& text, forms::TPoint clientPos) {
    if (text.empty() || !gtk_widget_get_visible(window_)) return;
    gtk_label_set_text(GTK_LABEL(tooltipLabel_), rtl::Cp1251ToUtf8(text).c_str());
    gint x = 0, y = 0;
    gtk_window_get_position(GTK_WINDOW(window_), &x, &y);
    gtk_window_move(GTK_WINDOW(tooltip_), x + clientPos.X, y + clientPos.Y + 20);
    gtk_window_set_transient_for(GTK_WINDOW(tooltip_), GTK_WINDOW(window_));
    gtk_widget_show(tooltip_);
}

void GtkWindowPeer::HideTooltip() { gtk_widget_hide(tooltip_); }

void GtkWindowPeer::BeginMoveDrag() {
    HideTooltip();
    GdkEvent* current = gtk_get_current_event();
    gint button = 1;
    gint rootX = 0, rootY = 0;
    guint32 time = gtk_get_current_event_time();
    gdouble x = 0, y = 0;
    if (current && gdk_event_get_root_coords(current, &x, &y)) {
        rootX = gint(x);
        rootY = gint(y);
        guint pressed = 0;
        if (gdk_event_get_button(current, &pressed)) button = gint(pressed);
    } else {
        GdkSeat* seat = gdk_display_get_default_seat(gtk_widget_get_display(window_));
        gdk_device_get_position(gdk_seat_get_pointer(seat), nullptr, &rootX, &rootY);
    }
    if (current) gdk_event_free(current);
    gtk_window_begin_move_drag(GTK_WINDOW(window_), button, rootX, rootY, time);
}

void GtkWindowPeer::ReleaseCapture() {
    gdk_seat_ungrab(gdk_display_get_default_seat(gtk_widget_get_display(window_)));
}

void GtkWindowPeer::Minimize() { gtk_window_iconify(GTK_WINDOW(window_)); }

void GtkWindowPeer::Maximize() { gtk_window_maximize(GTK_WINDOW(window_)); }

void GtkWindowPeer::Restore() {
    gtk_window_deiconify(GTK_WINDOW(window_));
    gtk_window_present(GTK_WINDOW(window_));
}

void GtkWindowPeer::BringToFront() { gtk_window_present(GTK_WINDOW(window_)); }

}  // namespace gtkui
