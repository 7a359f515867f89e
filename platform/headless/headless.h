// The headless backend: the class library's windows without a display. Tests drive input
// (mouse, keys, typing), tick timers in virtual time, pump posted messages and read a form's
// raster as an image.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/backend.h"
#include "platform/forms/bitmap.h"
#include "platform/forms/font.h"

namespace forms {
class TForm;
class TEdit;
}  // namespace forms

namespace headless {

using forms::TPoint;
using forms::TRect;

class THeadlessBackend;

class THeadlessWindow : public forms::IWindowPeer {
public:
    THeadlessWindow(forms::TForm& form, THeadlessBackend& backend) : Form(form), FBackend(backend) {}
    ~THeadlessWindow() override;
    void Show() override { Visible = true, Minimized = false; }
    void Hide() override { Visible = false; }
    void SetBounds(const TRect& bounds) override { Bounds = bounds; }
    void SetCaption(const std::string& caption) override { Caption = caption; }
    void SetStayOnTop(bool stayOnTop) override { StayOnTop = stayOnTop; }
    void Invalidate(const TRect& r) override;
    void SetCursor(forms::TCursor cursor, const forms::TCursorHandle& custom) override;
    void ShowTooltip(const std::string& text, TPoint) override { Tooltip = text, TooltipVisible = true; }
    void HideTooltip() override { TooltipVisible = false; }
    void BeginMoveDrag() override { MoveDragging = true; }
    void ReleaseCapture() override { ++CaptureReleases; }
    void Minimize() override { Minimized = true; }
    void Maximize() override { Maximized = true; }
    void Restore() override { Minimized = false; }
    void BringToFront() override;
    void* NativeHandle() override { return this; }

    forms::TForm& Form;
    bool Visible = false;
    bool Minimized = false;
    bool Maximized = false;
    bool StayOnTop = false;
    bool MoveDragging = false;
    TRect Bounds;
    std::string Caption;
    forms::TCursor Cursor = forms::crDefault;
    forms::TCursorHandle CustomCursor;
    std::string Tooltip;
    bool TooltipVisible = false;
    TRect Dirty;
    int InvalidateCount = 0;
    int CaptureReleases = 0;
    int ZOrder = 0;  // larger = nearer the top

private:
    THeadlessBackend& FBackend;
};

class THeadlessControlPeer : public virtual forms::IControlPeer {
public:
    void SetBounds(const TRect& bounds) override { Bounds = bounds; }
    void SetVisible(bool visible) override { Visible = visible; }
    void SetEnabled(bool enabled) override { Enabled = enabled; }
    void SetFocus() override { HasFocus = true; }
    bool Focused() const override { return HasFocus; }
    void SetCursor(forms::TCursor cursor, const forms::TCursorHandle&) override { Cursor = cursor; }
    void* NativeHandle() override { return this; }

    TRect Bounds;
    bool Visible = false;
    bool Enabled = true;
    bool HasFocus = false;
    forms::TCursor Cursor = forms::crDefault;
};

class THeadlessEditPeer : public THeadlessControlPeer, public forms::IEditPeer {
public:
    void SetText(const std::string& text) override { Text = text; }
    void SetMaxLength(int maxLength) override { MaxLength = maxLength; }
    void SetPasswordChar(char c) override { PasswordChar = c; }
    void SetColors(forms::TColor background, forms::TColor foreground) override {
        Background = background, Foreground = foreground;
    }
    void SetFont(const forms::TFont& font) override { Font = font; }
    void SetBorder(bool visible) override { Border = visible; }
    void SelectAll() override { ++SelectAllCount; }

    std::string Text;
    int MaxLength = 0;
    char PasswordChar = 0;
    forms::TColor Background = forms::clWindow;
    forms::TColor Foreground = forms::clWindowText;
    forms::TFont Font;
    bool Border = true;
    int SelectAllCount = 0;
};

class THeadlessPanelPeer : public THeadlessControlPeer, public forms::IPanelPeer {
public:
    void SetColor(forms::TColor color) override { Color = color; }
    forms::TColor Color = forms::clBtnFace;
};

class THeadlessBackend : public forms::IBackend {
public:
    THeadlessBackend();
    ~THeadlessBackend() override;

