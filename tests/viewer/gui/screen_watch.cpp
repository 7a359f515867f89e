#include "tests/viewer/gui/screen_watch.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>

namespace guitest {

ScreenWatch::ScreenWatch(const forms::TRect& area) : area_(area), thread_([this] { Run(); }) {}

ScreenWatch::~ScreenWatch() { Stop(); }

const std::vector<ScreenWatch::Grab>& ScreenWatch::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return grabs_;
}

void ScreenWatch::Run() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return;
    const auto start = std::chrono::steady_clock::now();
    while (!stop_) {
        XImage* image = XGetImage(display, DefaultRootWindow(display), area_.Left, area_.Top, unsigned(area_.Width()),
                                  unsigned(area_.Height()), AllPlanes, ZPixmap);
        if (image) {
            Grab grab{std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count(), {}};
            for (int y = 0; y < area_.Height(); y += kStep)
                for (int x = 0; x < area_.Width(); x += kStep)
                    grab.samples.push_back(uint32_t(XGetPixel(image, x, y)) & 0xFFFFFF);
            XDestroyImage(image);
            grabs_.push_back(std::move(grab));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    XCloseDisplay(display);
}

}  // namespace guitest
