#include "platform/gtk/cursors.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cstdlib>

#include "platform/rtl/paths.h"

namespace gtkui {

const char* StandardCursorName(forms::TCursor cursor) {
    switch (cursor) {
        case forms::crNone: return "none";
        case forms::crCross: return "crosshair";
        case forms::crIBeam: return "text";
        case forms::crSizeNESW: return "nesw-resize";
        case forms::crSizeNS: return "ns-resize";
        case forms::crSizeNWSE: return "nwse-resize";
        case forms::crSizeWE: return "ew-resize";
        case forms::crUpArrow: return "default";
        case forms::crHourGlass: return "wait";
        case forms::crDrag: return "grabbing";
        case forms::crNo: case forms::crNoDrop: return "not-allowed";
        case forms::crAppStart: return "progress";
        case forms::crHelp: return "help";
        case forms::crHandPoint: return "pointer";
        case forms::crSizeAll: return "move";
        default: return nullptr;
    }
}

GdkCursor* NewStandardCursor(forms::TCursor cursor) {
    const char* name = StandardCursorName(cursor);
    GdkDisplay* display = gdk_display_get_default();
    if (!name || !display) return nullptr;
    return gdk_cursor_new_from_name(display, name);
}

forms::TCursorHandle LoadCursorFile(const std::string& path) {
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !rtl::FileExists(path)) return nullptr;
    std::string native = rtl::ToNativePath(path);
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(native.c_str(), nullptr);
    if (!pixbuf) return nullptr;
    int hotX = 0, hotY = 0;
    if (const char* x = gdk_pixbuf_get_option(pixbuf, "x_hot")) hotX = std::atoi(x);
    if (const char* y = gdk_pixbuf_get_option(pixbuf, "y_hot")) hotY = std::atoi(y);
    hotX = std::clamp(hotX, 0, std::max(gdk_pixbuf_get_width(pixbuf) - 1, 0));
    hotY = std::clamp(hotY, 0, std::max(gdk_pixbuf_get_height(pixbuf) - 1, 0));
    GdkCursor* cursor = gdk_cursor_new_from_pixbuf(display, pixbuf, hotX, hotY);
    g_object_unref(pixbuf);
    if (!cursor) return nullptr;
    return forms::TCursorHandle(cursor, [](void* p) { g_object_unref(p); });
}

}  // namespace gtkui
