// The server as the main dialog sees it: the hidden window, the switch of
// supervision (through SupervisionSwitch), the tray icon, autostart, the
// float window, the controller's status and requests, help and the mail
// settings.
#pragma once

#include <windows.h>

namespace mrwd {

// Opens the main dialog owned by `owner`, or brings it to the front when it
// is open already.
void BringUpMainDialog(HWND owner);

}  // namespace mrwd
