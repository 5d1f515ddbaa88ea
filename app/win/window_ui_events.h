// The Windows side of the route from worker threads to the window thread:
// each report is noted here and one message is posted to the hidden main
// window, whose thread then takes everything noted so far. Reports made
// before the window exists wait for it.
#pragma once

#include <windows.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/core/ui_events.h"

namespace mrwd {

// Posted to the main window when reports are waiting.
constexpr UINT kUiEventsMessage = WM_USER + 3;

class WindowUiEvents final : public UiEvents {
public:
    // What was reported since the last Take, with repeats collapsed.
    struct Reports {
        bool refreshMainDialog = false;
        bool controllerStatus = false;
        bool modemStatus = false;
        std::optional<FloatState> floatState;  // the latest one
        bool supervisionSwitched = false;
        std::vector<std::string> startFailures;
    };

    // The window that receives the reports; null stops the posting.
    void AttachWindow(HWND window);
    // Window thread: takes the waiting reports.
    Reports Take();

    void RefreshMainDialog() override;
    void ControllerStatusChanged() override;
    void ModemStatusChanged() override;
    void FloatWindowStateChanged(FloatState state) override;
    void SupervisionSwitched() override;
    void ProgramStartFailed(const std::string& path) override;
    void EndServer() override;

private:
    // Call with lock_ held: posts one message unless one is on its way.
    void Signal();

    std::mutex lock_;
    HWND window_ = nullptr;
    bool posted_ = false;
    Reports reports_;
};

}  // namespace mrwd
