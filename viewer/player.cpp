#include "viewer/player.h"

#include "platform/forms/formdesc.h"
#include "platform/forms/panel.h"
#include "platform/rtl/sysutils.h"

namespace viewer {

bool TMediaPlayer::SetProperty(const std::string& name, const forms::TPropValue& value, forms::TFormLoader& loader) {
    if (rtl::SameText(name, "AutoRewind")) {
        AutoRewind = value.AsBoolean();
    } else if (rtl::SameText(name, "Visible")) {
        Visible = value.AsBoolean();
    } else if (rtl::SameText(name, "Display")) {
        Display = dynamic_cast<forms::TPanel*>(loader.FindComponent(value.AsIdentifier()));
        if (!Display) loader.Fail(value.line, "Display names no panel: " + value.AsIdentifier());
    } else {
        return forms::TComponent::SetProperty(name, value, loader);
    }
    return true;
}

bool TMediaPlayer::SetEvent(const std::string& name, const std::any& handler) {
    if (!rtl::SameText(name, "OnNotify")) return forms::TComponent::SetEvent(name, handler);
    forms::AssignEvent(OnNotify, handler, name);
    return true;
}

void TMediaPlayer::RegisterClass() {
    forms::RegisterComponentClass("TMediaPlayer", [](forms::TComponent* owner) { return new TMediaPlayer(owner); });
}

}  // namespace viewer
