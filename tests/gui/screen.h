// Reading a shown window back from the X server and feeding it input as the server would.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/forms/form.h"
#include "platform/web/webbrowser.h"

typedef struct _GdkWindow GdkWindow;

namespace guitest {

// The form's client area as the screen shows it now, pixel by pixel (0x00RRGGBB).
class Screenshot {
public:
    explicit Screenshot(forms::TForm& form);
    // An area of the screen as the reader sees it, whatever window lies on top there.
    explicit Screenshot(const forms::TRect& screenArea);
    bool Valid() const { return width_ > 0; }
    uint32_t Pixel(int x, int y) const;  // 0xFF000000 outside the picture
    bool SavePng(const std::string& path) const;
    int Width() const { return width_; }
    int Height() const { return height_; }
    const std::vector<uint32_t>& Pixels() const { return pixels_; }
    bool operator==(const Screenshot&) const = default;

private:
    void Take(GdkWindow* window, int x, int y, int w, int h);

    int width_ = 0, height_ = 0;
    std::vector<uint32_t> pixels_;
};

// The screen's pixels in a rectangle (0x00RRGGBB, row by row), read from the root window so that
// other programs' windows and native children show as they are; saved as PNG when path is not "".
std::vector<uint32_t> GrabScreen(int left, int top, int width, int height, const std::string& pngPath = "");

// Waits (bounded) until the pixel at the client point shows the colour.
bool WaitForPixel(forms::TForm& form, int x, int y, uint32_t rgb);
// Queues a pointer motion to a client point, as the X server would deliver it.
void PutMotion(forms::TForm& form, int x, int y);
// Queues a button press or release at a client point, as the X server would deliver it.
void PutButton(forms::TForm& form, bool press, int x, int y, unsigned button = 1);
// Queues a button press or release at a point of a native child widget (its own coordinates).
void PutButtonOnWidget(void* widget, bool press, int x, int y);
// Clicks the page element with this id with the mouse (press and release on the view); false when
// the element was not found in time.
bool ClickElement(forms::TWebBrowser& browser, const std::string& id);
// Queues a key press for the form's window (keyval from gdk/gdkkeysyms.h, GDK modifier mask).
void PutKey(forms::TForm& form, unsigned keyval, unsigned modifiers = 0);
// The native widget behind a windowed control.
void* NativeWidget(forms::TWinControl& control);

}  // namespace guitest
