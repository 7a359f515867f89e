// TbztCheckBoxT: a two- or three-state check box whose background is never painted, so the
// picture behind it shows through. On screen it is a native check button (a peer of kind
// forms::kCheckBoxPeerKind); where the backend has none (headless) the box is drawn into the
// form's raster and takes its clicks and Space presses from the form.
#pragma once

#include <memory>
#include <string>

#include "controls/alignment.h"
#include "platform/forms/actions.h"
#include "platform/forms/checkbox_peer.h"
#include "platform/forms/control.h"

namespace controls {

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

// A push-button-like windowed control with a checked state.
class TNewButtonControl : public forms::TWinControl {
public:
    explicit TNewButtonControl(forms::TComponent* owner) : forms::TWinControl(owner) {}
    ~TNewButtonControl() override { *FAlive = false; }
    const char* ClassName() const override { return "TNewButtonControl"; }

    // While set, state changes run no click and the button's clicked notifications are dropped.
    bool ClicksDisabled = false;

    virtual bool GetChecked() const { return false; }
    virtual void SetChecked(bool) {}
    bool Checked() const { return GetChecked(); }

    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value);  // a new value recreates the native button

protected:
    // Copies the action's Checked, unless only defaults are taken and the box is already checked.
    void ActionChange(forms::TObject* sender, bool checkDefaults) override;
    std::unique_ptr<forms::TControlActionLink> CreateActionLink() override;
    // Replaces the native button by a new one (its layout changed); the peer gets the state again.
    void RecreateWnd();
    bool FWordWrap = false;
    // False once the control is freed: a handler run from inside a member may free it.
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

// The button's action link: it follows the action's Checked only while the two agree, and sets
// the state with clicks disabled, so no OnClick runs for a change the action made.
class TNewButtonActionLink : public forms::TWinControlActionLink {
public:
    explicit TNewButtonActionLink(TNewButtonControl* client) : forms::TWinControlActionLink(client), FClient(client) {}
    bool IsCheckedLinked() const override;
    void SetChecked(bool value) override;

protected:
    TNewButtonControl* FClient;
};

class TNewCustomCheckBox : public TNewButtonControl, public forms::ICheckBoxPeerSink {
public:
    explicit TNewCustomCheckBox(forms::TComponent* owner);
    const char* ClassName() const override { return "TNewCustomCheckBox"; }

    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);  // taLeftJustify puts the caption left of the box
    bool AllowGrayed = false;             // toggling passes through cbGrayed
    TCheckBoxState State() const { return FState; }
    // A new state is shown and, unless ClicksDisabled, runs the click (OnClick).
    virtual void SetState(TCheckBoxState value);
    bool GetChecked() const override { return FState == cbChecked; }
    void SetChecked(bool value) override { SetState(value ? cbChecked : cbUnchecked); }
    // The user's toggle: unchecked -> grayed (AllowGrayed) or checked, checked -> unchecked,
    // grayed -> checked.
    virtual void CycleState();

    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& caption);  // cp1251; "&" marks the accelerator
    bool RightToLeft() const { return FRightToLeft; }
    void SetRightToLeft(bool value);  // BiDiMode other than bdLeftToRight
    // The alignment the control reports for its text.
    TAlignment TextAlignment() const;
    bool TabStop = true;
    int TabOrder = 0;

    bool CanFocus() const override { return Showing() && FEnabled; }
    // A mouse click released over the box toggles it; called from code, it runs OnClick only.
    void Click() override;
    // Runs OnClick (the class library's Click).
    void NotifyClick();
    // The accelerator character of the caption: focuses the box and toggles it. True when taken.
    bool DialogChar(char key) override;
    forms::TCheckBoxPeerState PeerClicked() override;

    void MouseDown(forms::TMouseButton button, forms::TShiftState shift, int x, int y) override;
    void MouseUp(forms::TMouseButton button, forms::TShiftState shift, int x, int y) override;
    void KeyPress(char& key) override;
    void SetFont(const forms::TFont& font);
    void Paint(forms::TCanvas& canvas) override;

protected:
    std::unique_ptr<forms::IControlPeer> CreatePeer(forms::IBackend& backend, forms::IWindowPeer& window) override;
    void PeerCreated() override;
    forms::ICheckBoxPeer* CheckPeer() const;

private:
    void ButtonClicked();  // the button's clicked notification
    bool CaptionOnLeft() const;
    void PushLayout();

    TAlignment FAlignment = taRightJustify;
    TCheckBoxState FState = cbUnchecked;
    std::string FCaption;
    bool FRightToLeft = false;
    bool FMouseDown = false;  // a left press reached the box and its release is pending
    bool FPressed = false;    // that press was taken (the box had the focus)
};

class TbztCheckBoxT : public TNewCustomCheckBox {
public:
    explicit TbztCheckBoxT(forms::TComponent* owner) : TNewCustomCheckBox(owner) {}
    const char* ClassName() const override { return "TbztCheckBoxT"; }

    bool SetProperty(const std::string& name, const forms::TPropValue& value, forms::TFormLoader& loader) override;
};

}  // namespace controls
