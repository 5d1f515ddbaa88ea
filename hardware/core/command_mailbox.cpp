#include "command_mailbox.h"

namespace mrwd {

bool CommandMailbox::Post(int code) {
    std::lock_guard<std::mutex> guard(lock_);
    if (IsRebootOrder(pending_) && !IsRebootOrder(code)) return false;
    pending_ = code;
    return true;
}

int CommandMailbox::Take() {
    std::lock_guard<std::mutex> guard(lock_);
    const int code = pending_;
    pending_ = kNoCommand;
    return code;
}

}  // namespace mrwd
