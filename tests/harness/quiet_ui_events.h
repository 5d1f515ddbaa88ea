// A route to the window thread for tests that have no main window: every
// report is dropped.
#pragma once

#include <string>

#include "base/core/ui_events.h"

namespace mrwd::testing {

class QuietUiEvents final : public UiEvents {
public:
    void RefreshMainDialog() override {}
    void ControllerStatusChanged() override {}
    void ModemStatusChanged() override {}
    void FloatWindowStateChanged(FloatState) override {}
    void SupervisionSwitched() override {}
    void ProgramStartFailed(const std::string&) override {}
    void EndServer() override {}
};

}  // namespace mrwd::testing
