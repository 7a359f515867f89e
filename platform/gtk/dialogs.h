// Message boxes, the confirmation dialog and the input dialog as modal GTK dialogs. Texts arrive
// in cp1251 and are shown in UTF-8. A box closed by its window's close button or Escape answers
// Cancel when it has that button, else 0 / mrNone ("closed another way"); InputQuery answers false.
#pragma once

#include <functional>
#include <string>

#include "platform/rtl/dialogs.h"

typedef struct _GtkDialog GtkDialog;

namespace gtkui {

class GtkDialogService : public rtl::IDialogService {
public:
    // The caption of custom message dialogs and ShowMessage (the application's title), asked anew
    // for each box.
    explicit GtkDialogService(std::function<std::string()> applicationTitle = {});

    int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
    int MessageDlg(const std::string& msg, rtl::TMsgDlgType type, rtl::TMsgDlgButtons buttons) override;
    bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value,
                    bool password) override;
    void ShowMessage(const std::string& msg) override;

    // Called with every dialog just before it runs (tests answer it from here).
    static void SetDialogShownHook(std::function<void(GtkDialog*)> hook);

private:
    std::string Title() const;
    std::function<std::string()> applicationTitle_;
};

// The English captions of the confirmation dialog by type ("Warning", "Error", ...); custom
// dialogs take the application's title instead.
std::string MessageDlgCaption(rtl::TMsgDlgType type);
// The button label of a confirmation-dialog button ("&Yes" spelled for GTK as "_Yes").
std::string MessageDlgButtonLabel(rtl::TMsgDlgBtn button);
// The result a confirmation-dialog button gives (mrYes, mrOk, ...).
int MessageDlgButtonResult(rtl::TMsgDlgBtn button);

}  // namespace gtkui
