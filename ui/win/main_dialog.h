// The main dialog as the rest of the server sees it.
#pragma once

#include <windows.h>

namespace mrwd {

// Brings the open main dialog up to date; does nothing while it is closed.
void RefreshMainDialog();

// The open main dialog, or null.
HWND MainDialogWindow();

// Appends a program's small icon to the open dialog's image list and returns
// its index; 0 while the dialog is closed.
int AppendProgramIcon(const char* path);

}  // namespace mrwd
