// Bodies for the favourites routines while the bindings unit is not built: nothing is stored.
#include "viewer/favorites_calls.h"

namespace viewer {

void AddBookmark() {}
void DeleteBookmark(uint16_t) {}
void WriteFavoritesPage() {}

}  // namespace viewer
