// TPopupMenu and its TMenuItem list: the menu a control shows on a right click or the menu key.
// The backend draws it (IBackend::PopupMenu) and reports the item the user picks.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/forms/backend.h"
#include "platform/forms/component.h"

namespace forms {

class TControl;
class TForm;

class TPopupMenu;

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* owner) : TComponent(owner) {}
    ~TMenuItem() override;
    const char* ClassName() const override { return "TMenuItem"; }

    std::string Caption;  // cp1251; "-" is a separator, "&" marks the accelerator
    bool Enabled = true;
    bool Visible = true;
    bool Checked = false;
    TNotifyEvent OnClick;

    virtual void Click();  // runs OnClick when enabled

    bool SetProperty(const std::string& name, const TPropValue& value, TFormLoader& loader) override;
    bool SetEvent(const std::string& name, const std::any& handler) override;

private:
    friend class TPopupMenu;
    TPopupMenu* FMenu = nullptr;
};

class TPopupMenu : public TComponent {
public:
    explicit TPopupMenu(TComponent* owner) : TComponent(owner) {}
    ~TPopupMenu() override;
    const char* ClassName() const override { return "TPopupMenu"; }

    int Count() const { return int(FItems.size()); }
    TMenuItem* Items(int index) const { return FItems.at(size_t(index)); }
    void Add(TMenuItem* item);
    void Remove(TMenuItem* item);
    void AdoptChild(TComponent* child) override;

    bool AutoPopup = true;               // a right click or the menu key shows it
    TControl* PopupComponent = nullptr;  // the control it was last shown for
    TNotifyEvent OnPopup;

    // Shows the visible items over the form at a client point; the item picked runs its Click.
    void Popup(TForm& form, TPoint clientPos);

    bool SetProperty(const std::string& name, const TPropValue& value, TFormLoader& loader) override;
    bool SetEvent(const std::string& name, const std::any& handler) override;

    // Controls naming this menu as theirs; it clears their reference when it goes away.
    void AddUser(TControl* control);
    void RemoveUser(TControl* control);

private:
    std::vector<TMenuItem*> FItems;
    std::vector<TControl*> FUsers;
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

}  // namespace forms
