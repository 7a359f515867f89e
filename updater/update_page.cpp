#include "updater/update_page.h"

#include "platform/forms/formdesc.h"

namespace viewer {

void RegisterUpdatePageClass() {
    forms::RegisterComponentClass("TUpdatePage", [](forms::TComponent* owner) { return new TUpdatePage(owner); });
}

}  // namespace viewer
