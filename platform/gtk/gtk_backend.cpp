#include "platform/gtk/gtk_backend.h"

#include <gtk/gtk.h>

#include "platform/forms/application.h"
#include "platform/gtk/checkbox_peer.h"
#include "platform/gtk/combobox_peer.h"
#include "platform/gtk/cursors.h"
#include "platform/gtk/dialogs.h"
#include "platform/gtk/native_peers.h"
#include "platform/gtk/popup_menu.h"
#include "platform/gtk/window_peer.h"

namespace gtkui {
namespace {

GdkMonitor* PrimaryMonitor() {
    GdkDisplay* display = gdk_display_get_default();
    if (!display) return nullptr;
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    return monitor ? monitor : gdk_display_get_monitor(display, 0);
}

gboolean RunPosted(gpointer data) {
    auto* task = static_cast<std::function<void()>*>(data);
    forms::SafeCall(nullptr, *task);
    return G_SOURCE_REMOVE;
}

void FreePosted(gpointer data) { delete static_cast<std::function<void()>*>(data); }

}  // namespace

struct GtkBackend::Timer {
    GtkBackend* backend;
    int id;
    guint source;
    std::function<void()> callback;
};

GtkBackend::~GtkBackend() {
    for (auto& [id, timer] : timers_) g_source_remove(timer->source);
}

std::unique_ptr<forms::IWindowPeer> GtkBackend::CreateWindowPeer(forms::TForm& form) {
    return std::make_unique<GtkWindowPeer>(form);
}

std::unique_ptr<forms::IEditPeer> GtkBackend::CreateEditPeer(forms::TEdit& edit, forms::IWindowPeer& window) {
    return NewEditPeer(edit, window);
}

std::unique_ptr<forms::IPanelPeer> GtkBackend::CreatePanelPeer(forms::TPanel& panel, forms::IWindowPeer& window) {
    return NewPanelPeer(panel, window);
}

std::unique_ptr<forms::IControlPeer> GtkBackend::CreateNativePeer(const std::string& kind, forms::TWinControl& control,
                                                                  forms::IWindowPeer& window) {
    if (kind == forms::kCheckBoxPeerKind) return NewCheckBoxPeer(control, window);
    if (kind == forms::kComboBoxPeerKind) return NewComboBoxPeer(control, window);
    return nullptr;
}

forms::TRect GtkBackend::WorkArea() {
    GdkMonitor* monitor = PrimaryMonitor();
    if (!monitor) return forms::Rect(0, 0, 1024, 768);
    GdkRectangle area;
    gdk_monitor_get_workarea(monitor, &area);
    return forms::Bounds(area.x, area.y, area.width, area.height);
}

forms::TPoint GtkBackend::ScreenSize() {
    GdkMonitor* monitor = PrimaryMonitor();
    if (!monitor) return {1024, 768};
    GdkRectangle area;
    gdk_monitor_get_geometry(monitor, &area);
    return {area.width, area.height};
}

int GtkBackend::OnTimer(void* data) {
    auto* timer = static_cast<Timer*>(data);
    // Hold the timer while it runs: its callback may remove it.
    auto keep = timer->backend->timers_.at(timer->id);
    forms::SafeCall(nullptr, keep->callback);
    return G_SOURCE_CONTINUE;
}

int GtkBackend::AddTimer(unsigned intervalMs, std::function<void()> callback) {
    auto timer = std::make_shared<Timer>();
    timer->backend = this;
    timer->id = ++lastTimerId_;
    timer->callback = std::move(callback);
    timer->source = g_timeout_add(intervalMs, reinterpret_cast<GSourceFunc>(&GtkBackend::OnTimer), timer.get());
    timers_[timer->id] = timer;
    return timer->id;
}

void GtkBackend::RemoveTimer(int id) {
    auto found = timers_.find(id);
    if (found == timers_.end()) return;
    g_source_remove(found->second->source);
    timers_.erase(found);
}

void GtkBackend::Post(std::function<void()> task) {
    g_idle_add_full(G_PRIORITY_DEFAULT, RunPosted, new std::function<void()>(std::move(task)), FreePosted);
}

bool GtkBackend::HandleMessage() {
    g_main_context_iteration(nullptr, TRUE);
    return true;
}

void GtkBackend::ProcessMessages() {
    for (int i = 0; i < kMaxEventsPerProcessMessages && g_main_context_iteration(nullptr, FALSE); ++i) {
    }
}

void GtkBackend::WakeUp() { g_main_context_wakeup(nullptr); }

forms::TCursorHandle GtkBackend::LoadCursorFromFile(const std::string& path) { return LoadCursorFile(path); }

void GtkBackend::Beep() {
    if (GdkDisplay* display = gdk_display_get_default()) gdk_display_beep(display);
}

void GtkBackend::PopupMenu(forms::IWindowPeer& window, forms::TPoint clientPos,
                           const std::vector<forms::TMenuEntry>& entries, std::function<void(int)> chosen) {
    ShowPopupMenu(static_cast<GtkWidget*>(window.NativeHandle()), clientPos, entries, std::move(chosen));
}

GtkBackend& TheGtkBackend() {
    static GtkBackend backend;
    return backend;
}

bool InstallGtkBackend() {
    if (!gtk_init_check(nullptr, nullptr)) return false;
    forms::SetBackend(&TheGtkBackend());
    static GtkDialogService dialogs([] { return forms::Application().Title; });
    rtl::SetDialogService(&dialogs);
    return true;
}

}  // namespace gtkui
