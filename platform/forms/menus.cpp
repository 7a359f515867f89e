#include "platform/forms/menus.h"

#include <algorithm>

#include "platform/forms/control.h"
#include "platform/forms/form.h"
#include "platform/forms/formdesc.h"
#include "platform/rtl/sysutils.h"

namespace forms {

TMenuItem::~TMenuItem() {
    if (FMenu) FMenu->Remove(this);
}

void TMenuItem::Click() {
    if (Enabled) Fire(OnClick, this);
}

bool TMenuItem::SetProperty(const std::string& name, const TPropValue& value, TFormLoader& loader) {
    if (rtl::SameText(name, "Caption")) Caption = value.AsString();
    else if (rtl::SameText(name, "Enabled")) Enabled = value.AsBoolean();
    else if (rtl::SameText(name, "Visible")) Visible = value.AsBoolean();
    else if (rtl::SameText(name, "Checked")) Checked = value.AsBoolean();
    else return TComponent::SetProperty(name, value, loader);
    return true;
}

bool TMenuItem::SetEvent(const std::string& name, const std::any& handler) {
    if (!rtl::SameText(name, "OnClick")) return TComponent::SetEvent(name, handler);
    AssignEvent(OnClick, handler, name);
    return true;
}

TPopupMenu::~TPopupMenu() {
    *FAlive = false;
    for (TMenuItem* item : FItems) item->FMenu = nullptr;
    for (TControl* user : std::vector<TControl*>(FUsers)) user->SetPopupMenu(nullptr);
}

void TPopupMenu::Add(TMenuItem* item) {
    if (!item || item->FMenu == this) return;
    if (item->FMenu) item->FMenu->Remove(item);
    item->FMenu = this;
    FItems.push_back(item);
}

void TPopupMenu::Remove(TMenuItem* item) {
    auto it = std::find(FItems.begin(), FItems.end(), item);
    if (it == FItems.end()) return;
    item->FMenu = nullptr;
    FItems.erase(it);
}

void TPopupMenu::AdoptChild(TComponent* child) { Add(dynamic_cast<TMenuItem*>(child)); }

void TPopupMenu::AddUser(TControl* control) { FUsers.push_back(control); }

void TPopupMenu::RemoveUser(TControl* control) {
    FUsers.erase(std::remove(FUsers.begin(), FUsers.end(), control), FUsers.end());
}

void TPopupMenu::Popup(TForm& form, TPoint clientPos) {
    std::shared_ptr<bool> alive = FAlive;
    Fire(OnPopup, this);
    if (!*alive || !HasBackend() || !form.WindowPeer()) return;
    std::vector<TMenuEntry> entries;
    std::vector<TMenuItem*> shown;
    for (TMenuItem* item : FItems) {
        if (!item->Visible) continue;
        entries.push_back(TMenuEntry{item->Caption, item->Enabled, item->Checked});
        shown.push_back(item);
    }
    if (entries.empty()) return;
    // The pick arrives later from the message loop: the menu or its items may be gone by then.
    auto chosen = [this, alive, shown](int index) {
        if (!*alive || index < 0 || size_t(index) >= shown.size()) return;
        TMenuItem* item = shown[size_t(index)];
        if (std::find(FItems.begin(), FItems.end(), item) != FItems.end()) item->Click();
    };
    Backend().PopupMenu(*form.WindowPeer(), clientPos, entries, chosen);
}

bool TPopupMenu::SetProperty(const std::string& name, const TPropValue& value, TFormLoader& loader) {
    if (!rtl::SameText(name, "AutoPopup")) return TComponent::SetProperty(name, value, loader);
    AutoPopup = value.AsBoolean();
    return true;
}

bool TPopupMenu::SetEvent(const std::string& name, const std::any& handler) {
    if (!rtl::SameText(name, "OnPopup")) return TComponent::SetEvent(name, handler);
    AssignEvent(OnPopup, handler, name);
    return true;
}

}  // namespace forms
