// A route to the window thread for tests that have no main window: every
// report is counted and otherwise dropped.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "base/core/ui_events.h"

namespace mrwd::testing {

class QuietUiEvents final : public UiEvents {
public:
    void RefreshMainDialog() override { ++refreshes; }
    void ControllerStatusChanged() override {}
    void ModemStatusChanged() override {}
    void FloatWindowStateChanged(FloatState) override {}
    void ProgramStartFailed(const std::string& path) override {
        std::lock_guard<std::mutex> lock(lock_);
        startFailures.push_back(path);
    }
    void EndServer() override { ++endRequests; }
    std::int32_t AppendProgramIcon(const std::string&) override { return 0; }

    std::atomic<int> refreshes{0};
    std::atomic<int> endRequests{0};
    std::vector<std::string> startFailures;

private:
    std::mutex lock_;
};

}  // namespace mrwd::testing
