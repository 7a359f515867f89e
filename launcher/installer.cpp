// The autorun menu program. The single-instance check comes first, so a second start ends at once,
// even where no display can be opened.
#include <cstdio>
#include <memory>

#include "launcher/Unit1.h"
#include "platform/gtk/gtk_backend.h"
#include "platform/media/gst_sound.h"
#include "platform/rtl/locks.h"

int main() {
    if (rtl::TNamedMutex::OpenExisting(launcher::ProductKey)) return 0;
    if (!gtkui::InstallGtkBackend()) {
        std::fputs("installer: no display\n", stderr);
        return 1;
    }
    // Only wave sounds: the menu has no player and leaves the system volume alone.
    media::SetSoundOutput(std::make_shared<media::GstSoundOutput>());
    return launcher::RunInstaller();
}