    // IBackend
    std::unique_ptr<forms::IWindowPeer> CreateWindowPeer(forms::TForm& form) override;
    std::unique_ptr<forms::IEditPeer> CreateEditPeer(forms::TEdit& edit, forms::IWindowPeer& window) override;
    std::unique_ptr<forms::IPanelPeer> CreatePanelPeer(forms::TPanel& panel, forms::IWindowPeer& window) override;
    TRect WorkArea() override { return FWorkArea; }
    TPoint ScreenSize() override { return FScreen; }
    int AddTimer(unsigned intervalMs, std::function<void()> callback) override;
    void RemoveTimer(int id) override;
    void Post(std::function<void()> task) override;
    bool HandleMessage() override;
    void ProcessMessages() override;
    void WakeUp() override {}
    forms::TCursorHandle LoadCursorFromFile(const std::string& path) override;
    void Beep() override { ++Beeps; }
    void PopupMenu(forms::IWindowPeer& window, TPoint clientPos, const std::vector<forms::TMenuEntry>& entries,
                   std::function<void(int)> chosen) override;

    // Desktop.
    void SetScreen(TPoint size, TRect workArea) { FScreen = size, FWorkArea = workArea; }

    // Virtual time: runs every timer that falls due within ms, in due order, pumping posted
    // messages after each tick.
    void Advance(int64_t ms);
    int64_t Now() const { return FNow; }
    int TimerCount() const { return int(FTimers.size()); }
    size_t PendingMessages() const { return FTasks.size(); }

    // Windows.
    THeadlessWindow* WindowOf(forms::TForm& form) const;
    const std::vector<THeadlessWindow*>& Windows() const { return FWindows; }
    // Window moves by the system drag: the window goes to (left, top) and the drag ends.
    void FinishMoveDrag(forms::TForm& form, int left, int top);
    // The window manager resizes the window.
    void ResizeWindow(forms::TForm& form, int width, int height);
    void CloseWindow(forms::TForm& form);
    // A window gains or loses the focus; the application's activation follows once the posted
    // messages run, from whether any window is still active.
    void ActivateWindow(forms::TForm& form, bool active);

    // Mouse, in the form's client coordinates. Each call also pumps posted messages.
    void MouseMove(forms::TForm& form, int x, int y, forms::TShiftState shift = 0);
    void MouseDown(forms::TForm& form, int x, int y, forms::TMouseButton button = forms::mbLeft,
                   forms::TShiftState shift = 0);
    void MouseUp(forms::TForm& form, int x, int y, forms::TMouseButton button = forms::mbLeft,
                 forms::TShiftState shift = 0);
    void Click(forms::TForm& form, int x, int y);        // move, down, up
    void DoubleClick(forms::TForm& form, int x, int y);  // two clicks, the second marked double
    void Drag(forms::TForm& form, TPoint from, TPoint to, int steps = 4);
    void MouseLeave(forms::TForm& form);

    // Keyboard: a key goes to the form's shortcuts first; characters to the focused control.
    bool KeyDown(forms::TForm& form, uint16_t key, forms::TShiftState shift = 0);
    void Type(forms::TForm& form, const std::string& text);  // cp1251 characters
    void PressEnter(forms::TForm& form);

    // A copy of what the form shows.
    forms::TBitmap Snapshot(forms::TForm& form);

    int Beeps = 0;
    std::vector<std::string> CursorFilesLoaded;

    // The popup menu shown last; a test picks an entry with ChooseMenuEntry.
    struct TShownMenu {
        forms::IWindowPeer* window = nullptr;
        TPoint at;
        std::vector<forms::TMenuEntry> entries;
        std::function<void(int)> chosen;
    };
    std::vector<TShownMenu> MenusShown;
    void ChooseMenuEntry(int index);  // in the last menu shown; pumps posted messages

private:
    struct Timer {
        unsigned interval;
        int64_t due;
        std::function<void()> callback;
    };
    void TypeChar(forms::TForm& form, char c);

    std::deque<std::function<void()>> FTasks;
    std::map<int, Timer> FTimers;
    int FNextTimerId = 1;
    int64_t FNow = 0;
    TPoint FScreen{1024, 768};
    TRect FWorkArea{0, 0, 1024, 738};
    std::vector<THeadlessWindow*> FWindows;
    std::vector<forms::TForm*> FActiveForms;
    bool FActivationCheckPosted = false;
    int FNextZ = 1;
    friend class THeadlessWindow;
};

// Installs a headless backend for the life of the object (and resets the application after).
class TScopedHeadless {
public:
    TScopedHeadless();
    ~TScopedHeadless();
    THeadlessBackend& operator*() { return FBackend; }
    THeadlessBackend* operator->() { return &FBackend; }

private:
    THeadlessBackend FBackend;
};

}  // namespace headless
