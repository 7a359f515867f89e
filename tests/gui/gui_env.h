// Shared set-up of the GUI tests: the real GTK backend and WebKit engine on the X display the test
// command provides (xvfb-run), and waiting on events with a time limit.
#pragma once

#include <functional>
#include <string>

namespace guitest {

// Time any single wait may take before the test fails.
constexpr int kWaitMs = 20000;

// Installs the GTK backend and the WebKit browsers once; false when no display can be opened.
bool StartGui();
// Dispatches events until done() holds or timeoutMs passes; returns done()'s last value.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = kWaitMs);
// Dispatches events for a while (lets a window settle); never the only wait of a check.
void PumpFor(int ms);

// A fresh folder for a test's files (Linux path, trailing "/"), removed by RemoveScratchFolder.
std::string MakeScratchFolder(const std::string& tag);
void RemoveScratchFolder(const std::string& folder);
void WriteFile(const std::string& path, const std::string& bytes);

// A window manager (openbox) on the test's display for as long as the object lives, for checks
// whose outcome depends on one (maximized windows, stacking, decorations). Running() is false
// when none could be started; the test should then skip.
class WindowManager {
public:
    WindowManager();
    ~WindowManager();
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;
    bool Running() const { return running_; }

private:
    int pid_ = -1;
    bool running_ = false;
};

}  // namespace guitest

// Skips the test when no display is available.
#define REQUIRE_GUI()                                              \
    do {                                                           \
        if (!guitest::StartGui()) GTEST_SKIP() << "no X display"; \
    } while (0)

// Skips the test when no window manager could be started on the display.
#define REQUIRE_WINDOW_MANAGER(wm)                                              \
    do {                                                                        \
        if (!(wm).Running()) GTEST_SKIP() << "no window manager (openbox)"; \
    } while (0)
