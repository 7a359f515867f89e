// Popup menus as GtkMenu: shown at the pointer for a mouse click, at a client point otherwise.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <vector>

#include "platform/forms/backend.h"

namespace gtkui {

// layout is the form's GtkLayout; chosen(index) runs when the user activates an entry.
void ShowPopupMenu(GtkWidget* layout, forms::TPoint clientPos, const std::vector<forms::TMenuEntry>& entries,
                   std::function<void(int)> chosen);

}  // namespace gtkui
