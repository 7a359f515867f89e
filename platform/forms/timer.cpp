#include "platform/forms/timer.h"

#include "platform/forms/application.h"
#include "platform/forms/backend.h"
#include "platform/forms/formdesc.h"
#include "platform/rtl/sysutils.h"

namespace forms {

TTimer::TTimer(TComponent* owner) : TComponent(owner) {}

TTimer::~TTimer() { Stop(); }

void TTimer::SetEnabled(bool value) {
    if (value == FEnabled) return;
    FEnabled = value;
    Restart();
}

void TTimer::SetInterval(unsigned value) {
    if (value == FInterval) return;
    FInterval = value;
    Restart();
}

void TTimer::Stop() {
    if (FTimerId && HasBackend()) Backend().RemoveTimer(FTimerId);
    FTimerId = 0;
}

void TTimer::Restart() {
    Stop();
    if (!FEnabled || FInterval == 0 || !HasBackend()) return;
    FTimerId = Backend().AddTimer(FInterval, [this] { Tick(); });
}

void TTimer::Tick() {
    if (OnTimer) SafeCall(this, [this] { Fire(OnTimer, this); });
}

bool TTimer::SetProperty(const std::string& name, const TPropValue& value, TFormLoader& loader) {
    if (rtl::SameText(name, "Enabled")) SetEnabled(value.AsBoolean());
    else if (rtl::SameText(name, "Interval")) {
        int64_t v = value.AsInteger();
        if (v < 0 || v > 0x7FFFFFFF) loader.Fail(value.line, "Interval out of range");
        SetInterval(unsigned(v));
    } else {
        return TComponent::SetProperty(name, value, loader);
    }
    return true;
}

bool TTimer::SetEvent(const std::string& name, const std::any& handler) {
    if (!rtl::SameText(name, "OnTimer")) return TComponent::SetEvent(name, handler);
    AssignEvent(OnTimer, handler, name);
    return true;
}

}  // namespace forms
