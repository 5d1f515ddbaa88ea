#include "window_ui_events.h"

#include "ui/win/main_dialog.h"

namespace mrwd {

void WindowUiEvents::AttachWindow(HWND window) {
    std::lock_guard<std::mutex> lock(lock_);
    window_ = window;
    posted_ = false;
    const bool waiting = reports_.refreshMainDialog || reports_.controllerStatus || reports_.modemStatus ||
                         reports_.floatState.has_value() || reports_.supervisionSwitched ||
                         !reports_.startFailures.empty();
    if (waiting) Signal();
}

WindowUiEvents::Reports WindowUiEvents::Take() {
    std::lock_guard<std::mutex> lock(lock_);
    posted_ = false;
    Reports taken = std::move(reports_);
    reports_ = Reports();
    return taken;
}

void WindowUiEvents::Signal() {
    if (posted_ || window_ == nullptr) return;
    posted_ = ::PostMessageA(window_, kUiEventsMessage, 0, 0) != FALSE;
}

void WindowUiEvents::RefreshMainDialog() {
    std::lock_guard<std::mutex> lock(lock_);
    reports_.refreshMainDialog = true;
    Signal();
}

void WindowUiEvents::ControllerStatusChanged() {
    std::lock_guard<std::mutex> lock(lock_);
    reports_.controllerStatus = true;
    Signal();
}

void WindowUiEvents::ModemStatusChanged() {
    std::lock_guard<std::mutex> lock(lock_);
    reports_.modemStatus = true;
    Signal();
}

void WindowUiEvents::FloatWindowStateChanged(FloatState state) {
    std::lock_guard<std::mutex> lock(lock_);
    reports_.floatState = state;
    Signal();
}

void WindowUiEvents::SupervisionSwitched() {
    std::lock_guard<std::mutex> lock(lock_);
    reports_.supervisionSwitched = true;
    Signal();
}

void WindowUiEvents::ProgramStartFailed(const std::string& path) {
    std::lock_guard<std::mutex> lock(lock_);
    reports_.startFailures.push_back(path);
    Signal();
}

void WindowUiEvents::EndServer() {
    std::lock_guard<std::mutex> lock(lock_);
    if (window_ != nullptr) ::PostMessageA(window_, WM_CLOSE, 0, 0);
}

}  // namespace mrwd
