// What the main dialog and the main window ask of the float window: show it,
// hide it, show a state. An interface, so the dialog is tested without one.
#pragma once

#include "base/core/ui_events.h"

namespace mrwd {

class FloatWindowControl {
public:
    virtual ~FloatWindowControl() = default;
    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual void SetState(FloatState state) = 0;
};

}  // namespace mrwd
