// TCheckBox: the class library's two-state check box with a caption. On screen it is a native
// check button (a peer of kind kCheckBoxPeerKind); where the backend has none (headless) the box is
// drawn into the form's raster and a click on it, or Space while it has the focus, toggles it.
// As in the class library, setting Checked from code runs OnClick too.
#pragma once

#include <string>

#include "platform/forms/checkbox_peer.h"
#include "platform/forms/control.h"

namespace forms {

class TCheckBox : public TWinControl, public ICheckBoxPeerSink {
public:
    explicit TCheckBox(TComponent* owner);
    const char* ClassName() const override { return "TCheckBox"; }

    bool Checked() const { return FChecked; }
    // A new value is shown and runs OnClick.
    void SetChecked(bool value);
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& caption);  // cp1251
    bool CaptionLeft() const { return FCaptionLeft; }
    void SetCaptionLeft(bool value);  // Alignment = taLeftJustify
    int TabOrder = 0;
    bool TabStop = true;

    bool CanFocus() const override { return Showing() && FEnabled; }
    // The user's click toggles the box (which runs OnClick).
    void Click() override;
    void KeyPress(char& key) override;
    TCheckBoxPeerState PeerClicked() override;
    void SetFont(const TFont& font);
    void Paint(TCanvas& canvas) override;

    bool SetProperty(const std::string& name, const TPropValue& value, TFormLoader& loader) override;

protected:
    std::unique_ptr<IControlPeer> CreatePeer(IBackend& backend, IWindowPeer& window) override;
    void PeerCreated() override;

private:
    ICheckBoxPeer* CheckPeer() const;
    bool FChecked = false;
    bool FCaptionLeft = false;
    std::string FCaption;
};

// Lets form descriptions create "TCheckBox" components (repeating is harmless).
void RegisterCheckBoxClass();

}  // namespace forms
