// Centres a dialog over its owner, or over the work area, keeping it on screen.
#pragma once

#include <windows.h>

namespace mrwd {

// A child window is centred in its parent's client area. A top-level window is
// centred over `reference` (when null, its owner) if that is visible and not
// minimised, else over the work area; either way it is kept inside the work
// area. The window is moved without activation or resizing.
void CenterWindow(HWND window, HWND reference);

}  // namespace mrwd
