// Cursors: the built-in shapes by name, and cursors loaded from .cur files through gdk-pixbuf
// (whose ICO loader reads the hot spot of .cur files).
#pragma once

#include <string>

#include "platform/forms/backend.h"
#include "platform/forms/types.h"

typedef struct _GdkCursor GdkCursor;

namespace gtkui {

// A new reference to the cursor for a built-in shape; null for the default pointer.
GdkCursor* NewStandardCursor(forms::TCursor cursor);
// The CSS cursor name of a built-in shape; null for the default pointer.
const char* StandardCursorName(forms::TCursor cursor);
// Loads a .cur (or .ico) file named Windows-style in cp1251; null when it cannot be read.
forms::TCursorHandle LoadCursorFile(const std::string& path);

}  // namespace gtkui
