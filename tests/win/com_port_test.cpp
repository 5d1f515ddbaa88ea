// The serial port against the simulated card and modem on real Wine COM ports.
#include "hardware/win/com_port.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

#include "hardware/win/rebooter.h"
#include "tests/harness/win_harness.h"

namespace mrwd {
namespace {

using testing::CardSimulator;

class ComPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.Available()) << "run through tests/harness/with-cardsim";
    }
    void TearDown() override {
        sim.Control("card fault none");
        sim.Control("modem fault none");
        sim.Control("card chatter off");
        sim.Control("modem chatter off");
        sim.Control("modem held off");
        sim.Control("card held off");
        ::Sleep(100);  // the simulator reads its control file every few milliseconds
    }
    void Fault(const std::string& device, const std::string& fault) {
        sim.Control(device + " fault " + fault);
        ASSERT_TRUE(sim.WaitForTraffic("control: " + device + " fault " + fault));
    }

    void Chatter(const std::string& device, const std::string& onOff) {
        sim.Control(device + " chatter " + onOff);
        ASSERT_TRUE(sim.WaitForTraffic("control: " + device + " chatter " + onOff));
    }

    // Runs `call` on a thread of its own so that a call that never returns
    // fails the test at a generous deadline instead of blocking it. The
    // chatter is then stopped, which lets a reading call run out of lines and
    // end, so the thread can be joined. False when the deadline passed.
    bool ReturnsInTime(const std::function<bool()>& call, bool* result) {
        std::atomic<bool> done{false};
        std::atomic<bool> value{false};
        std::thread caller([&] {
            value = call();
            done = true;
        });
        const bool inTime = testing::WaitUntil([&] { return done.load(); }, kChatterDeadlineMs, 50);
        if (!inTime) {
            sim.Control("card chatter off");
            sim.Control("modem chatter off");
        }
        caller.join();
        *result = value;
        return inTime;
    }

    static constexpr DWORD kChatterDeadlineMs = 60000;
    CardSimulator sim;
};

TEST_F(ComPortTest, CommandsGoOutByteByByteAndRepliesAreMatched) {
    CComPort port;
    ASSERT_TRUE(port.Open(sim.CardPort()));
    EXPECT_TRUE(port.Command("?", "MR WD", 2));
    EXPECT_TRUE(port.Command("T07", "OK", 1));
    EXPECT_FALSE(port.Command("O", "MR WD", 1)) << "a reply without the word";
    EXPECT_TRUE(sim.WaitForCommand("card", "T07"));
    const std::string traffic = sim.Traffic();
    // Each byte on its own line: "T", "0", "7" and the carriage return.
    EXPECT_NE(traffic.find("card < 'T' 0x54"), std::string::npos);
    EXPECT_NE(traffic.find("card < 0x0d"), std::string::npos);
}

TEST_F(ComPortTest, AnOpenPortStaysTheOneItIs) {
    CComPort port;
    ASSERT_TRUE(port.Open(sim.CardPort()));
    EXPECT_TRUE(port.Open(sim.ModemPort()));  // already open: keeps the card's port
    EXPECT_TRUE(port.Command("?", "MR WD", 2));
    port.Close();
    EXPECT_FALSE(port.Command("?", "MR WD", 2)) << "a closed port sends nothing";
    EXPECT_FALSE(CComPort().Open(0x7777));
}

TEST_F(ComPortTest, RepliesInOtherCaseOrInsideOtherTextMatch) {
    CComPort port;
    ASSERT_TRUE(port.Open(sim.CardPort()));
    Fault("card", "lowercase");
    EXPECT_TRUE(port.Command("O", "OK", 1));
    Fault("card", "embedded");
    EXPECT_TRUE(port.Command("O", "OK", 1));
    Fault("card", "echo");  // "O" comes back, then "OK": read together as "OOK"
    EXPECT_TRUE(port.Command("O", "OK", 1));
}

TEST_F(ComPortTest, OverlongSilentAndLateRepliesFail) {
    CComPort port;
    ASSERT_TRUE(port.Open(sim.CardPort()));
    Fault("card", "long-line");
    EXPECT_FALSE(port.Command("O", "OK", 2)) << "more than 63 characters before the line end";
    Fault("card", "silent");
    EXPECT_FALSE(port.Command("O", "OK", 1));
    Fault("card", "slow");  // answers after 1.5 s
    EXPECT_FALSE(port.Command("O", "OK", 1));
    EXPECT_TRUE(port.Command("O", "OK", 3));
}

TEST_F(ComPortTest, EachNonMatchingLineCostsAFullTimeLimit) {
    CComPort port;
    ASSERT_TRUE(port.Open(sim.ModemPort()));
    EXPECT_TRUE(port.Command("AT", "OK", 4));
    // The modem answers "ERROR" at once; the call then waits a whole limit for another line.
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_FALSE(port.Command("ATX", "OK", 2));
    EXPECT_GE(::GetTickCount64() - start, 2000u);
}

