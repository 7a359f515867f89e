#include "tests/gui/gui_env.h"

#include <gtk/gtk.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/gtk/gtk_backend.h"
#include "platform/web/webkit_browser.h"

namespace guitest {
namespace {

// WebKit under a virtual X server without a GPU: no accelerated compositing and no DMA-BUF
// renderer, or pages may stay blank. Set before GTK or WebKit start; an explicit value wins.
void PrepareEnvironment() {
    setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 0);
    setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", 0);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    setenv("NO_AT_BRIDGE", "1", 0);       // no accessibility bus in the test session
    setenv("GTK_THEME", "Adwaita", 0);    // the same look whatever the machine's settings
}

// True once a window manager has announced itself on the root window (the EWMH check window).
bool WindowManagerAnnounced() {
    GdkAtom type = GDK_NONE;
    gint format = 0, length = 0;
    guchar* data = nullptr;
    bool found = gdk_property_get(gdk_get_default_root_window(),
                                  gdk_atom_intern_static_string("_NET_SUPPORTING_WM_CHECK"),
                                  GDK_NONE, 0, 1, FALSE, &type, &format, &length, &data) &&
                 length > 0;
    g_free(data);
    return found;
}

}  // namespace

WindowManager::WindowManager() {
    if (!StartGui()) return;
    if (WindowManagerAnnounced()) {  // the display already has one (a developer's session)
        running_ = true;
        return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        // The window manager's own messages would only clutter the test output.
        int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0) {
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        ::execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (pid_ < 0) return;
    running_ = WaitUntil([this] {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;  // exited (not installed, or another manager holds the display)
            return true;
        }
        return WindowManagerAnnounced();
    }) && pid_ > 0;
}

WindowManager::~WindowManager() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    // Let the windows it gave back to the root settle before the next test looks at them.
    PumpFor(100);
}

bool StartGui() {
    static int state = 0;  // 0 = not tried, 1 = running, 2 = no display
    if (state == 0) {
        PrepareEnvironment();
        state = gtkui::InstallGtkBackend() ? 1 : 2;
        if (state == 1) web::UseWebKitBrowsers();
    }
    return state == 1;
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        // Wake at least every 10 ms so the deadline is noticed without any event arriving. The
        // wake-up has the lowest priority: GTK's frame clock, which lets held pointer motion
        // through, must never be starved by it.
        bool fired = false;
        guint wake = g_timeout_add_full(G_PRIORITY_LOW, 10, [](gpointer flag) {
            *static_cast<bool*>(flag) = true;
            return G_SOURCE_REMOVE;
        }, &fired, nullptr);
        g_main_context_iteration(nullptr, TRUE);
        if (!fired) g_source_remove(wake);
    }
    return true;
}

void PumpFor(int ms) {
    WaitUntil([] { return false; }, ms);
}

std::string MakeScratchFolder(const std::string& tag) {
    namespace fs = std::filesystem;
    fs::path base = fs::temp_directory_path() / ("tome-gui-" + tag + "-" + std::to_string(::getpid()));
    fs::remove_all(base);
    fs::create_directories(base);
    return base.string() + "/";
}

void RemoveScratchFolder(const std::string& folder) { std::filesystem::remove_all(folder); }

void WriteFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

}  // namespace guitest
