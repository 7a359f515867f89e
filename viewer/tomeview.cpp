// The viewer program: the application, its title, the six windows in their order, the message loop.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>

#include "platform/forms/application.h"
#include "platform/gtk/gtk_backend.h"
#include "platform/media/system_media.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/dialogs.h"
#include "platform/web/webkit_browser.h"
#include "viewer/forms.h"
#include "viewer/main.h"
#include "viewer/prepare.h"

namespace {

// With TOME_STARTUP_TRACE set, the first document's completion is reported on stderr (the monotonic
// clock, in milliseconds) for the start-up benchmark.
void TraceFirstDocument() {
    if (!std::getenv("TOME_STARTUP_TRACE")) return;
    forms::TWebBrowser* page = viewer::Form1->datacenter;
    page->OnDocumentComplete = [page, handler = page->OnDocumentComplete, reported = false](
                                   forms::TObject* sender, const std::string& url) mutable {
        if (!reported) {
            reported = true;
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            std::fprintf(stderr, "tomeview: document complete %.1f ms\n",
                         double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6);
        }
        if (handler) handler(sender, url);
    };
}

}  // namespace

int main() {
    // A write past the file-size limit (an update pack, a composed page) fails as a write error
    // and is reported, instead of killing the reader's window.
    std::signal(SIGXFSZ, SIG_IGN);
    if (!gtkui::InstallGtkBackend()) {
        std::fputs("tomeview: no display\n", stderr);
        return 1;
    }
    web::UseWebKitBrowsers();
    media::UseSystemMedia();
    forms::TApplication& application = forms::Application();
    application.Title = rtl::Ru("Зарвелин");
    try {
        application.CreateForm(viewer::Form1);
        application.CreateForm(viewer::Form2);
        application.CreateForm(viewer::Form3);
        application.CreateForm(viewer::Form5);
        application.CreateForm(viewer::sett);
        application.CreateForm(viewer::Form4);
        TraceFirstDocument();
    } catch (const std::exception& error) {
        // Without its window descriptions the viewer cannot start (resources folder missing).
        application.ShowException(error);
        return 1;
    }
    return application.Run();
}
