// Stand-ins for the main dialog and the float window, which this build does
// not have yet. The main window's thread calls them where it will call the
// real windows; until then the dialog is never open and nothing is shown.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "base/core/ui_events.h"

namespace mrwd::not_built_yet {

// The main dialog: never open, so there is nothing to refresh or to own a box.
void RefreshMainDialog();
void ShowControllerStatus();
void ShowModemStatus();
HWND MainDialogWindow();
std::int32_t AppendProgramIcon(const std::string& path);

// The float window: nobody shows its state yet.
void SetFloatWindowState(FloatState state);

}  // namespace mrwd::not_built_yet
