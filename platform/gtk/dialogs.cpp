#include "platform/gtk/dialogs.h"

#include <gtk/gtk.h>

#include <vector>

#include "platform/rtl/codepage.h"

namespace gtkui {
namespace {

std::function<void(GtkDialog*)>& ShownHook() {
    static std::function<void(GtkDialog*)> hook;
    return hook;
}

std::string Utf8(const std::string& cp1251) { return rtl::Cp1251ToUtf8(cp1251); }

// The application's window that has the focus, so the dialog stays above it.
GtkWindow* ActiveWindow() {
    GList* windows = gtk_window_list_toplevels();
    GtkWindow* found = nullptr;
    for (GList* item = windows; item; item = item->next) {
        GtkWindow* window = GTK_WINDOW(item->data);
        if (gtk_window_is_active(window) && gtk_widget_get_visible(GTK_WIDGET(window))) found = window;
    }
    g_list_free(windows);
    return found;
}

GtkMessageType MessageTypeOfFlags(unsigned flags) {
    switch (flags & rtl::MB_ICONMASK) {
        case rtl::MB_ICONERROR: return GTK_MESSAGE_ERROR;
        case rtl::MB_ICONQUESTION: return GTK_MESSAGE_QUESTION;
        case rtl::MB_ICONWARNING: return GTK_MESSAGE_WARNING;
        case rtl::MB_ICONINFORMATION: return GTK_MESSAGE_INFO;
        default: return GTK_MESSAGE_OTHER;
    }
}

GtkMessageType MessageTypeOfDlg(rtl::TMsgDlgType type) {
    switch (type) {
        case rtl::mtWarning: return GTK_MESSAGE_WARNING;
        case rtl::mtError: return GTK_MESSAGE_ERROR;
        case rtl::mtInformation: return GTK_MESSAGE_INFO;
        case rtl::mtConfirmation: return GTK_MESSAGE_QUESTION;
        default: return GTK_MESSAGE_OTHER;
    }
}

struct BoxButton {
    const char* label;
    int result;
};

std::vector<BoxButton> MessageBoxButtons(unsigned flags) {
    switch (flags & rtl::MB_TYPEMASK) {
        case rtl::MB_OKCANCEL: return {{"_OK", rtl::IDOK}, {"_Cancel", rtl::IDCANCEL}};
        case rtl::MB_ABORTRETRYIGNORE:
            return {{"_Abort", rtl::IDABORT}, {"_Retry", rtl::IDRETRY}, {"_Ignore", rtl::IDIGNORE}};
        case rtl::MB_YESNOCANCEL: return {{"_Yes", rtl::IDYES}, {"_No", rtl::IDNO}, {"_Cancel", rtl::IDCANCEL}};
        case rtl::MB_YESNO: return {{"_Yes", rtl::IDYES}, {"_No", rtl::IDNO}};
        case rtl::MB_RETRYCANCEL: return {{"_Retry", rtl::IDRETRY}, {"_Cancel", rtl::IDCANCEL}};
        default: return {{"_OK", rtl::IDOK}};
    }
}

GtkWidget* NewMessageDialog(GtkMessageType type, const std::string& caption, const std::string& text) {
    GtkWidget* dialog = gtk_message_dialog_new(ActiveWindow(), GTK_DIALOG_MODAL, type, GTK_BUTTONS_NONE, "%s",
                                               Utf8(text).c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), Utf8(caption).c_str());
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    return dialog;
}

// Runs the dialog; GTK's own responses (closed by the window manager, Escape) become `closed`.
int RunDialog(GtkWidget* dialog, int closed) {
    gtk_widget_show_all(dialog);
    // A copy: the hook may replace itself while it runs.
    if (auto hook = ShownHook()) hook(GTK_DIALOG(dialog));
    int response = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    return response > 0 ? response : closed;
}

}  // namespace

std::string MessageDlgCaption(rtl::TMsgDlgType type) {
    switch (type) {
        case rtl::mtWarning: return "Warning";
        case rtl::mtError: return "Error";
        case rtl::mtInformation: return "Information";
        case rtl::mtConfirmation: return "Confirm";
        default: return "";
    }
}

std::string MessageDlgButtonLabel(rtl::TMsgDlgBtn button) {
    static const char* const kLabels[] = {"_Yes", "_No", "OK", "Cancel", "_Abort", "_Retry",
                                          "_Ignore", "_All", "N_o to All", "Yes to _All", "_Help"};
    return kLabels[button];
}

