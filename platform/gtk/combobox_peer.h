// The native combo box peer (GtkComboBoxText) for controls that ask for forms::kComboBoxPeerKind.
#pragma once

#include <memory>

#include "platform/forms/combobox.h"

namespace gtkui {

std::unique_ptr<forms::IComboBoxPeer> NewComboBoxPeer(forms::TWinControl& control, forms::IWindowPeer& window);

}  // namespace gtkui
