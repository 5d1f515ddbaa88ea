// The server as the main dialog sees it: the hidden window, the switch of
// supervision, the tray icon, autostart, the float window, the controller's
// status and requests, help and the mail settings.
#pragma once

#include <windows.h>

namespace mrwd {

// Opens the main dialog owned by `owner`, or brings it to the front when it
// is open already.
void BringUpMainDialog(HWND owner);

// The tray menu's switches. With the dialog open they go through its toggle,
// so that its buttons follow.
void SwitchSupervisionOn();
void SwitchSupervisionOff();

// The switch set by the server itself (the end of the session and its veto):
// switching on forgets the supervised processes as the user's switch does;
// the tray icon, the float window and the open dialog follow.
void SetSupervisionAndShow(bool on);
// The tray icon, the float window and the open dialog show the switch as it
// stands (after a worker moved it).
void ShowSupervisionSwitch();

}  // namespace mrwd
