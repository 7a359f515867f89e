// The native window a video sink draws into: an X child window of the display control's own
// native window, placed at the display rectangle, so the control shows its colour around the
// picture and any sink (scaling or not) fills exactly that rectangle. Exists only when the GTK
// backend shows the control on X; the headless backend has no native windows.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/forms/types.h"

namespace forms {
class TWinControl;
}

namespace media {

class VideoWindow {
public:
    // Null when the control has no native X window. onLost runs (before the window goes away)
    // when the control's native window is destroyed; the sink must stop using the window then.
    static std::unique_ptr<VideoWindow> Create(forms::TWinControl* display, std::function<void()> onLost);
    ~VideoWindow();
    VideoWindow(const VideoWindow&) = delete;
    VideoWindow& operator=(const VideoWindow&) = delete;

    uintptr_t Handle() const { return handle_; }
    // Places the picture inside the control (client coordinates); empty: the whole control.
    void Place(const forms::TRect& rect);

    struct Native;

private:
    explicit VideoWindow(std::unique_ptr<Native> native);
    std::unique_ptr<Native> native_;
    uintptr_t handle_ = 0;
};

}  // namespace media
