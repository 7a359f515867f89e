// Body for the record loader while the bindings unit is not built: the record stays as it is.
#include "viewer/intconfig_calls.h"

namespace viewer {

void LoadIntConfig() {}

}  // namespace viewer
