// The server's icon in the taskbar's notification area.
#pragma once

#include <windows.h>

namespace mrwd {

// Adds (NIM_ADD), refreshes (NIM_MODIFY) or removes (NIM_DELETE) the icon of
// the main window, showing the current supervision state in icon and tip.
bool UpdateTrayIcon(DWORD operation);

}  // namespace mrwd
