#include "send_turns.h"

namespace mrwd {

SendTurns::Ticket SendTurns::Take() {
    std::lock_guard<std::mutex> guard(lock_);
    return next_++;
}

bool SendTurns::WaitForTurn(Ticket ticket) {
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait(guard, [&] { return closed_ || serving_ == ticket; });
    return !closed_;
}

void SendTurns::Done(Ticket ticket) {
    std::lock_guard<std::mutex> guard(lock_);
    // Only the mail being served moves the line on; a mail dropped after the
    // close has no turn to give up.
    if (ticket == serving_) ++serving_;
    changed_.notify_all();
}

void SendTurns::WaitForAllRaisedSoFar() {
    std::unique_lock<std::mutex> guard(lock_);
    const Ticket raised = next_;
    changed_.wait(guard, [&] { return closed_ || serving_ >= raised; });
}

void SendTurns::Close() {
    std::lock_guard<std::mutex> guard(lock_);
    closed_ = true;
    changed_.notify_all();
}

void SendTurns::Reopen() {
    std::lock_guard<std::mutex> guard(lock_);
    closed_ = false;
    serving_ = next_;
}

bool SendTurns::Closed() const {
    std::lock_guard<std::mutex> guard(lock_);
    return closed_;
}

}  // namespace mrwd
