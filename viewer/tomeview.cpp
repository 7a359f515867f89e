// The viewer program: the application, its title, the six windows in their order, the message loop.
#include <cstdio>
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

int main() {
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
    } catch (const std::exception& error) {
        // Without its window descriptions the viewer cannot start (resources folder missing).
        application.ShowException(error);
        return 1;
    }
    return application.Run();
}
