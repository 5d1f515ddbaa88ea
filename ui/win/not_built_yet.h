// Stand-ins for the main dialog, which this build does not have yet. The main
// window's thread calls them where it will call the real dialog; until then
// the dialog is never open.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace mrwd::not_built_yet {

// The main dialog: never open, so there is nothing to refresh or to own a box.
void RefreshMainDialog();
void ShowControllerStatus();
void ShowModemStatus();
HWND MainDialogWindow();
std::int32_t AppendProgramIcon(const std::string& path);

}  // namespace mrwd::not_built_yet