int MessageDlgButtonResult(rtl::TMsgDlgBtn button) {
    static const int kResults[] = {rtl::mrYes, rtl::mrNo, rtl::mrOk, rtl::mrCancel, rtl::mrAbort, rtl::mrRetry,
                                   rtl::mrIgnore, rtl::mrAll, rtl::mrNoToAll, rtl::mrYesToAll, rtl::mrNone};
    return kResults[button];
}

GtkDialogService::GtkDialogService(std::function<std::string()> applicationTitle)
    : applicationTitle_(std::move(applicationTitle)) {}

void GtkDialogService::SetDialogShownHook(std::function<void(GtkDialog*)> hook) { ShownHook() = std::move(hook); }

std::string GtkDialogService::Title() const { return applicationTitle_ ? applicationTitle_() : std::string(); }

int GtkDialogService::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    GtkWidget* dialog = NewMessageDialog(MessageTypeOfFlags(flags), caption, text);
    std::vector<BoxButton> buttons = MessageBoxButtons(flags);
    for (const BoxButton& button : buttons) gtk_dialog_add_button(GTK_DIALOG(dialog), button.label, button.result);
    size_t defaultIndex = (flags & rtl::MB_DEFBUTTON2) && buttons.size() > 1 ? 1 : 0;
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), buttons[defaultIndex].result);
    bool hasCancel = false;
    for (const BoxButton& button : buttons) hasCancel = hasCancel || button.result == rtl::IDCANCEL;
    return RunDialog(dialog, hasCancel ? rtl::IDCANCEL : 0);
}

int GtkDialogService::MessageDlg(const std::string& msg, rtl::TMsgDlgType type, rtl::TMsgDlgButtons buttons) {
    std::string caption = type == rtl::mtCustom ? Title() : MessageDlgCaption(type);
    GtkWidget* dialog = NewMessageDialog(MessageTypeOfDlg(type), caption, msg);
    int firstResult = rtl::mrNone;
    for (int b = rtl::mbYes; b <= rtl::mbHelp; ++b) {
        auto button = static_cast<rtl::TMsgDlgBtn>(b);
        if (!buttons.Contains(button) || button == rtl::mbHelp) continue;  // no help system to open
        gtk_dialog_add_button(GTK_DIALOG(dialog), MessageDlgButtonLabel(button).c_str(),
                              MessageDlgButtonResult(button));
        if (firstResult == rtl::mrNone) firstResult = MessageDlgButtonResult(button);
    }
    if (firstResult != rtl::mrNone) gtk_dialog_set_default_response(GTK_DIALOG(dialog), firstResult);
    return RunDialog(dialog, buttons.Contains(rtl::mbCancel) ? rtl::mrCancel : rtl::mrNone);
}

bool GtkDialogService::InputQuery(const std::string& caption, const std::string& prompt, std::string& value,
                                  bool password) {
    GtkWidget* dialog = gtk_dialog_new_with_buttons(Utf8(caption).c_str(), ActiveWindow(), GTK_DIALOG_MODAL, "OK",
                                                    GTK_RESPONSE_OK, "Cancel", GTK_RESPONSE_CANCEL, nullptr);
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    GtkWidget* area = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    gtk_container_set_border_width(GTK_CONTAINER(area), 8);
    GtkWidget* label = gtk_label_new(Utf8(prompt).c_str());
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_text(GTK_ENTRY(entry), Utf8(value).c_str());
    gtk_entry_set_visibility(GTK_ENTRY(entry), !password);
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    gtk_box_pack_start(GTK_BOX(area), label, FALSE, FALSE, 4);
    gtk_box_pack_start(GTK_BOX(area), entry, FALSE, FALSE, 4);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);

    gtk_widget_show_all(dialog);
    if (auto hook = ShownHook()) hook(GTK_DIALOG(dialog));
    bool accepted = gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK;
    if (accepted) value = rtl::Utf8ToCp1251(gtk_entry_get_text(GTK_ENTRY(entry)));
    gtk_widget_destroy(dialog);
    return accepted;
}

void GtkDialogService::ShowMessage(const std::string& msg) {
    GtkWidget* dialog = NewMessageDialog(GTK_MESSAGE_OTHER, Title(), msg);
    gtk_dialog_add_button(GTK_DIALOG(dialog), "OK", rtl::IDOK);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), rtl::IDOK);
    RunDialog(dialog, 0);
}

}  // namespace gtkui
