// The simulated card and modem, run in-process: what the tests and the demo
// rely on them to answer.
#include "device_model.h"

#include <gtest/gtest.h>

namespace mrwd::cardsim {
namespace {

// Feeds a command and its carriage return; returns what comes back at once or later.
std::vector<Output> Send(LineDevice& device, const std::string& command, std::uint64_t now) {
    std::vector<Output> all;
    for (char c : command + "\r") {
        for (const Output& out : device.Receive(c, now)) all.push_back(out);
    }
    return all;
}

std::string Replies(const std::vector<Output>& outputs) {
    std::string text;
    for (const Output& out : outputs) text += out.bytes;
    return text;
}

TEST(CardSimulator, AnswersTheCardsCommands) {
    ModemDevice modem;
    CardDevice card(&modem);
    EXPECT_NE(Replies(Send(card, "?", 0)).find("MR WD"), std::string::npos);
    EXPECT_EQ(Replies(Send(card, "O", 0)), "OK\r\n");
    EXPECT_EQ(Replies(Send(card, "T10", 0)), "OK\r\n");
    EXPECT_EQ(card.commands, (std::vector<std::string>{"?", "O", "T10"}));
    EXPECT_EQ(card.TimeoutSeconds(), 10u);
}

TEST(CardSimulator, ResetsWhenHeartbeatsStopForTheTimeout) {
    ModemDevice modem;
    CardDevice card(&modem);
    std::string why;
    Send(card, "O", 1000);
    EXPECT_FALSE(card.Armed()) << "no time-out announced yet";
    Send(card, "T05", 1000);
    EXPECT_FALSE(card.ResetDue(5999, why));
    Send(card, "O", 5000);  // a heartbeat restarts the count-down
    EXPECT_FALSE(card.ResetDue(9999, why));
    EXPECT_TRUE(card.ResetDue(10000, why));
    EXPECT_EQ(why, "heartbeats stopped for 5 s");
    EXPECT_FALSE(card.ResetDue(20000, why)) << "one reset, then it waits for heartbeats again";

    Send(card, "T05", 30000);
    Send(card, "C", 31000);  // released: no reset however long it waits
    EXPECT_FALSE(card.ResetDue(100000, why));
}

TEST(CardSimulator, ResetOrderAndModemReset) {
    ModemDevice modem;
    CardDevice card(&modem);
    std::string why;
    Send(card, "R", 0);
    EXPECT_TRUE(card.ResetDue(0, why));
    EXPECT_EQ(why, "reset ordered (R)");

    modem.hung = true;
    EXPECT_EQ(Replies(Send(modem, "AT", 0)), "");
    Send(card, "M", 0);
    EXPECT_FALSE(modem.hung);
    EXPECT_EQ(modem.resets, 1);
    EXPECT_EQ(Replies(Send(modem, "AT", 0)), "OK\r\n");
    EXPECT_EQ(Replies(Send(modem, "ATZ", 0)), "ERROR\r\n");
}

TEST(CardSimulator, FaultsChangeTheReplies) {
    ModemDevice modem;
    CardDevice card(&modem);
    card.fault = Fault::Lowercase;
    EXPECT_EQ(Replies(Send(card, "O", 0)), "ok\r\n");
    card.fault = Fault::Embedded;
    EXPECT_EQ(Replies(Send(card, "O", 0)), "xxOKxx\r\n");
    card.fault = Fault::LongLine;
    const std::string longLine = Replies(Send(card, "O", 0));
    EXPECT_GT(longLine.find('\r'), 63u);
    card.fault = Fault::Silent;
    EXPECT_EQ(Replies(Send(card, "O", 0)), "");
    card.fault = Fault::Echo;
    EXPECT_EQ(Replies(Send(card, "O", 0)), "O\rOK\r\n");
    card.fault = Fault::Slow;
    const std::vector<Output> slow = Send(card, "O", 100);
    ASSERT_EQ(slow.size(), 1u);
    EXPECT_EQ(slow[0].atMs, 100 + card.slowReplyMs);

    Fault parsed;
    EXPECT_TRUE(ParseFault("long-line", parsed));
    EXPECT_EQ(parsed, Fault::LongLine);
    EXPECT_FALSE(ParseFault("loud", parsed));
}

TEST(CardSimulator, ChatterComesUnpromptedAndLeavesTheAnswersAsTheyAre) {
    ModemDevice modem;
    CardDevice card(&modem);
    EXPECT_TRUE(card.Unprompted(1000).empty()) << "quiet unless switched on";

    card.chatter = true;
    EXPECT_EQ(Replies(card.Unprompted(1000)), "CHATTER\r\n") << "the first line at once";
    EXPECT_TRUE(card.Unprompted(1000 + card.chatterEveryMs - 1).empty());
    const std::vector<Output> next = card.Unprompted(1000 + card.chatterEveryMs);
    ASSERT_EQ(next.size(), 1u);
    EXPECT_EQ(next[0].atMs, 1000 + card.chatterEveryMs) << "it goes out when due, not later";

    // The answers still come, unless the fault says otherwise.
    EXPECT_EQ(Replies(Send(card, "O", 2000)), "OK\r\n");
    card.fault = Fault::Silent;  // a device that only chatters
    EXPECT_EQ(Replies(Send(card, "O", 2000)), "");
    EXPECT_EQ(Replies(card.Unprompted(5000)), "CHATTER\r\n");

    card.chatter = false;
    EXPECT_TRUE(card.Unprompted(10000).empty());
    modem.chatter = true;  // per device: the card stays quiet
    EXPECT_EQ(Replies(modem.Unprompted(10000)), "CHATTER\r\n");
    EXPECT_TRUE(card.Unprompted(10000).empty());
    card.chatter = true;
    EXPECT_EQ(Replies(card.Unprompted(10001)), "CHATTER\r\n") << "switched on again: at once";
}

}  // namespace
}  // namespace mrwd::cardsim
