// ErrorMsg: the controller failure window, a system-modal list of the
// moments at which the card stopped answering. It runs its dialog on a thread
// of its own, so it shows even while nobody looks at the main dialog and
// never holds up the controller thread; only its button closes it.
#pragma once

#include <windows.h>

#include <atomic>

#include "base/win/handles.h"
#include "base/win/thread.h"

namespace mrwd {

class ErrorMsg final : public CThread {
public:
    // Opens the window and waits (up to `waitMs`) until it exists.
    explicit ErrorMsg(DWORD waitMs = 5000);
    // Closes the window it started, even one that comes up only now, and
    // returns once its thread has ended.
    ~ErrorMsg() override;

    // Adds a line "HH:MM:SS   MM/DD/YY" with the current local time.
    void AddFailureLine();

    // True while the window is open (its button not pressed yet).
    bool IsOpen() const { return open_; }
    // The open window; null when none.
    HWND Window() const { return window_; }

    void Run() override;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    UniqueHandle ready_;
    std::atomic<HWND> window_{nullptr};
    std::atomic<bool> open_{false};
    // Set by the destructor: a window that comes up later closes at once.
    std::atomic<bool> closing_{false};
};

}  // namespace mrwd
