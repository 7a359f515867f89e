#include "platform/forms/combobox.h"

#include "platform/forms/canvas.h"
#include "platform/forms/formdesc.h"
#include "platform/rtl/sysutils.h"

namespace forms {

TComboBox::TComboBox(TComponent* owner) : TWinControl(owner) {
    FWidth = 145;
    FHeight = 21;
    FColor = clWindow;
}

IComboBoxPeer* TComboBox::ComboPeer() const { return dynamic_cast<IComboBoxPeer*>(FPeer.get()); }

void TComboBox::AddItem(const std::string& item) {
    FItems.push_back(item);
    if (IComboBoxPeer* peer = ComboPeer()) {
        peer->SetItems(FItems);
        peer->SetItemIndex(FItemIndex);
    }
    Invalidate();
}

void TComboBox::SetItems(const std::vector<std::string>& items) {
    FItems = items;
    FItemIndex = -1;
    if (IComboBoxPeer* peer = ComboPeer()) {
        peer->SetItems(FItems);
        peer->SetItemIndex(FItemIndex);
    }
    Invalidate();
}

void TComboBox::Clear() { SetItems({}); }

void TComboBox::SetItemIndex(int index) {
    FItemIndex = index >= 0 && index < ItemCount() ? index : -1;
    if (IComboBoxPeer* peer = ComboPeer()) peer->SetItemIndex(FItemIndex);
    Invalidate();
}

std::string TComboBox::Text() const { return FItemIndex >= 0 ? FItems[size_t(FItemIndex)] : std::string(); }

void TComboBox::PeerSelected(int index) {
    const int before = FItemIndex;
    SetItemIndex(index);
    if (FItemIndex != before) Fire(OnChange, this);
}

void TComboBox::KeyDown(uint16_t& key, TShiftState shift) {
    TWinControl::KeyDown(key, shift);
    // A native list moves its own selection.
    if (FPeer || FItems.empty()) return;
    if (key == VK_UP) PeerSelected(FItemIndex <= 0 ? 0 : FItemIndex - 1);
    else if (key == VK_DOWN) PeerSelected(FItemIndex + 1 < ItemCount() ? FItemIndex + 1 : ItemCount() - 1);
}

void TComboBox::SetFont(const TFont& font) {
    Font = font;
    if (IComboBoxPeer* peer = ComboPeer()) peer->SetFont(Font);
    Invalidate();
}

// The closed box: a framed field with the selected item and the drop-down button at its right.
void TComboBox::Paint(TCanvas& canvas) {
    const TRect box = ClientRect();
    canvas.Brush.Color = FEnabled ? FColor : clBtnFace;
    canvas.FillRect(box);
    canvas.Brush.Color = clBtnShadow;
    canvas.FrameRect(box);
    const int buttonWidth = box.Height() < box.Width() ? box.Height() : box.Width();
    canvas.Brush.Color = clBtnFace;
    canvas.FillRect(Rect(box.Right - buttonWidth, box.Top + 1, box.Right - 1, box.Bottom - 1));
    const std::string text = Text();
    if (text.empty()) return;
    canvas.Font = Font;
    canvas.Brush.Style = bsClear;
    canvas.TextRect(Rect(2, 1, box.Right - buttonWidth, box.Bottom - 1), 3, 2, text);
}

bool TComboBox::SetProperty(const std::string& name, const TPropValue& value, TFormLoader& loader) {
    if (rtl::SameText(name, "Items")) {
        if (value.kind != TPropValue::Set) loader.Fail(value.line, "Items needs a set of strings");
        SetItems(value.items);
    } else if (rtl::SameText(name, "ItemIndex")) {
        SetItemIndex(value.AsInt(-1, 0x7FFFFFFF));
    } else if (rtl::SameText(name, "Text")) {
        // A list style shows only items: the text selects the first item equal to it.
        int found = -1;
        for (int i = 0; i < ItemCount() && found < 0; ++i)
            if (FItems[size_t(i)] == value.AsString()) found = i;
        SetItemIndex(found);
    } else if (rtl::SameText(name, "Style")) {
        static const std::pair<const char*, TComboBoxStyle> styles[] = {
            {"csDropDown", csDropDown}, {"csSimple", csSimple}, {"csDropDownList", csDropDownList},
            {"csOwnerDrawFixed", csOwnerDrawFixed}, {"csOwnerDrawVariable", csOwnerDrawVariable}};
        const std::string& id = value.AsIdentifier();
        bool known = false;
        for (auto& [styleName, style] : styles)
            if (rtl::SameText(id, styleName)) Style = style, known = true;
        if (!known) loader.Fail(value.line, "Unknown combo box style " + id);
    } else if (rtl::SameText(name, "ItemHeight")) {
        ItemHeight = value.AsInt(1, 4096);
    } else if (rtl::SameText(name, "DropDownCount")) {
        DropDownCount = value.AsInt(1, 4096);
    } else if (rtl::SameText(name, "TabOrder")) {
        TabOrder = value.AsInt(0, 0x7FFF);
    } else if (rtl::SameText(name, "TabStop")) {
        TabStop = value.AsBoolean();
    } else {
        bool handled = TWinControl::SetProperty(name, value, loader);
        if (handled && rtl::SameText(name.substr(0, 5), "Font.")) SetFont(Font);
        return handled;
    }
    return true;
}

bool TComboBox::SetEvent(const std::string& name, const std::any& handler) {
    if (rtl::SameText(name, "OnChange")) {
        AssignEvent(OnChange, handler, name);
        return true;
    }
    return TWinControl::SetEvent(name, handler);
}

std::unique_ptr<IControlPeer> TComboBox::CreatePeer(IBackend& backend, IWindowPeer& window) {
    std::unique_ptr<IControlPeer> peer = backend.CreateNativePeer(kComboBoxPeerKind, *this, window);
    if (peer && !dynamic_cast<IComboBoxPeer*>(peer.get())) return nullptr;
    return peer;
}

void TComboBox::PeerCreated() {
    IComboBoxPeer* peer = ComboPeer();
    if (!peer) return;
    peer->SetFont(Font);
    peer->SetItems(FItems);
    peer->SetItemIndex(FItemIndex);
}

void RegisterComboBoxClass() {
    RegisterComponentClass("TComboBox", [](TComponent* owner) { return new TComboBox(owner); });
}

}  // namespace forms
