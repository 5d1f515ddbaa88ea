// The controller thread's one-slot mailbox. Any thread may post; the
// controller takes the code when its event fires. Codes rank: a reboot order
// (3 or 4) outranks a forced modem reset (1), which outranks the controller's
// own modem check (2); a code never replaces one that outranks it, so neither
// a reboot order nor a requested modem reset is ever lost. A forced reset
// asked for while one waits or runs is merged into that one.
#pragma once

#include <mutex>

#include "base/core/controller_commands.h"

namespace mrwd {

class CommandMailbox {
public:
    // Stores the code; true when it now waits in the mailbox (the controller
    // must be woken), false when it was merged or outranked.
    bool Post(int code);
    // The waiting code, or kNoCommand; the mailbox is empty afterwards. The
    // code counts as running until Done.
    int Take();
    // The code last taken has been carried out.
    void Done();

private:
    static int Rank(int code);

    std::mutex lock_;
    int pending_ = kNoCommand;
    int running_ = kNoCommand;
};

}  // namespace mrwd
