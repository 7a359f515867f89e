#include "tests/gui/gui_env.h"

#include <gtk/gtk.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

}  // namespace

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
