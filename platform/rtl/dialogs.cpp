#include "platform/rtl/dialogs.h"

#include <atomic>
#include <cstdio>

#include "platform/rtl/codepage.h"

namespace rtl {

namespace {

StderrDialogs defaultDialogs;
std::atomic<IDialogService*> currentDialogs{nullptr};

void WriteToStderr(const std::string& caption, const std::string& text) {
    std::string line = caption.empty() ? Cp1251ToUtf8(text) : Cp1251ToUtf8(caption) + ": " + Cp1251ToUtf8(text);
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

const char* DlgTypeName(TMsgDlgType type) {
    switch (type) {
        case mtWarning: return "Warning";
        case mtError: return "Error";
        case mtInformation: return "Information";
        case mtConfirmation: return "Confirm";
        default: return "";
    }
}

}  // namespace

IDialogService& Dialogs() {
    IDialogService* service = currentDialogs.load();
    return service ? *service : defaultDialogs;
}

void SetDialogService(IDialogService* service) { currentDialogs.store(service); }

// ---- StderrDialogs ----

int StderrDialogs::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    WriteToStderr(caption, text);
    switch (flags & MB_TYPEMASK) {
        case MB_OK: return IDOK;
        case MB_OKCANCEL:
        case MB_YESNOCANCEL:
        case MB_RETRYCANCEL: return IDCANCEL;
        default: return 0;
    }
}

// Closing a message dialog presses its cancel button: Cancel, else No, else OK.
int StderrDialogs::MessageDlg(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons) {
    WriteToStderr(DlgTypeName(type), msg);
    if (buttons.Contains(mbCancel)) return mrCancel;
    if (buttons.Contains(mbNo)) return mrNo;
    return buttons.Contains(mbOK) ? mrOk : mrCancel;
}

bool StderrDialogs::InputQuery(const std::string& caption, const std::string& prompt, std::string& /*value*/,
                               bool /*password*/) {
    WriteToStderr(caption, prompt);
    return false;
}

void StderrDialogs::ShowMessage(const std::string& msg) { WriteToStderr(std::string(), msg); }

// ---- ScriptedDialogs ----

void ScriptedDialogs::PushResult(int result) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_.push_back(TAnswer{result, true, {}});
}

void ScriptedDialogs::PushInput(bool accepted, std::string text) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_.push_back(TAnswer{accepted ? 1 : 0, accepted, std::move(text)});
}

std::size_t ScriptedDialogs::PendingAnswers() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return answers_.size();
}

std::vector<ScriptedDialogs::TShownBox> ScriptedDialogs::Log() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
}

void ScriptedDialogs::ClearLog() {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.clear();
}

bool ScriptedDialogs::TakeAnswer(TAnswer& answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (answers_.empty()) return false;
    answer = std::move(answers_.front());
    answers_.pop_front();
    return true;
}

void ScriptedDialogs::Record(TShownBox box) {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.push_back(std::move(box));
}

int ScriptedDialogs::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    TAnswer answer;
    int result = TakeAnswer(answer) ? answer.Result : 0;
    TShownBox box;
    box.Kind = "MessageBox";
    box.Caption = caption;
    box.Text = text;
    box.Flags = flags;
    box.Result = result;
    Record(std::move(box));
    return result;
}

int ScriptedDialogs::MessageDlg(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons) {
    TAnswer answer;
    int result = TakeAnswer(answer) ? answer.Result : mrNone;
    TShownBox box;
    box.Kind = "MessageDlg";
    box.Caption = DlgTypeName(type);
    box.Text = msg;
    box.Type = type;
    box.Buttons = buttons;
    box.Result = result;
    Record(std::move(box));
    return result;
}

bool ScriptedDialogs::InputQuery(const std::string& caption, const std::string& prompt, std::string& value,
                                 bool password) {
    TAnswer answer;
    bool accepted = TakeAnswer(answer) && answer.Accepted;
    if (accepted) value = answer.Text;
    TShownBox box;
    box.Kind = "InputQuery";
    box.Caption = caption;
    box.Text = prompt;
    box.Password = password;
    box.Result = accepted ? 1 : 0;
    Record(std::move(box));
    return accepted;
}

void ScriptedDialogs::ShowMessage(const std::string& msg) {
    TShownBox box;
    box.Kind = "ShowMessage";
    box.Text = msg;
    Record(std::move(box));
}

// ---- shortcuts ----

int MessageDlg(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons) {
    return Dialogs().MessageDlg(msg, type, buttons);
}

void ShowMessage(const std::string& msg) { Dialogs().ShowMessage(msg); }

bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
    return Dialogs().InputQuery(caption, prompt, value, false);
}

}  // namespace rtl
