// ErrorMsg: the controller failure window, a system-modal list of the
// moments at which the card stopped answering. It runs its dialog on a thread
// of its own, so it shows even while nobody looks at the main dialog and
// never holds up the controller thread; only its button closes it.
#pragma once

#include <windows.h>

#include "app/win/thread.h"

namespace mrwd {

class ErrorMsg final : public CThread {
public:
    // Opens the window and waits (up to 5 s) until it exists.
    ErrorMsg();
    // Closes a window still open, and returns once its thread has ended.
    ~ErrorMsg() override;

    // Adds a line "HH:MM:SS   MM/DD/YY" with the current local time.
    void AddFailureLine();

    // True while a failure window is open (process-wide: one at a time).
    static bool WindowOpen();
    // The open window (for tests and for the owner); null when none.
    static HWND Window();

    void Run() override;
};

}  // namespace mrwd
