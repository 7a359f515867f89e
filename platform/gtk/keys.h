// Keyboard translation from GDK to the class library's virtual-key codes, shift states and
// cp1251 characters.
#pragma once

#include <cstdint>

#include "platform/forms/types.h"

typedef struct _GdkEventKey GdkEventKey;

namespace gtkui {

constexpr uint16_t VK_SHIFT = 16, VK_CONTROL = 17, VK_MENU = 18;

// The virtual-key code of a GDK key value; 0 for keys without one. Letters and digits give their
// upper-case ASCII code whatever the keyboard layout (hardwareKeycode finds the Latin key behind a
// Cyrillic letter; pass -1 when unknown).
uint16_t VirtualKeyOf(unsigned keyval, int hardwareKeycode);
// Modifier and button bits of a GDK state mask.
forms::TShiftState ShiftStateOf(unsigned gdkState);
// The character a key types, as cp1251 (Enter 13, Backspace 8, Escape 27, Tab 9, Ctrl+letter as
// its control code); 0 when it types none.
char CharOf(unsigned keyval, unsigned gdkState);

uint16_t VirtualKeyOf(const GdkEventKey* event);

}  // namespace gtkui
