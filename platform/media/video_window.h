// The native window a video sink can draw into for a control: the X window of its GTK widget when
// the GTK backend shows it, 0 otherwise (the headless backend, no peer yet, a non-X display).
#pragma once

#include <cstdint>

namespace forms {
class TWinControl;
}

namespace media {

uintptr_t NativeVideoWindow(forms::TWinControl* display);

}  // namespace media
