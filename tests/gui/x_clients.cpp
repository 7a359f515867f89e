#include "tests/gui/x_clients.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <filesystem>

namespace guitest {
namespace {

Display* XDisplay() { return gdk_x11_get_default_xdisplay(); }

// The items of a 32-bit property (windows, atoms, cardinals); empty when it is missing.
std::vector<unsigned long> LongsOf(Window window, const char* name, Atom type) {
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> items;
    if (XGetWindowProperty(XDisplay(), window, XInternAtom(XDisplay(), name, False), 0, 4096, False, type, &actual,
                           &format, &count, &after, &data) == Success &&
        data && format == 32) {
        const unsigned long* longs = reinterpret_cast<const unsigned long*>(data);
        items.assign(longs, longs + count);
    }
    if (data) XFree(data);
    return items;
}

std::string ProgramOf(int pid) {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
    return error ? std::string() : exe.filename().string();
}

ClientWindow Describe(Window window) {
    ClientWindow client;
    client.Id = window;
    std::vector<unsigned long> pid = LongsOf(window, "_NET_WM_PID", XA_CARDINAL);
    if (!pid.empty()) client.Pid = int(pid.front()), client.Program = ProgramOf(client.Pid);
    XWindowAttributes attributes{};
    Window child = 0;
    if (XGetWindowAttributes(XDisplay(), window, &attributes)) {
        XTranslateCoordinates(XDisplay(), window, DefaultRootWindow(XDisplay()), 0, 0, &client.Left, &client.Top,
                              &child);
        client.Width = attributes.width;
        client.Height = attributes.height;
    }
    const Atom vertical = XInternAtom(XDisplay(), "_NET_WM_STATE_MAXIMIZED_VERT", False);
    const Atom horizontal = XInternAtom(XDisplay(), "_NET_WM_STATE_MAXIMIZED_HORZ", False);
    int found = 0;
    for (unsigned long state : LongsOf(window, "_NET_WM_STATE", XA_ATOM))
        if (state == vertical || state == horizontal) ++found;
    client.Maximized = found == 2;
    return client;
}

}  // namespace

std::vector<ClientWindow> ClientWindows() {
    std::vector<ClientWindow> clients;
    gdk_x11_display_error_trap_push(gdk_display_get_default());  // a window may go at any moment
    for (unsigned long window : LongsOf(DefaultRootWindow(XDisplay()), "_NET_CLIENT_LIST", XA_WINDOW))
        clients.push_back(Describe(Window(window)));
    gdk_x11_display_error_trap_pop_ignored(gdk_display_get_default());
    return clients;
}

std::optional<ClientWindow> WindowOfProgram(const std::string& program) {
    for (const ClientWindow& client : ClientWindows())
        if (client.Program == program) return client;
    return std::nullopt;
}

void ClickScreen(int x, int y) {
    Display* display = XDisplay();
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XFlush(display);
}

std::vector<uint32_t> GrabScreen(int left, int top, int width, int height, const std::string& pngPath) {
    std::vector<uint32_t> pixels;
    GdkPixbuf* shot = gdk_pixbuf_get_from_window(gdk_get_default_root_window(), left, top, width, height);
    if (!shot) return pixels;
    const int channels = gdk_pixbuf_get_n_channels(shot), stride = gdk_pixbuf_get_rowstride(shot);
    const guchar* data = gdk_pixbuf_read_pixels(shot);
    for (int row = 0; row < gdk_pixbuf_get_height(shot); ++row)
        for (int col = 0; col < gdk_pixbuf_get_width(shot); ++col) {
            const guchar* p = data + row * stride + col * channels;
            pixels.push_back(uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]);
        }
    if (!pngPath.empty()) gdk_pixbuf_save(shot, pngPath.c_str(), "png", nullptr, nullptr);
    g_object_unref(shot);
    return pixels;
}

}  // namespace guitest
