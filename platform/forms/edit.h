// TEdit: single-line edit box over a native peer; text in cp1251.
#pragma once

#include <string>

#include "platform/forms/control.h"

namespace forms {

class TEdit : public TWinControl {
public:
    explicit TEdit(TComponent* owner);
    const char* ClassName() const override { return "TEdit"; }

    const std::string& Text() const { return FText; }
    void SetText(const std::string& text);  // cut to MaxLength; fires OnChange when different
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int value);
    char PasswordChar() const { return FPasswordChar; }
    void SetPasswordChar(char value);
    bool BorderNone() const { return FBorderNone; }
    void SetBorderNone(bool value);  // BorderStyle = bsNone
    void SetColor(TColor color) override;
    void SetFont(const TFont& font);
    void SelectAll();
    bool CanFocus() const override { return Showing() && FEnabled; }
    bool WantsChars() const override { return true; }

    TNotifyEvent OnChange;

    // A key left over after OnKeyPress, applied where no native widget edits the text (headless):
    // backspace deletes the last character, printable ones are appended up to MaxLength.
    void ApplyTypedKey(char key);
    void PeerTextChanged(const std::string& text);  // the native widget's text changed

    bool SetProperty(const std::string& name, const TPropValue& value, TFormLoader& loader) override;
    bool SetEvent(const std::string& name, const std::any& handler) override;
    void Paint(TCanvas& canvas) override;  // the raster shows the box's colour and text

protected:
    std::unique_ptr<IControlPeer> CreatePeer(IBackend& backend, IWindowPeer& window) override;
    void PeerCreated() override;

private:
    IEditPeer* EditPeer() const;
    std::string FText;
    int FMaxLength = 0;
    char FPasswordChar = 0;
    bool FBorderNone = false;
    bool FUpdatingFromPeer = false;
};

}  // namespace forms
