// The server's icon in the taskbar's notification area.
#pragma once

#include <windows.h>
#include <shellapi.h>

namespace mrwd {

// Adds (NIM_ADD), refreshes (NIM_MODIFY) or removes (NIM_DELETE) the icon of
// the main window, showing the current supervision state in icon and tip.
bool UpdateTrayIcon(DWORD operation);

// The record the shell is given for the icon of `owner`: id, callback
// message, the icon and the tip of the supervision state.
NOTIFYICONDATAW TrayIconRecord(HWND owner, HINSTANCE instance, bool supervisionOn);

}  // namespace mrwd
