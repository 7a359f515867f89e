// The seam for a native check box: the control asks the backend for a peer of kind
// kCheckBoxPeerKind (IBackend::CreateNativePeer) and drives it through ICheckBoxPeer; the peer
// reports the user's click on the native button to the control through ICheckBoxPeerSink.
// A backend without such a peer returns null; the control then takes its clicks from the form.
#pragma once

#include <string>

#include "platform/forms/backend.h"
#include "platform/forms/font.h"

namespace forms {

inline constexpr const char* kCheckBoxPeerKind = "checkbox";

enum TCheckBoxPeerState { cpsUnchecked, cpsChecked, cpsGrayed };

class ICheckBoxPeer : public virtual IControlPeer {
public:
    // Shows the state without reporting a click.
    virtual void SetState(TCheckBoxPeerState state) = 0;
    virtual void SetCaption(const std::string& caption) = 0;  // cp1251
    virtual void SetLayout(bool captionLeft, bool wordWrap) = 0;
    virtual void SetFont(const TFont& font) = 0;
};

// Implemented by the check box control (the peer finds it with dynamic_cast on its control).
class ICheckBoxPeerSink {
public:
    virtual ~ICheckBoxPeerSink() = default;
    // The user clicked the native button (or pressed Space on it). Returns the state the button
    // must show now (a click may be refused, and the handlers may change the state again).
    virtual TCheckBoxPeerState PeerClicked() = 0;
};

}  // namespace forms
