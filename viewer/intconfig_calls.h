// The configuration record loader the skin loader calls. It belongs to the bindings unit; until that
// unit is part of the build, prepare_intconfig_fallback.cpp gives it a body that reads nothing.
#pragma once

#if __has_include("viewer/bindings.h")
#include "viewer/bindings.h"
#else
namespace viewer {
void LoadIntConfig();
}  // namespace viewer
#endif
