#include "platform/forms/actions.h"

#include <algorithm>

#include "platform/forms/control.h"
#include "platform/forms/formdesc.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/sysutils.h"

namespace forms {

namespace {

struct KeyName {
    const char* name;
    uint16_t key;
};

constexpr KeyName kKeyNames[] = {
    {"BkSp", VK_BACK}, {"Backspace", VK_BACK}, {"Tab", VK_TAB}, {"Enter", VK_RETURN}, {"Esc", VK_ESCAPE},
    {"Escape", VK_ESCAPE}, {"Space", VK_SPACE}, {"PgUp", VK_PRIOR}, {"PgDn", VK_NEXT}, {"End", VK_END},
    {"Home", VK_HOME}, {"Left", VK_LEFT}, {"Up", VK_UP}, {"Right", VK_RIGHT}, {"Down", VK_DOWN},
    {"Ins", VK_INSERT}, {"Insert", VK_INSERT}, {"Del", VK_DELETE}, {"Delete", VK_DELETE},
};

uint16_t KeyFromName(const std::string& name) {
    for (const KeyName& k : kKeyNames)
        if (rtl::SameText(name, k.name)) return k.key;
    if (name.size() == 1) {
        char c = rtl::AsciiUpper(name[0]);
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return uint16_t(c);
    }
    if (name.size() >= 2 && (name[0] == 'F' || name[0] == 'f')) {
        int n = rtl::StrToIntDef(name.substr(1), 0);
        if (n >= 1 && n <= 24) return uint16_t(VK_F1 + n - 1);
    }
    return 0;
}

std::string NameOfKey(uint16_t key) {
    for (const KeyName& k : kKeyNames)
        if (k.key == key) return k.name;
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return std::string(1, char(key));
    if (key >= VK_F1 && key < VK_F1 + 24) return "F" + rtl::IntToStr(key - VK_F1 + 1);
    return "";
}

}  // namespace

TShortCut ShortCut(uint16_t key, TShiftState shift) {
    TShortCut result = TShortCut(key & 0xFF);
    if (shift & ssShift) result |= scShift;
    if (shift & ssCtrl) result |= scCtrl;
    if (shift & ssAlt) result |= scAlt;
    return result;
}

TShortCut TextToShortCut(const std::string& text) {
    std::string rest = rtl::Trim(text);
    TShortCut modifiers = 0;
    for (;;) {
        size_t plus = rest.find('+');
        if (plus == std::string::npos || plus + 1 == rest.size()) break;
        std::string word = rtl::Trim(rest.substr(0, plus));
        if (rtl::SameText(word, "Ctrl")) modifiers |= scCtrl;
        else if (rtl::SameText(word, "Shift")) modifiers |= scShift;
        else if (rtl::SameText(word, "Alt")) modifiers |= scAlt;
        else return scNone;
        rest = rtl::Trim(rest.substr(plus + 1));
    }
    uint16_t key = KeyFromName(rest);
    return key ? TShortCut(modifiers | key) : scNone;
}

std::string ShortCutToText(TShortCut shortcut) {
    std::string name = NameOfKey(shortcut & 0xFF);
    if (name.empty()) return "";
    std::string prefix;
    if (shortcut & scShift) prefix += "Shift+";
    if (shortcut & scCtrl) prefix += "Ctrl+";
    if (shortcut & scAlt) prefix += "Alt+";
    return prefix + name;
}

TAction::TAction(TComponent* owner) : TComponent(owner) {}

TAction::~TAction() {
    SetActionList(nullptr);
    for (TActionLink* link : FLinks) link->FAction = nullptr;
}

void TAction::SetChecked(bool value) {
    if (value == FChecked) return;
    // A client's handler may drop its link; only links still registered are told.
    for (TActionLink* link : std::vector<TActionLink*>(FLinks))
        if (std::find(FLinks.begin(), FLinks.end(), link) != FLinks.end()) link->SetChecked(value);
    FChecked = value;
}

TActionLink::~TActionLink() { SetAction(nullptr); }

void TActionLink::SetAction(TAction* action) {
    if (action == FAction) return;
    if (FAction) {
        auto& links = FAction->FLinks;
        links.erase(std::remove(links.begin(), links.end(), this), links.end());
    }
    FAction = action;
    if (action) action->FLinks.push_back(this);
}

TWinControlActionLink::TWinControlActionLink(TWinControl* client)
    : TControlActionLink(client) {}

void TAction::SetActionList(TActionList* list) {
    if (list == FActionList) return;
    if (FActionList) {
        auto& actions = FActionList->FActions;
        actions.erase(std::remove(actions.begin(), actions.end(), this), actions.end());
    }
    FActionList = list;
    if (list) list->FActions.push_back(this);
}

bool TAction::HandlesShortCut(TShortCut shortcut) const {
    if (shortcut == scNone) return false;
    if (ShortCut == shortcut) return true;
    return std::any_of(SecondaryShortCuts.begin(), SecondaryShortCuts.end(),
                       [&](const std::string& text) { return TextToShortCut(text) == shortcut; });
}

bool TAction::Execute() {
    if (!Enabled || !OnExecute) return false;
    Fire(OnExecute, this);
    return true;
}

bool TAction::SetProperty(const std::string& name, const TPropValue& value, TFormLoader& loader) {
    if (rtl::SameText(name, "ShortCut")) {
        if (value.kind == TPropValue::String) ShortCut = TextToShortCut(value.AsString());
        else ShortCut = TShortCut(value.AsInt(0, 0xFFFF));
    } else if (rtl::SameText(name, "SecondaryShortCuts")) {
        SecondaryShortCuts.clear();
        if (value.kind == TPropValue::Set) SecondaryShortCuts = value.items;
        else SecondaryShortCuts.push_back(value.AsString());
    } else if (rtl::SameText(name, "Caption")) {
        Caption = value.AsString();
    } else if (rtl::SameText(name, "Enabled")) {
        Enabled = value.AsBoolean();
    } else if (rtl::SameText(name, "Checked")) {
        SetChecked(value.AsBoolean());
    } else {
        return TComponent::SetProperty(name, value, loader);
    }
    return true;
}

bool TAction::SetEvent(const std::string& name, const std::any& handler) {
    if (!rtl::SameText(name, "OnExecute")) return TComponent::SetEvent(name, handler);
    AssignEvent(OnExecute, handler, name);
    return true;
}

TActionList::TActionList(TComponent* owner) : TComponent(owner) {}

TActionList::~TActionList() {
    for (TAction* action : std::vector<TAction*>(FActions)) action->SetActionList(nullptr);
}

void TActionList::AdoptChild(TComponent* child) {
    if (auto* action = dynamic_cast<TAction*>(child)) action->SetActionList(this);
}

bool TActionList::IsShortCut(uint16_t key, TShiftState shift) {
    TShortCut shortcut = ShortCut(key, shift);
    // The first action bound to the shortcut decides, as the class library does.
    for (TAction* action : std::vector<TAction*>(FActions))
        if (action->HandlesShortCut(shortcut)) return action->Execute();
    return false;
}

}  // namespace forms
