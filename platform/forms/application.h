// TApplication: the message loop, termination, the default error report; TScreen: cursors and
// the desktop.
#pragma once

#include <exception>
#include <map>
#include <string>
#include <vector>

#include "platform/forms/backend.h"
#include "platform/forms/component.h"

namespace forms {

class TForm;

class TApplication : public TComponent {
public:
    TApplication();
    ~TApplication() override;
    const char* ClassName() const override { return "TApplication"; }

    std::string Title;  // cp1251
    TForm* MainForm() const { return FMainForm; }
    void SetMainForm(TForm* form) { FMainForm = form; }

    // Creates a form owned by the application; the first one becomes the main form.
    template <class T>
    void CreateForm(T*& reference) {
        T* form = new T(this);
        reference = form;
        if (!FMainForm) FMainForm = form;
    }

    // Shows the main form and dispatches messages until Terminate; returns ExitCode.
    int Run();
    // Takes effect once the running handler returns: the loop ends.
    void Terminate();
    bool Terminated() const { return FTerminated; }
    void ProcessMessages();  // re-entrant
    void HandleMessage();
    // Dispatches messages as they come for ms milliseconds (a pause that keeps the windows alive);
    // returns early when the application is told to end.
    void ProcessMessagesFor(unsigned ms);
    void Minimize();
    void Restore();
    // Destroys the application and its forms (OnDestroy runs), then ends the process with the code.
    [[noreturn]] void Halt(int exitCode);
    int ExitCode = 0;

    TNotifyEvent OnActivate;    // the application as a whole gained the focus
    TNotifyEvent OnDeactivate;  // ... lost it (not fired for switches between its own windows)
    std::function<void(TObject* Sender, const std::exception& error)> OnException;

    // The default error report: OnException when assigned, else a message box with the
    // exception's message (a full stop added) and the title, and the loop goes on.
    void HandleException(TObject* sender, const std::exception& error);
    void ShowException(const std::exception& error);
    // Runs fn; an exception leaving it goes to HandleException.
    void Guard(TObject* sender, const std::function<void()>& fn);

    // Backend → application: the application as a whole became active or inactive (the backend
    // decides once the focus has settled, so a switch between its own windows is no change).
    // Fires OnActivate/OnDeactivate only when the state changes.
    void DispatchActive(bool active);
    bool Active() const { return FActive; }

    // Forms register here so the library can reach every window.
    void AddForm(TForm* form);
    void RemoveForm(TForm* form);
    const std::vector<TForm*>& Forms() const { return FForms; }

private:
    TForm* FMainForm = nullptr;
    std::vector<TForm*> FForms;
    bool FTerminated = false;
    bool FActive = false;
    int FRunDepth = 0;
};

// The one application object; created on first use.
TApplication& Application();
// Destroys the application and its forms (tests use it to start afresh).
void ResetApplication();

// Guards a backend callback: an exception goes to Application().HandleException.
void SafeCall(TObject* sender, const std::function<void()>& fn);

}  // namespace forms
