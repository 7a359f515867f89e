// The favourites routines the main window calls. They belong to the bindings unit; until that unit
// is part of the build, main_favorites_fallback.cpp gives them bodies that do nothing.
#pragma once

#if __has_include("viewer/bindings.h")
#include "viewer/bindings.h"
#else
#include <cstdint>

namespace viewer {
void AddBookmark();
void DeleteBookmark(uint16_t Slot);
void WriteFavoritesPage();
}  // namespace viewer
#endif
