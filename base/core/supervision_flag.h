// The run-time switch of supervision as the worker threads are handed it.
// Every thread reads it at each step. Its one owner is the server's
// supervision switch; a worker that must move it (the reboot sequence pauses
// supervision, the service's stop ends it) asks the owner through this, and
// the owner has the windows show the move on their own thread.
#pragma once

#include <atomic>

namespace mrwd {

class SupervisionFlag {
public:
    // The switch as it stands.
    virtual const std::atomic<bool>& Value() const = 0;
    // From any thread: moves the switch at once; the tray, the float window
    // and the main dialog show it when their thread comes to the report.
    virtual void SetFromAnyThread(bool on) = 0;

protected:
    ~SupervisionFlag() = default;
};

}  // namespace mrwd
