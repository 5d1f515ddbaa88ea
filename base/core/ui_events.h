// The one route from the worker threads (engine, controller) to the window
// thread. Workers only report what happened; the Windows side posts a message
// to the hidden main window, whose thread updates the main dialog and the
// float window. No worker touches a window of another thread.
#pragma once

#include <cstdint>
#include <string>

namespace mrwd {

// What the float window shows.
enum class FloatState {
    Off = 0,             // supervision off
    On = 1,              // supervision on (animated)
    HardwareReboot = 2,  // the previous run ended in a hardware reset
};

class UiEvents {
public:
    virtual ~UiEvents() = default;

    // The program list or a setting the main dialog shows changed. Repeated
    // calls before the window thread gets to them bring one refresh.
    virtual void RefreshMainDialog() = 0;
    // A status line of the controller or of the modem changed.
    virtual void ControllerStatusChanged() = 0;
    virtual void ModemStatusChanged() = 0;
    virtual void FloatWindowStateChanged(FloatState state) = 0;
    // The switch of supervision moved on a worker thread (the reboot
    // sequence pauses it, the service's stop ends it): the tray icon, the
    // float window and the main dialog show the state.
    virtual void SupervisionSwitched() = 0;
    // A program could not be started: the user is told in a box of its own.
    virtual void ProgramStartFailed(const std::string& path) = 0;
    // The reboot sequence is done: the server ends in order.
    virtual void EndServer() = 0;
};

}  // namespace mrwd
