#include "controls/registration.h"

#include "controls/bztCheckBoxT.h"
#include "controls/cm_OrvGauges.h"
#include "platform/forms/formdesc.h"

namespace controls {

void RegisterOrvGaugeClass() {
    forms::RegisterComponentClass("TOrvGauge", [](forms::TComponent* owner) { return new TOrvGauge(owner); });
}

void RegisterCheckBoxTClass() {
    forms::RegisterComponentClass("TbztCheckBoxT", [](forms::TComponent* owner) { return new TbztCheckBoxT(owner); });
}

void RegisterSkinnedControls() {
    RegisterOrvGaugeClass();
    RegisterCheckBoxTClass();
}

}  // namespace controls
