// Native peers for the library's windowed controls: the edit box (GtkEntry) and the panel
// (a GtkDrawingArea filled with the panel's colour; video renders into its window).
#pragma once

#include <memory>

#include "platform/forms/backend.h"

namespace gtkui {

std::unique_ptr<forms::IEditPeer> NewEditPeer(forms::TEdit& edit, forms::IWindowPeer& window);
std::unique_ptr<forms::IPanelPeer> NewPanelPeer(forms::TPanel& panel, forms::IWindowPeer& window);

}  // namespace gtkui
