#include "command_mailbox.h"

namespace mrwd {

int CommandMailbox::Rank(int code) {
    switch (code) {
        case kCheckModem:
            return 1;
        case kForceModemReset:
            return 2;
        case kResetThroughCard:
        case kLastHeartbeat:
            return 3;
        default:
            return 0;
    }
}

bool CommandMailbox::Post(int code) {
    std::lock_guard<std::mutex> guard(lock_);
    if (code == kForceModemReset && (pending_ == kForceModemReset || running_ == kForceModemReset)) return false;
    if (Rank(code) < Rank(pending_)) return false;
    pending_ = code;
    return true;
}

int CommandMailbox::Take() {
    std::lock_guard<std::mutex> guard(lock_);
    running_ = pending_;
    pending_ = kNoCommand;
    return running_;
}

void CommandMailbox::Done() {
    std::lock_guard<std::mutex> guard(lock_);
    running_ = kNoCommand;
}

}  // namespace mrwd
