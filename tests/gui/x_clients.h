// Windows of other programs on the test display, as the window manager lists them, and input fed to
// them through the X server's test extension: for tests that start real programs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace guitest {

struct ClientWindow {
    unsigned long Id = 0;
    int Pid = 0;            // the owning process (0 when the window does not say)
    std::string Program;    // file name of the owning process's program ("" when unknown)
    int Left = 0, Top = 0, Width = 0, Height = 0;  // the client area on the screen
    bool Maximized = false;  // both of the window manager's maximized states
};

// The windows the window manager manages now (needs one running).
std::vector<ClientWindow> ClientWindows();
// The first managed window whose program has this file name.
std::optional<ClientWindow> WindowOfProgram(const std::string& program);
// Moves the pointer to a screen point and clicks the left button there.
void ClickScreen(int x, int y);
// The screen's pixels in a rectangle (0x00RRGGBB, row by row); saved as PNG when path is not "".
std::vector<uint32_t> GrabScreen(int left, int top, int width, int height, const std::string& pngPath = "");

}  // namespace guitest
