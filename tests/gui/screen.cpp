#include "tests/gui/screen.h"

#include <gtk/gtk.h>

#include <cstdio>

#include "platform/web/webkit_browser.h"
#include "platform/web/webkit_peer.h"
#include "tests/gui/gui_env.h"

namespace guitest {
namespace {

GtkWidget* LayoutOf(forms::TForm& form) {
    return form.WindowPeer() ? static_cast<GtkWidget*>(form.WindowPeer()->NativeHandle()) : nullptr;
}

GdkWindow* ClientWindow(forms::TForm& form) {
    GtkWidget* layout = LayoutOf(form);
    return layout && gtk_widget_get_realized(layout) ? gtk_layout_get_bin_window(GTK_LAYOUT(layout)) : nullptr;
}

// A picture's pixels row by row as 0x00RRGGBB.
std::vector<uint32_t> PixelsOf(GdkPixbuf* shot) {
    const int width = gdk_pixbuf_get_width(shot), height = gdk_pixbuf_get_height(shot);
    const int channels = gdk_pixbuf_get_n_channels(shot), stride = gdk_pixbuf_get_rowstride(shot);
    const guchar* data = gdk_pixbuf_read_pixels(shot);
    std::vector<uint32_t> pixels;
    pixels.reserve(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const guchar* p = data + y * stride + x * channels;
            pixels.push_back((uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2]);
        }
    return pixels;
}

GdkDevice* Pointer() { return gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default())); }
GdkDevice* Keyboard() { return gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())); }

}  // namespace

Screenshot::Screenshot(forms::TForm& form) {
    GtkWidget* layout = LayoutOf(form);
    if (!layout || !gtk_widget_get_realized(layout)) return;
    GdkWindow* window = gtk_widget_get_window(gtk_widget_get_toplevel(layout));
    Take(window, 0, 0, gdk_window_get_width(window), gdk_window_get_height(window));
}

Screenshot::Screenshot(const forms::TRect& screenArea) {
    gdk_display_sync(gdk_display_get_default());  // what was drawn so far has reached the screen
    Take(gdk_get_default_root_window(), screenArea.Left, screenArea.Top, screenArea.Width(), screenArea.Height());
}

void Screenshot::Take(GdkWindow* window, int x, int y, int w, int h) {
    GdkPixbuf* shot = w > 0 && h > 0 ? gdk_pixbuf_get_from_window(window, x, y, w, h) : nullptr;
    if (!shot) return;
    pixels_ = PixelsOf(shot);
    width_ = gdk_pixbuf_get_width(shot);
    height_ = gdk_pixbuf_get_height(shot);
    g_object_unref(shot);
}

uint32_t Screenshot::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0xFF000000u;
    return pixels_[size_t(y) * size_t(width_) + size_t(x)];
}

bool Screenshot::SavePng(const std::string& path) const {
    if (!Valid()) return false;
    GdkPixbuf* out = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width_, height_);
    guchar* data = gdk_pixbuf_get_pixels(out);
    int stride = gdk_pixbuf_get_rowstride(out);
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            uint32_t v = Pixel(x, y);
            guchar* p = data + y * stride + x * 3;
            p[0] = guchar(v >> 16);
            p[1] = guchar(v >> 8);
            p[2] = guchar(v);
        }
    }
    bool saved = gdk_pixbuf_save(out, path.c_str(), "png", nullptr, nullptr);
    g_object_unref(out);
    return saved;
}

std::vector<uint32_t> GrabScreen(int left, int top, int width, int height, const std::string& pngPath) {
    const Screenshot shot(forms::TRect{left, top, left + width, top + height});
    if (!pngPath.empty()) shot.SavePng(pngPath);
    return shot.Pixels();
}

bool WaitForPixel(forms::TForm& form, int x, int y, uint32_t rgb) {
    return WaitUntil([&] { return Screenshot(form).Pixel(x, y) == rgb; });
}

// Event times in milliseconds, rising like the X server's.
guint32 EventTime() { return guint32(g_get_monotonic_time() / 1000); }

