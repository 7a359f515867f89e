#include "platform/forms/application.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/forms/form.h"
#include "platform/rtl/dialogs.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/process.h"

namespace forms {

namespace {
TApplication* theApplication = nullptr;
}

TApplication& Application() {
    if (!theApplication) theApplication = new TApplication();
    return *theApplication;
}

void ResetApplication() {
    delete theApplication;  // stays reachable while its forms go away
    theApplication = nullptr;
}

void SafeCall(TObject* sender, const std::function<void()>& fn) { Application().Guard(sender, fn); }

// The starter's window state is taken out of the environment before any form exists, so that no
// program this one starts inherits it.
TApplication::TApplication() : TComponent(nullptr) { rtl::StartupShowCommand(); }

TApplication::~TApplication() {
    DestroyComponents();
    // Forms owned elsewhere outlive the application object only in tests; forget them.
    FForms.clear();
}

void TApplication::AddForm(TForm* form) { FForms.push_back(form); }

void TApplication::RemoveForm(TForm* form) {
    FForms.erase(std::remove(FForms.begin(), FForms.end(), form), FForms.end());
    if (FMainForm == form) FMainForm = nullptr;
}

int TApplication::Run() {
    ++FRunDepth;
    if (FMainForm && !FTerminated) Guard(this, [this] { FMainForm->Show(); });
    while (!FTerminated) {
        bool more = true;
        Guard(this, [&] { more = Backend().HandleMessage(); });
        if (!more) break;
    }
    --FRunDepth;
    return ExitCode;
}

void TApplication::Terminate() {
    FTerminated = true;
    if (HasBackend()) Backend().WakeUp();
}

void TApplication::ProcessMessages() {
    if (HasBackend()) Backend().ProcessMessages();
}

void TApplication::HandleMessage() {
    if (HasBackend()) Guard(this, [] { Backend().HandleMessage(); });
}

void TApplication::Minimize() {
    for (TForm* form : FForms)
        if (form->Visible()) form->Minimize();
}

void TApplication::Restore() {
    for (TForm* form : FForms)
        if (form->Visible() && form->WindowPeer()) form->WindowPeer()->Restore();
}

void TApplication::Halt(int exitCode) {
    // As the class library's program end does, the forms are destroyed (OnDestroy runs) first.
    static bool halting = false;
    if (!halting) {
        halting = true;
        try {
            ResetApplication();  // frees this object too: nothing of it is touched afterwards
        } catch (...) {
        }
    }
    std::fflush(nullptr);
    std::exit(exitCode);
}

void TApplication::Guard(TObject* sender, const std::function<void()>& fn) {
    try {
        fn();
    } catch (const std::exception& e) {
        HandleException(sender, e);
    } catch (...) {
        HandleException(sender, rtl::Exception("Unknown exception"));
    }
}

void TApplication::HandleException(TObject* sender, const std::exception& error) {
    try {
        if (OnException) Fire(OnException, sender, error);
        else ShowException(error);
    } catch (...) {
        // A failing report must not take the message loop down.
    }
}

void TApplication::ShowException(const std::exception& error) {
    std::string message = error.what();
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') message += '.';
    rtl::Dialogs().MessageBox(message, Title, rtl::MB_OK | rtl::MB_ICONERROR);
}

void TApplication::DispatchActive(bool active) {
    if (active == FActive) return;
    FActive = active;
    Guard(this, [&] {
        if (active) Fire(OnActivate, this);
        if (!active) Fire(OnDeactivate, this);
    });
}

}  // namespace forms
