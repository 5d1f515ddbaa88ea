// The line mails wait in: raised first, sent first, whatever thread runs first.
#include "notify/core/send_turns.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace mrwd {
namespace {

TEST(SendTurns, MailsGoInTheOrderTheyWereRaised) {
    SendTurns turns;
    std::vector<SendTurns::Ticket> tickets;
    for (int i = 0; i < 4; ++i) tickets.push_back(turns.Take());
    std::mutex lock;
    std::vector<SendTurns::Ticket> sent;
    // The threads start in the reverse order of their tickets.
    std::vector<std::thread> senders;
    for (auto it = tickets.rbegin(); it != tickets.rend(); ++it) {
        senders.emplace_back([&, ticket = *it] {
            ASSERT_TRUE(turns.WaitForTurn(ticket));
            {
                std::lock_guard<std::mutex> guard(lock);
                sent.push_back(ticket);
            }
            turns.Done(ticket);
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    for (std::thread& t : senders) t.join();
    EXPECT_EQ(sent, tickets);
}

TEST(SendTurns, WaitingForTheMailsRaisedSoFarIgnoresLaterOnes) {
    SendTurns turns;
    const SendTurns::Ticket first = turns.Take();
    bool returned = false;
    std::thread waiter([&] {
        turns.WaitForAllRaisedSoFar();
        returned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const SendTurns::Ticket later = turns.Take();  // raised after the wait began
    ASSERT_TRUE(turns.WaitForTurn(first));
    turns.Done(first);
    waiter.join();
    EXPECT_TRUE(returned);
    EXPECT_TRUE(turns.WaitForTurn(later));  // its turn has come, and nobody waited for it
}

TEST(SendTurns, ClosingReleasesEveryWaiterAndReopeningStartsAfresh) {
    SendTurns turns;
    const SendTurns::Ticket inProgress = turns.Take();
    ASSERT_TRUE(turns.WaitForTurn(inProgress));
    const SendTurns::Ticket waiting = turns.Take();
    bool dropped = false;
    std::thread waiter([&] { dropped = !turns.WaitForTurn(waiting); });
    std::thread everything([&] { turns.WaitForAllRaisedSoFar(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    turns.Close();
    waiter.join();
    everything.join();
    EXPECT_TRUE(dropped);
    EXPECT_TRUE(turns.Closed());
    turns.Done(waiting);
    turns.Done(inProgress);

    turns.Reopen();
    const SendTurns::Ticket next = turns.Take();
    EXPECT_TRUE(turns.WaitForTurn(next));
}

}  // namespace
}  // namespace mrwd
