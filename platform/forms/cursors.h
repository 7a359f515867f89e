// TScreen: the application's cursors (loaded from .cur files), the desktop's size and work area.
#pragma once

#include <map>
#include <string>

#include "platform/forms/backend.h"

namespace forms {

class TScreen {
public:
    // Loads a .cur file as cursor `index` (> 0); when it cannot be loaded the index maps to the
    // default cursor. Returns whether the file loaded.
    bool LoadCursor(TCursor index, const std::string& path);
    // The loaded cursor for an index, or null (built-in cursor or default).
    TCursorHandle CursorHandle(TCursor index) const;
    bool HasCursor(TCursor index) const;
    void SetCursorHandle(TCursor index, TCursorHandle handle);

    // The pointer for the whole application (crHourGlass during long work); crDefault = per control.
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor cursor);

    int Width() const;
    int Height() const;
    TRect WorkAreaRect() const;  // SPI_GETWORKAREA

    void Clear();  // forgets every loaded cursor

private:
    std::map<TCursor, TCursorHandle> FCursors;
    TCursor FCursor = crDefault;
};

TScreen& Screen();

}  // namespace forms
