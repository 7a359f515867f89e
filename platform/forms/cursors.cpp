#include "platform/forms/cursors.h"

#include "platform/forms/application.h"
#include "platform/forms/form.h"

namespace forms {

TScreen& Screen() {
    static TScreen screen;
    return screen;
}

bool TScreen::LoadCursor(TCursor index, const std::string& path) {
    TCursorHandle handle = HasBackend() ? Backend().LoadCursorFromFile(path) : nullptr;
    SetCursorHandle(index, handle);
    return handle != nullptr;
}

TCursorHandle TScreen::CursorHandle(TCursor index) const {
    auto it = FCursors.find(index);
    return it == FCursors.end() ? nullptr : it->second;
}

bool TScreen::HasCursor(TCursor index) const { return CursorHandle(index) != nullptr; }

void TScreen::SetCursorHandle(TCursor index, TCursorHandle handle) {
    FCursors[index] = std::move(handle);
    for (TForm* form : Application().Forms()) form->RefreshCursor();
}

void TScreen::SetCursor(TCursor cursor) {
    FCursor = cursor;
    for (TForm* form : Application().Forms()) form->RefreshCursor();
}

int TScreen::Width() const { return HasBackend() ? Backend().ScreenSize().X : 0; }
int TScreen::Height() const { return HasBackend() ? Backend().ScreenSize().Y : 0; }
TRect TScreen::WorkAreaRect() const { return HasBackend() ? Backend().WorkArea() : TRect{}; }

void TScreen::Clear() { FCursors.clear(); }

}  // namespace forms
