// The order in which mails go out. Each mail takes a ticket when it is
// raised and is sent when its turn comes, so mails leave in the order they
// were raised, whichever thread gets to run first: the mail about a hang goes
// before the reboot mail raised after it. Closing (the server ends) lets
// nobody wait any longer; mails still waiting are dropped by their owners.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace mrwd {

class SendTurns {
public:
    using Ticket = std::uint64_t;

    // When a mail is raised: its place in the line.
    Ticket Take();
    // Blocks until the mail's turn has come; false when the line was closed
    // first (the mail must not be sent).
    bool WaitForTurn(Ticket ticket);
    // The mail whose turn it was has gone, failed or been dropped.
    void Done(Ticket ticket);
    // Returns once every mail raised before this call has had its turn, or
    // the line was closed.
    void WaitForAllRaisedSoFar();
    void Close();
    bool Closed() const;
    // Opens a closed line again, empty, once every mail of the old one has
    // given up its ticket.
    void Reopen();

private:
    mutable std::mutex lock_;
    std::condition_variable changed_;
    Ticket next_ = 0;
    Ticket serving_ = 0;
    bool closed_ = false;
};

}  // namespace mrwd
