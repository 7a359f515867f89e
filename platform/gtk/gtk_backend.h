// The GTK 3 backend: windows, native peers, timers and the message loop over GLib's main context.
// InstallGtkBackend() initialises GTK, makes this the backend of every form and installs the GTK
// dialogs as the dialog service.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/forms/backend.h"

namespace gtkui {

class GtkBackend : public forms::IBackend {
public:
    ~GtkBackend() override;

    std::unique_ptr<forms::IWindowPeer> CreateWindowPeer(forms::TForm& form) override;
    std::unique_ptr<forms::IEditPeer> CreateEditPeer(forms::TEdit& edit, forms::IWindowPeer& window) override;
    std::unique_ptr<forms::IPanelPeer> CreatePanelPeer(forms::TPanel& panel, forms::IWindowPeer& window) override;
    // Native controls by kind: forms::kCheckBoxPeerKind.
    std::unique_ptr<forms::IControlPeer> CreateNativePeer(const std::string& kind, forms::TWinControl& control,
                                                          forms::IWindowPeer& window) override;

    forms::TRect WorkArea() override;
    forms::TPoint ScreenSize() override;

    int AddTimer(unsigned intervalMs, std::function<void()> callback) override;
    void RemoveTimer(int id) override;
    void Post(std::function<void()> task) override;

    bool HandleMessage() override;
    void ProcessMessages() override;
    void WakeUp() override;

    forms::TCursorHandle LoadCursorFromFile(const std::string& path) override;
    void Beep() override;
    void PopupMenu(forms::IWindowPeer& window, forms::TPoint clientPos, const std::vector<forms::TMenuEntry>& entries,
                   std::function<void(int)> chosen) override;

    // Most events one ProcessMessages call dispatches, so a source that is always ready (a busy
    // page, a zero-interval timer) cannot keep it from returning.
    static constexpr int kMaxEventsPerProcessMessages = 10000;

private:
    struct Timer;
    static int OnTimer(void* data);
    std::map<int, std::shared_ptr<Timer>> timers_;
    int lastTimerId_ = 0;
};

// False when no display can be opened.
bool InstallGtkBackend();
GtkBackend& TheGtkBackend();

}  // namespace gtkui
