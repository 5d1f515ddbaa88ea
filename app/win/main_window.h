// The server's hidden main window: the address monitored programs, a second
// start and the tray icon talk to, and the owner of the one-second timer.
#pragma once

#include <windows.h>

#include "app/win/message_filter.h"
#include "base/win/handles.h"

namespace mrwd {

constexpr UINT_PTR kTrayTimerId = 1;
constexpr UINT kTrayTimerPeriodMs = 1000;

// Registers the window class "Marotel ZedevUdo Server" (once per process) and
// creates the never-shown main window; null when that fails.
HWND CreateMainWindow(HINSTANCE instance);

// The tray menu with exactly one switch enabled: the one that changes the
// current state ("switch off" while on, "switch on" while off).
UniqueMenu LoadTrayMenu(bool supervisionOn);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Lets the messages other programs send the main window ("app.alive.msg",
// "mdm.reset.msg", the second start's "show the dialog") through the
// message filter of an elevated server; `filter` is the system's, bound at
// run time (null where missing).
bool LetProgramsReachMainWindow(HWND window, MessageFilterFn filter);

}  // namespace mrwd
