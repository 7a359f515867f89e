// The native check box peer (GtkCheckButton) for controls that ask for forms::kCheckBoxPeerKind.
#pragma once

#include <memory>

#include "platform/forms/checkbox_peer.h"

namespace gtkui {

std::unique_ptr<forms::ICheckBoxPeer> NewCheckBoxPeer(forms::TWinControl& control, forms::IWindowPeer& window);

}  // namespace gtkui
