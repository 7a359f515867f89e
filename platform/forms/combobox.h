// TComboBox: a drop-down list of cp1251 items with one selection. On screen it is a native combo
// box (a peer of kind kComboBoxPeerKind asked through IBackend::CreateNativePeer); where the
// backend has none (headless) the box is drawn into the form's raster and the arrow keys move the
// selection. Only the list styles are kept: the text is always the selected item.
#pragma once

#include <string>
#include <vector>

#include "platform/forms/backend.h"
#include "platform/forms/control.h"
#include "platform/forms/font.h"

namespace forms {

inline constexpr const char* kComboBoxPeerKind = "combobox";

class IComboBoxPeer : public virtual IControlPeer {
public:
    virtual void SetItems(const std::vector<std::string>& items) = 0;  // cp1251
    // Shows the selection (-1: none) without reporting a change.
    virtual void SetItemIndex(int index) = 0;
    virtual void SetFont(const TFont& font) = 0;
};

// Implemented by the combo box (the peer finds it with dynamic_cast on its control).
class IComboBoxPeerSink {
public:
    virtual ~IComboBoxPeerSink() = default;
    // The user chose item index in the native list.
    virtual void PeerSelected(int index) = 0;
};

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

class TComboBox : public TWinControl, public IComboBoxPeerSink {
public:
    explicit TComboBox(TComponent* owner);
    const char* ClassName() const override { return "TComboBox"; }

    const std::vector<std::string>& Items() const { return FItems; }
    int ItemCount() const { return int(FItems.size()); }
    void AddItem(const std::string& item);
    void SetItems(const std::vector<std::string>& items);  // the selection is dropped
    void Clear();                                          // items and selection
    // -1 when nothing is selected; a value outside the items selects nothing.
    int ItemIndex() const { return FItemIndex; }
    void SetItemIndex(int index);
    // The selected item, or "" when nothing is selected.
    std::string Text() const;

    TComboBoxStyle Style = csDropDown;
    int ItemHeight = 16;
    int DropDownCount = 8;
    int TabOrder = 0;
    bool TabStop = true;

    // Runs when the user changes the selection (not when code sets it).
    TNotifyEvent OnChange;

    // What a user's choice does: selects index and runs OnChange when the selection moved.
    void PeerSelected(int index) override;
    bool CanFocus() const override { return Showing() && FEnabled; }
    bool WantsChars() const override { return true; }
    void KeyDown(uint16_t& key, TShiftState shift) override;
    void SetFont(const TFont& font);
    void Paint(TCanvas& canvas) override;

    bool SetProperty(const std::string& name, const TPropValue& value, TFormLoader& loader) override;
    bool SetEvent(const std::string& name, const std::any& handler) override;

protected:
    std::unique_ptr<IControlPeer> CreatePeer(IBackend& backend, IWindowPeer& window) override;
    void PeerCreated() override;

private:
    IComboBoxPeer* ComboPeer() const;
    std::vector<std::string> FItems;
    int FItemIndex = -1;
};

// Lets form descriptions create "TComboBox" components (repeating is harmless).
void RegisterComboBoxClass();

}  // namespace forms
