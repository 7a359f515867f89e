#include "platform/headless/headless.h"

#include <algorithm>

#include "platform/forms/application.h"
#include "platform/forms/cursors.h"
#include "platform/forms/edit.h"
#include "platform/forms/form.h"
#include "platform/rtl/textfile.h"

namespace headless {

using namespace forms;

// ---- window ----

THeadlessWindow::~THeadlessWindow() {
    auto& list = FBackend.FWindows;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    auto& active = FBackend.FActiveForms;
    active.erase(std::remove(active.begin(), active.end(), &Form), active.end());
}

void THeadlessWindow::Invalidate(const TRect& r) {
    Dirty = UnionRect(Dirty, r);
    ++InvalidateCount;
}

void THeadlessWindow::SetCursor(TCursor cursor, const TCursorHandle& custom) {
    Cursor = cursor;
    CustomCursor = custom;
}

void THeadlessWindow::BringToFront() { ZOrder = FBackend.FNextZ++; }

// ---- backend ----

THeadlessBackend::THeadlessBackend() = default;

THeadlessBackend::~THeadlessBackend() = default;

std::unique_ptr<IWindowPeer> THeadlessBackend::CreateWindowPeer(TForm& form) {
    auto window = std::make_unique<THeadlessWindow>(form, *this);
    FWindows.push_back(window.get());
    return window;
}

std::unique_ptr<IEditPeer> THeadlessBackend::CreateEditPeer(TEdit&, IWindowPeer&) {
    return std::make_unique<THeadlessEditPeer>();
}

std::unique_ptr<IPanelPeer> THeadlessBackend::CreatePanelPeer(TPanel&, IWindowPeer&) {
    return std::make_unique<THeadlessPanelPeer>();
}

int THeadlessBackend::AddTimer(unsigned intervalMs, std::function<void()> callback) {
    int id = FNextTimerId++;
    FTimers[id] = Timer{std::max(intervalMs, 1u), FNow + std::max(intervalMs, 1u), std::move(callback)};
    return id;
}

void THeadlessBackend::RemoveTimer(int id) { FTimers.erase(id); }

void THeadlessBackend::Post(std::function<void()> task) { FTasks.push_back(std::move(task)); }

bool THeadlessBackend::HandleMessage() {
    if (!FTasks.empty()) {
        std::function<void()> task = std::move(FTasks.front());
        FTasks.pop_front();
        task();
        return true;
    }
    if (FTimers.empty()) return false;  // nothing can ever arrive
    auto next = std::min_element(FTimers.begin(), FTimers.end(),
                                 [](const auto& a, const auto& b) { return a.second.due < b.second.due; });
    Advance(next->second.due - FNow);
    return true;
}

void THeadlessBackend::ProcessMessages() {
    // Messages posted while pumping are handled too; a bound keeps a self-reposting task finite.
    for (int handled = 0; !FTasks.empty() && handled < 100000; ++handled) {
        std::function<void()> task = std::move(FTasks.front());
        FTasks.pop_front();
        task();
    }
}

void THeadlessBackend::Advance(int64_t ms) {
    const int64_t target = FNow + std::max<int64_t>(ms, 0);
    for (;;) {
        auto next = FTimers.end();
        for (auto it = FTimers.begin(); it != FTimers.end(); ++it)
            if (it->second.due <= target && (next == FTimers.end() || it->second.due < next->second.due)) next = it;
        if (next == FTimers.end()) break;
        FNow = next->second.due;
        next->second.due += next->second.interval;
        std::function<void()> callback = next->second.callback;  // the tick may remove the timer
        callback();
        ProcessMessages();
    }
    FNow = target;
}

TCursorHandle THeadlessBackend::LoadCursorFromFile(const std::string& path) {
    std::string bytes;
    try {
        bytes = rtl::ReadFileBytes(path);
    } catch (const std::exception&) {
        return nullptr;
    }
    // A cursor resource file begins with reserved 0 and type 2.
    if (bytes.size() < 6 || bytes[0] != 0 || bytes[1] != 0 || bytes[2] != 2 || bytes[3] != 0) return nullptr;
    CursorFilesLoaded.push_back(path);
    return std::make_shared<std::string>(path);
}

void THeadlessBackend::PopupMenu(IWindowPeer& window, TPoint clientPos, const std::vector<TMenuEntry>& entries,
                                 std::function<void(int)> chosen) {
    MenusShown.push_back(TShownMenu{&window, clientPos, entries, std::move(chosen)});
}

void THeadlessBackend::ChooseMenuEntry(int index) {
    if (MenusShown.empty()) return;
    const TShownMenu& menu = MenusShown.back();
    if (index < 0 || size_t(index) >= menu.entries.size() || !menu.entries[size_t(index)].enabled) return;
    std::function<void(int)> chosen = menu.chosen;
    Post([chosen, index] { chosen(index); });
    ProcessMessages();
}

THeadlessWindow* THeadlessBackend::WindowOf(TForm& form) const {
    return dynamic_cast<THeadlessWindow*>(form.WindowPeer());
}

void THeadlessBackend::FinishMoveDrag(TForm& form, int left, int top) {
    if (THeadlessWindow* w = WindowOf(form)) {
        w->MoveDragging = false;
        w->Bounds = Bounds(left, top, w->Bounds.Width(), w->Bounds.Height());
    }
    form.DispatchMoved(left, top);
    ProcessMessages();
}

void THeadlessBackend::ResizeWindow(TForm& form, int width, int height) {
    form.DispatchResized(width, height);
    ProcessMessages();
}

void THeadlessBackend::CloseWindow(TForm& form) {
    form.DispatchCloseRequest();
    ProcessMessages();
}

void THeadlessBackend::ActivateWindow(TForm& form, bool active) {
    FActiveForms.erase(std::remove(FActiveForms.begin(), FActiveForms.end(), &form), FActiveForms.end());
    if (active) FActiveForms.push_back(&form);
    form.DispatchActivated(active);
    if (FActivationCheckPosted) return;
    FActivationCheckPosted = true;
    Post([this] {
        FActivationCheckPosted = false;
        Application().DispatchActive(!FActiveForms.empty());
    });
}

void THeadlessBackend::MouseMove(TForm& form, int x, int y, TShiftState shift) {
    form.DispatchMouseMove(shift, x, y);
    ProcessMessages();
}

void THeadlessBackend::MouseDown(TForm& form, int x, int y, TMouseButton button, TShiftState shift) {
    form.DispatchMouseDown(button, shift, x, y);
    ProcessMessages();
}

void THeadlessBackend::MouseUp(TForm& form, int x, int y, TMouseButton button, TShiftState shift) {
    form.DispatchMouseUp(button, shift, x, y);
    ProcessMessages();
}

void THeadlessBackend::Click(TForm& form, int x, int y) {
    MouseMove(form, x, y);
    MouseDown(form, x, y);
    MouseUp(form, x, y);
}

void THeadlessBackend::DoubleClick(TForm& form, int x, int y) {
    Click(form, x, y);
    MouseDown(form, x, y, mbLeft, ssDouble);
    MouseUp(form, x, y);
}

void THeadlessBackend::Drag(TForm& form, TPoint from, TPoint to, int steps) {
    MouseMove(form, from.X, from.Y);
    MouseDown(form, from.X, from.Y);
    steps = std::max(steps, 1);
    for (int i = 1; i <= steps; ++i)
        MouseMove(form, from.X + (to.X - from.X) * i / steps, from.Y + (to.Y - from.Y) * i / steps, ssLeft);
    MouseUp(form, to.X, to.Y);
}

void THeadlessBackend::MouseLeave(TForm& form) {
    form.DispatchMouseLeave();
    ProcessMessages();
}

bool THeadlessBackend::KeyDown(TForm& form, uint16_t key, TShiftState shift) {
    bool handled = form.DispatchKeyDown(key, shift);
    ProcessMessages();
    return handled;
}

void THeadlessBackend::TypeChar(TForm& form, char c) {
    char left = form.DispatchKeyPress(c);
    if (left)
        if (auto* edit = dynamic_cast<TEdit*>(form.ActiveControl()); edit && form.HasControl(edit))
            SafeCall(edit, [&] { edit->ApplyTypedKey(left); });
    ProcessMessages();
}

void THeadlessBackend::Type(TForm& form, const std::string& text) {
    for (char c : text) TypeChar(form, c);
}

void THeadlessBackend::PressEnter(TForm& form) {
    if (!KeyDown(form, VK_RETURN)) TypeChar(form, '\r');
}

TBitmap THeadlessBackend::Snapshot(TForm& form) { return form.Raster(); }

// ---- scope ----

TScopedHeadless::TScopedHeadless() {
    ResetApplication();
    Screen().Clear();
    SetBackend(&FBackend);
}

TScopedHeadless::~TScopedHeadless() {
    ResetApplication();
    Screen().Clear();
    SetBackend(nullptr);
}

}  // namespace headless
