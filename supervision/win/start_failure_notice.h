// The message box that tells the user a program could not be started. It
// runs on a thread of its own, so that a box nobody closes (an unattended
// computer, a service) never holds up the supervision of the other programs;
// there is at most one open box per program.
#pragma once

#include <windows.h>

#include <string>

namespace mrwd {

// `path` in the system's ANSI code page. The box has no owner: a window of
// its thread may not own or disable one of the window thread, such as the
// open main dialog.
void ShowStartFailure(const std::string& path);

// True while a box about `path` is open (for tests and the log).
bool StartFailureShown(const std::string& path);

}  // namespace mrwd
