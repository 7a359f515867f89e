// TActionList and TAction: keyboard shortcuts that reach the form whatever has the focus.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/forms/component.h"

namespace forms {

// Shortcut = virtual key | modifier bits.
using TShortCut = uint16_t;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
constexpr TShortCut scNone = 0;

TShortCut ShortCut(uint16_t key, TShiftState shift);
// "Ctrl+Left", "ctrl+left", "F2", "Shift+Ctrl+A"; case-insensitive; scNone when unreadable.
TShortCut TextToShortCut(const std::string& text);
std::string ShortCutToText(TShortCut shortcut);

class TActionList;
class TActionLink;
class TControl;
class TWinControl;

class TAction : public TComponent {
public:
    explicit TAction(TComponent* owner);
    ~TAction() override;
    const char* ClassName() const override { return "TAction"; }

    TActionList* ActionList() const { return FActionList; }
    void SetActionList(TActionList* list);

    std::string Caption;
    TShortCut ShortCut = scNone;
    std::vector<std::string> SecondaryShortCuts;  // texts, as the class library keeps them
    bool Enabled = true;
    TNotifyEvent OnExecute;  // replaceable at any time
    bool Checked() const { return FChecked; }
    // A new value reaches every linked client first (each link decides whether it follows).
    void SetChecked(bool value);

    bool HandlesShortCut(TShortCut shortcut) const;
    // Runs OnExecute (Sender = the action); false when disabled or without a handler.
    virtual bool Execute();

    bool SetProperty(const std::string& name, const TPropValue& value, TFormLoader& loader) override;
    bool SetEvent(const std::string& name, const std::any& handler) override;

private:
    friend class TActionLink;
    TActionList* FActionList = nullptr;
    bool FChecked = false;
    std::vector<TActionLink*> FLinks;
};

// Ties a client to an action: the client runs the action when clicked and follows the action's
// Checked while it is linked for it.
class TActionLink {
public:
    TActionLink() = default;
    virtual ~TActionLink();
    TActionLink(const TActionLink&) = delete;
    TActionLink& operator=(const TActionLink&) = delete;

    TAction* Action() const { return FAction; }
    void SetAction(TAction* action);
    virtual bool IsCheckedLinked() const { return FAction != nullptr; }
    // The action's Checked is about to become value (Action()->Checked() still holds the old one).
    virtual void SetChecked(bool value) { (void)value; }
    bool Execute() { return FAction && FAction->Execute(); }

private:
    friend class TAction;
    TAction* FAction = nullptr;
};

class TControlActionLink : public TActionLink {
public:
    explicit TControlActionLink(TControl* client) : FClient(client) {}

protected:
    TControl* FClient;
};

class TWinControlActionLink : public TControlActionLink {
public:
    explicit TWinControlActionLink(TWinControl* client);
};

class TActionList : public TComponent {
public:
    explicit TActionList(TComponent* owner);
    ~TActionList() override;
    const char* ClassName() const override { return "TActionList"; }

    int ActionCount() const { return int(FActions.size()); }
    TAction* Actions(int index) const { return FActions.at(size_t(index)); }
    void AdoptChild(TComponent* child) override;

    // Executes the first enabled action bound to the shortcut; true when one ran.
    bool IsShortCut(uint16_t key, TShiftState shift);

private:
    friend class TAction;
    std::vector<TAction*> FActions;
};

}  // namespace forms