void PutMotion(forms::TForm& form, int x, int y) {
    GdkWindow* window = ClientWindow(form);
    if (!window) return;
    int originX = 0, originY = 0;
    gdk_window_get_origin(window, &originX, &originY);
    GdkEvent* event = gdk_event_new(GDK_MOTION_NOTIFY);
    event->motion.window = GDK_WINDOW(g_object_ref(window));
    event->motion.send_event = TRUE;
    event->motion.time = EventTime();
    event->motion.x = x;
    event->motion.y = y;
    event->motion.x_root = originX + x;
    event->motion.y_root = originY + y;
    gdk_event_set_device(event, Pointer());
    gdk_event_put(event);
    gdk_event_free(event);
    // GDK holds pointer motion until the window's next frame; ask for one as the X event path does.
    if (GdkFrameClock* clock = gdk_window_get_frame_clock(window)) {
        gdk_frame_clock_request_phase(clock, GDK_FRAME_CLOCK_PHASE_FLUSH_EVENTS);
    }
}

namespace {

void PutButtonOnWindow(GdkWindow* window, bool press, int x, int y, unsigned button) {
    int originX = 0, originY = 0;
    gdk_window_get_origin(window, &originX, &originY);
    GdkEvent* event = gdk_event_new(press ? GDK_BUTTON_PRESS : GDK_BUTTON_RELEASE);
    event->button.window = GDK_WINDOW(g_object_ref(window));
    event->button.send_event = TRUE;
    event->button.time = EventTime();
    event->button.x = x;
    event->button.y = y;
    event->button.x_root = originX + x;
    event->button.y_root = originY + y;
    event->button.button = button;
    event->button.state = press ? 0 : GDK_BUTTON1_MASK;
    gdk_event_set_device(event, Pointer());
    gdk_event_put(event);
    gdk_event_free(event);
}

}  // namespace

void PutButton(forms::TForm& form, bool press, int x, int y, unsigned button) {
    if (GdkWindow* window = ClientWindow(form)) PutButtonOnWindow(window, press, x, y, button);
}

void PutButtonOnWidget(void* widget, bool press, int x, int y) {
    GtkWidget* native = static_cast<GtkWidget*>(widget);
    if (native && gtk_widget_get_realized(native)) PutButtonOnWindow(gtk_widget_get_window(native), press, x, y, 1);
}

bool ClickElement(forms::TWebBrowser& browser, const std::string& id) {
    web::WebKitBrowserPeer* engine = web::WebKitEngineOf(browser);
    if (!engine) return false;
    std::string where;
    engine->EvaluateScript("var e = document.getElementById('" + id + "'); if (!e) '-'; else {"
                           " var r = e.getBoundingClientRect();"
                           " Math.round(r.left + Math.min(5, r.width / 2)) + ',' + Math.round(r.top + r.height / 2); }",
                           [&](bool ok, std::string text) { where = ok ? text : "-"; });
    int x = 0, y = 0;
    if (!WaitUntil([&] { return !where.empty(); }) || std::sscanf(where.c_str(), "%d,%d", &x, &y) != 2) return false;
    void* view = NativeWidget(browser);
    PutButtonOnWidget(view, true, x, y);
    PutButtonOnWidget(view, false, x, y);
    return true;
}

void PutKey(forms::TForm& form, unsigned keyval, unsigned modifiers) {
    GtkWidget* layout = LayoutOf(form);
    if (!layout) return;
    GdkWindow* window = gtk_widget_get_window(gtk_widget_get_toplevel(layout));
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(window));
    event->key.send_event = TRUE;
    event->key.time = EventTime();
    event->key.state = modifiers;
    event->key.keyval = keyval;
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gdk_display_get_default()), keyval, &keys,
                                          &count) && count > 0) {
        event->key.hardware_keycode = guint16(keys[0].keycode);
        event->key.group = guint8(keys[0].group);
    }
    g_free(keys);
    gdk_event_set_device(event, Keyboard());
    gdk_event_put(event);
    gdk_event_free(event);
}

void* NativeWidget(forms::TWinControl& control) {
    return control.Peer() ? control.Peer()->NativeHandle() : nullptr;
}

}  // namespace guitest
