#include "main_dialog.h"

namespace mrwd {

// The main dialog is not part of this build yet: it is never open, so there
// is nothing to refresh.
void RefreshMainDialog() {}

HWND MainDialogWindow() { return nullptr; }

int AppendProgramIcon(const char*) { return 0; }

}  // namespace mrwd
