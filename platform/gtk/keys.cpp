#include "platform/gtk/keys.h"

#include <gdk/gdk.h>
#include <gdk/gdkkeysyms.h>

#include "platform/rtl/codepage.h"

namespace gtkui {
namespace {

uint16_t LatinKeyOf(unsigned keyval) {
    if (keyval >= GDK_KEY_a && keyval <= GDK_KEY_z) return uint16_t('A' + (keyval - GDK_KEY_a));
    if (keyval >= GDK_KEY_A && keyval <= GDK_KEY_Z) return uint16_t('A' + (keyval - GDK_KEY_A));
    if (keyval >= GDK_KEY_0 && keyval <= GDK_KEY_9) return uint16_t('0' + (keyval - GDK_KEY_0));
    return 0;
}

uint16_t SpecialKeyOf(unsigned keyval) {
    if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F12) return uint16_t(forms::VK_F1 + (keyval - GDK_KEY_F1));
    switch (keyval) {
        case GDK_KEY_BackSpace: return forms::VK_BACK;
        case GDK_KEY_Tab: case GDK_KEY_ISO_Left_Tab: return forms::VK_TAB;
        case GDK_KEY_Return: case GDK_KEY_KP_Enter: return forms::VK_RETURN;
        case GDK_KEY_Escape: return forms::VK_ESCAPE;
        case GDK_KEY_space: return forms::VK_SPACE;
        case GDK_KEY_Page_Up: case GDK_KEY_KP_Page_Up: return forms::VK_PRIOR;
        case GDK_KEY_Page_Down: case GDK_KEY_KP_Page_Down: return forms::VK_NEXT;
        case GDK_KEY_End: case GDK_KEY_KP_End: return forms::VK_END;
        case GDK_KEY_Home: case GDK_KEY_KP_Home: return forms::VK_HOME;
        case GDK_KEY_Left: case GDK_KEY_KP_Left: return forms::VK_LEFT;
        case GDK_KEY_Up: case GDK_KEY_KP_Up: return forms::VK_UP;
        case GDK_KEY_Right: case GDK_KEY_KP_Right: return forms::VK_RIGHT;
        case GDK_KEY_Down: case GDK_KEY_KP_Down: return forms::VK_DOWN;
        case GDK_KEY_Insert: case GDK_KEY_KP_Insert: return forms::VK_INSERT;
        case GDK_KEY_Delete: case GDK_KEY_KP_Delete: return forms::VK_DELETE;
        case GDK_KEY_Shift_L: case GDK_KEY_Shift_R: return VK_SHIFT;
        case GDK_KEY_Control_L: case GDK_KEY_Control_R: return VK_CONTROL;
        case GDK_KEY_Alt_L: case GDK_KEY_Alt_R: return VK_MENU;
        case GDK_KEY_Menu: return forms::VK_APPS;
        default: return 0;
    }
}

// The Latin letter or digit on the same physical key in the first keyboard group.
uint16_t KeyOfHardwareCode(int hardwareKeycode) {
    GdkDisplay* display = gdk_display_get_default();
    if (!display || hardwareKeycode < 0) return 0;
    GdkKeymapKey* keys = nullptr;
    guint* keyvals = nullptr;
    gint count = 0;
    uint16_t found = 0;
    if (gdk_keymap_get_entries_for_keycode(gdk_keymap_get_for_display(display), guint(hardwareKeycode), &keys,
                                           &keyvals, &count)) {
        for (gint i = 0; i < count && !found; ++i) found = LatinKeyOf(keyvals[i]);
        g_free(keys);
        g_free(keyvals);
    }
    return found;
}

}  // namespace

uint16_t VirtualKeyOf(unsigned keyval, int hardwareKeycode) {
    if (uint16_t latin = LatinKeyOf(keyval)) return latin;
    if (uint16_t special = SpecialKeyOf(keyval)) return special;
    if (keyval >= GDK_KEY_KP_0 && keyval <= GDK_KEY_KP_9) return uint16_t(0x60 + (keyval - GDK_KEY_KP_0));
    return KeyOfHardwareCode(hardwareKeycode);
}

uint16_t VirtualKeyOf(const GdkEventKey* event) {
    return VirtualKeyOf(event->keyval, event->hardware_keycode);
}

forms::TShiftState ShiftStateOf(unsigned gdkState) {
    forms::TShiftState shift = 0;
    if (gdkState & GDK_SHIFT_MASK) shift |= forms::ssShift;
    if (gdkState & GDK_CONTROL_MASK) shift |= forms::ssCtrl;
    if (gdkState & GDK_MOD1_MASK) shift |= forms::ssAlt;
    if (gdkState & GDK_BUTTON1_MASK) shift |= forms::ssLeft;
    if (gdkState & GDK_BUTTON2_MASK) shift |= forms::ssMiddle;
    if (gdkState & GDK_BUTTON3_MASK) shift |= forms::ssRight;
    return shift;
}

char CharOf(unsigned keyval, unsigned gdkState) {
    switch (keyval) {
        case GDK_KEY_Return: case GDK_KEY_KP_Enter: return 13;
        case GDK_KEY_BackSpace: return 8;
        case GDK_KEY_Escape: return 27;
        case GDK_KEY_Tab: return 9;
        default: break;
    }
    if (gdkState & GDK_MOD1_MASK) return 0;
    if (gdkState & GDK_CONTROL_MASK) {
        uint16_t latin = LatinKeyOf(keyval);
        return latin >= 'A' && latin <= 'Z' ? char(latin - 'A' + 1) : 0;
    }
    gunichar cp = gdk_keyval_to_unicode(keyval);
    if (cp == 0 || cp < 0x20) return 0;
    return rtl::CodePointToCp1251(cp);
}

}  // namespace gtkui
