// The controller thread's one-slot mailbox. Any thread may post; the
// controller takes the code when its event fires. A reboot order must never
// be lost: codes 3 and 4 are not replaced by a pending or later 1 or 2.
#pragma once

#include <mutex>

#include "base/core/controller_commands.h"

namespace mrwd {

class CommandMailbox {
public:
    // Stores the code; true when it now waits in the mailbox.
    bool Post(int code);
    // The waiting code, or kNoCommand; the mailbox is empty afterwards.
    int Take();

private:
    static bool IsRebootOrder(int code) { return code == kResetThroughCard || code == kLastHeartbeat; }

    std::mutex lock_;
    int pending_ = kNoCommand;
};

}  // namespace mrwd
