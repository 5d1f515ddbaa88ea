// The server's hidden main window: the address monitored programs, a second
// start and the tray icon talk to, and the owner of the one-second timer.
#pragma once

#include <windows.h>

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

}  // namespace mrwd
