// The stand-in for the float window, which this build does not have yet. The
// main window's thread calls it where it will call the real window; until
// then nobody shows the state.
#pragma once

#include "base/core/ui_events.h"

namespace mrwd::not_built_yet {

void SetFloatWindowState(FloatState state);

}  // namespace mrwd::not_built_yet