// A device that keeps printing lines without the word (a scale, a scanner, a
// GPS on the port the card search tries) must not hold a command for ever.
TEST_F(ComPortTest, ACommandGivesUpOnADeviceThatOnlyChatters) {
    CComPort port;
    ASSERT_TRUE(port.Open(sim.CardPort()));
    Fault("card", "silent");
    Chatter("card", "on");
    bool answered = true;
    EXPECT_TRUE(ReturnsInTime([&] { return port.Command("O", "OK", 1); }, &answered))
        << "still reading chatter at the deadline";
    EXPECT_FALSE(answered);
    EXPECT_NE(sim.Traffic().find("card > CHATTER"), std::string::npos);

    // The card search on a chattering modem that answers "?" with "ERROR".
    Chatter("modem", "on");
    bool identified = true;
    EXPECT_TRUE(ReturnsInTime([&] { return CRebooter().Identify(sim.ModemPort()); }, &identified))
        << "the card search would never get past this port";
    EXPECT_FALSE(identified);
}

TEST_F(ComPortTest, AReplyAmidChatterIsStillFound) {
    CComPort port;
    ASSERT_TRUE(port.Open(sim.CardPort()));
    Chatter("card", "on");
    bool answered = false;
    ASSERT_TRUE(ReturnsInTime([&] { return port.Command("?", "MR WD", 2); }, &answered));
    EXPECT_TRUE(answered);
    ASSERT_TRUE(ReturnsInTime([&] { return port.Command("O", "OK", 1); }, &answered));
    EXPECT_TRUE(answered);
    // The reply comes 1.5 s late, after several chatter lines: each line was
    // within the limit, and so is the reply.
    Fault("card", "slow");
    ASSERT_TRUE(ReturnsInTime([&] { return port.Command("O", "OK", 1); }, &answered));
    EXPECT_TRUE(answered);
}

// The ports that open, tried one by one (the machine's own serial ports show
// up too: Wine exposes them as COM1 and up).
std::vector<int> PortsThatOpen() {
    std::vector<int> ports;
    for (int n = 1; n <= 256; ++n) {
        const std::string name = "\\\\.\\COM" + std::to_string(n);
        HANDLE handle = ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (handle == INVALID_HANDLE_VALUE) continue;
        ::CloseHandle(handle);
        ports.push_back(n);
    }
    return ports;
}

std::vector<int> FreePorts() {
    std::vector<int> free;
    for (int p = CComPort::FindFreePort(0); p != 0; p = CComPort::FindFreePort(p)) free.push_back(p);
    return free;
}

TEST_F(ComPortTest, FreePortsAreTheOnesThatOpen) {
    const std::vector<int> free = FreePorts();
    EXPECT_EQ(free, PortsThatOpen());
    EXPECT_NE(std::find(free.begin(), free.end(), sim.CardPort()), free.end());
    EXPECT_NE(std::find(free.begin(), free.end(), sim.ModemPort()), free.end());
    EXPECT_EQ(CComPort::FindFreePort(256), 0);
    EXPECT_EQ(CComPort::GetPortOpenError(sim.CardPort()), 0u);
    EXPECT_EQ(CComPort::GetPortOpenError(200), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    // A port another program holds exists but is not free.
    sim.Control("modem held on");
    ASSERT_TRUE(sim.WaitForTraffic("control: modem held on"));
    const DWORD held = CComPort::GetPortOpenError(sim.ModemPort());
    EXPECT_NE(held, 0u);
    EXPECT_NE(held, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    const std::vector<int> withHeld = FreePorts();
    EXPECT_EQ(std::find(withHeld.begin(), withHeld.end(), sim.ModemPort()), withHeld.end());
    EXPECT_EQ(withHeld.size(), free.size() - 1);
}

TEST_F(ComPortTest, ModemProbeTellsAnswerSilenceAndBusy) {
    CModem modem;
    EXPECT_TRUE(modem.Probe(sim.ModemPort()));
    EXPECT_FALSE(modem.Busy());
    EXPECT_FALSE(modem.IsOpen()) << "the port is never kept open between probes";
    sim.Control("modem hang on");
    ASSERT_TRUE(sim.WaitForTraffic("control: modem hang on"));
    EXPECT_FALSE(modem.Probe(sim.ModemPort()));
    EXPECT_FALSE(modem.Busy());
    sim.Control("modem held on");
    ASSERT_TRUE(sim.WaitForTraffic("control: modem held on"));
    EXPECT_FALSE(modem.Probe(sim.ModemPort()));
    EXPECT_TRUE(modem.Busy());
    EXPECT_FALSE(modem.Probe(200));
    EXPECT_FALSE(modem.Busy()) << "no such port is not a busy one";
    sim.Control("modem hang off");
}

TEST_F(ComPortTest, CardCommandsAndTheModemResetThroughTheCard) {
    CRebooter card;
    EXPECT_TRUE(card.Identify(sim.CardPort()));
    EXPECT_FALSE(card.IsOpen());
    EXPECT_FALSE(card.Identify(sim.ModemPort())) << "the modem is no card";
    ASSERT_TRUE(card.OpenPort(sim.CardPort()));
    EXPECT_TRUE(card.Heartbeat(5));
    sim.Control("modem hang on");
    ASSERT_TRUE(sim.WaitForTraffic("control: modem hang on"));
    EXPECT_TRUE(card.ResetModem());
    EXPECT_TRUE(CModem().Probe(sim.ModemPort())) << "the card's reset brought the modem back";
    EXPECT_TRUE(card.Release());
    EXPECT_FALSE(card.IsOpen());
    EXPECT_FALSE(card.Release()) << "closed: nothing to release";
    const std::vector<std::string> commands = sim.Commands("card");
    EXPECT_EQ(commands, (std::vector<std::string>{"?", "O", "T05", "M", "C"}));
}

}  // namespace
}  // namespace mrwd
