// Makes the skinned controls creatable from form descriptions ("TOrvGauge", "TbztCheckBoxT").
// A program calls it once before it creates forms that hold them.
#pragma once

namespace controls {

void RegisterOrvGaugeClass();
void RegisterCheckBoxTClass();
void RegisterSkinnedControls();

}  // namespace controls
