// Message boxes and input prompts go through one replaceable dialog service: the GTK backend installs
// real dialogs, tests install ScriptedDialogs, and until then a service that writes each box to
// stderr (UTF-8) and answers as if the box had been closed. All texts are cp1251.
#pragma once

#include <cstddef>
#include <deque>
#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

namespace rtl {

// Message-box flags: buttons in the low nibble, icon in the next.
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_OKCANCEL = 0x1;
constexpr unsigned MB_ABORTRETRYIGNORE = 0x2;
constexpr unsigned MB_YESNOCANCEL = 0x3;
constexpr unsigned MB_YESNO = 0x4;
constexpr unsigned MB_RETRYCANCEL = 0x5;
constexpr unsigned MB_ICONERROR = 0x10;
constexpr unsigned MB_ICONHAND = 0x10;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONWARNING = 0x30;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
constexpr unsigned MB_ICONASTERISK = 0x40;
constexpr unsigned MB_DEFBUTTON2 = 0x100;
constexpr unsigned MB_APPLMODAL = 0x0;
constexpr unsigned MB_SYSTEMMODAL = 0x1000;
constexpr unsigned MB_TASKMODAL = 0x2000;
constexpr unsigned MB_TYPEMASK = 0xF;
constexpr unsigned MB_ICONMASK = 0xF0;

// MessageBox results; 0 when the box was closed another way.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp };

// A set of TMsgDlgBtn: {mbYes, mbNo} or mbYes | mbNo.
class TMsgDlgButtons {
public:
    constexpr TMsgDlgButtons() = default;
    constexpr TMsgDlgButtons(TMsgDlgBtn b) : bits_(1u << b) {}
    constexpr TMsgDlgButtons(std::initializer_list<TMsgDlgBtn> list) {
        for (TMsgDlgBtn b : list) bits_ |= 1u << b;
    }
    constexpr bool Contains(TMsgDlgBtn b) const { return (bits_ >> b) & 1u; }
    constexpr unsigned Bits() const { return bits_; }
    constexpr bool operator==(const TMsgDlgButtons&) const = default;
    friend constexpr TMsgDlgButtons operator|(TMsgDlgButtons a, TMsgDlgButtons b) {
        TMsgDlgButtons r;
        r.bits_ = a.bits_ | b.bits_;
        return r;
    }

private:
    unsigned bits_ = 0;
};
constexpr TMsgDlgButtons operator|(TMsgDlgBtn a, TMsgDlgBtn b) { return TMsgDlgButtons(a) | TMsgDlgButtons(b); }

constexpr TMsgDlgButtons mbYesNoCancel{mbYes, mbNo, mbCancel};
constexpr TMsgDlgButtons mbYesAllNoAllCancel{mbYes, mbYesToAll, mbNo, mbNoToAll, mbCancel};
constexpr TMsgDlgButtons mbOKCancel{mbOK, mbCancel};
constexpr TMsgDlgButtons mbAbortRetryIgnore{mbAbort, mbRetry, mbIgnore};
constexpr TMsgDlgButtons mbAbortIgnore{mbAbort, mbIgnore};

// Modal results.
constexpr int mrNone = 0;
constexpr int mrOk = 1;
constexpr int mrCancel = 2;
constexpr int mrAbort = 3;
constexpr int mrRetry = 4;
constexpr int mrIgnore = 5;
constexpr int mrYes = 6;
constexpr int mrNo = 7;
constexpr int mrAll = 8;
constexpr int mrNoToAll = 9;
constexpr int mrYesToAll = 10;

class IDialogService {
public:
    virtual ~IDialogService() = default;
    // An ID* result, or 0.
    virtual int MessageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;
    // An mr* result, or mrNone.
    virtual int MessageDlg(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons) = 0;
    // False when cancelled; value holds the text shown first and receives the answer.
    virtual bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value,
                            bool password) = 0;
    virtual void ShowMessage(const std::string& msg) = 0;
};

// The service in use; never null.
IDialogService& Dialogs();
// Installs a service (not owned); nullptr restores the stderr service.
void SetDialogService(IDialogService* service);

// Writes every box to stderr in UTF-8 and answers as closing it would: MessageBox IDOK for OK alone,
// IDCANCEL when it has Cancel, 0 otherwise; MessageDlg mrCancel, mrNo or mrOk by the buttons it has
// (Cancel first); InputQuery false.
class StderrDialogs : public IDialogService {
public:
    int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
    int MessageDlg(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons) override;
    bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value,
                    bool password) override;
    void ShowMessage(const std::string& msg) override;
};

// Answers boxes from a queue, in order, and logs every box. MessageBox, MessageDlg and InputQuery
// each take the next answer; ShowMessage takes none. With the queue empty a box is "closed another
// way": 0, mrNone, or false for InputQuery (value unchanged).
class ScriptedDialogs : public IDialogService {
public:
    struct TShownBox {
        std::string Kind;  // "MessageBox", "MessageDlg", "InputQuery" or "ShowMessage"
        std::string Caption;
        std::string Text;  // the message, or the prompt of InputQuery
        unsigned Flags = 0;  // MessageBox flags
        TMsgDlgType Type = mtCustom;  // MessageDlg type
        TMsgDlgButtons Buttons;  // MessageDlg buttons
        bool Password = false;  // InputQuery
        int Result = 0;  // what the box answered (1/0 for InputQuery)
    };

    // The next MessageBox/MessageDlg answer (an ID* or mr* value).
    void PushResult(int result);
    // The next InputQuery answer: accepted with this text, or cancelled.
    void PushInput(bool accepted, std::string text = {});
    std::size_t PendingAnswers() const;

    std::vector<TShownBox> Log() const;
    void ClearLog();

    int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
    int MessageDlg(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons) override;
    bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value,
                    bool password) override;
    void ShowMessage(const std::string& msg) override;

private:
    struct TAnswer {
        int Result = 0;
        bool Accepted = false;
        std::string Text;
    };
    bool TakeAnswer(TAnswer& answer);
    void Record(TShownBox box);

    mutable std::mutex mutex_;
    std::deque<TAnswer> answers_;
    std::vector<TShownBox> log_;
};

// Shortcuts to the current service.
int MessageDlg(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons);
void ShowMessage(const std::string& msg);
bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value);

}  // namespace rtl
