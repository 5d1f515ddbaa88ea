// The simulated reboot controller card and modem: what each answers to the
// bytes it receives, and when the card resets the computer. Pure logic with
// times passed in, so tests can drive it without ports or clocks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mrwd::cardsim {

// Ways a device can misbehave, switched on from outside.
enum class Fault {
    None,
    Silent,     // no reply at all
    Slow,       // the reply comes after a delay
    Lowercase,  // "ok" instead of "OK"
    Embedded,   // "xxOKxx"
    LongLine,   // more than 63 characters before any line end
    Echo,       // every received byte is sent back before the reply
};

// "none", "silent", "slow", "lowercase", "embedded", "long-line", "echo".
bool ParseFault(const std::string& name, Fault& fault);

struct Output {
    std::uint64_t atMs;  // when to send it
    std::string bytes;
};

// One line-oriented device: collects bytes up to CR, then answers.
class LineDevice {
public:
    virtual ~LineDevice() = default;
    // The byte arrived at `nowMs`; returns what to send back, and when.
    std::vector<Output> Receive(char byte, std::uint64_t nowMs);

    Fault fault = Fault::None;
    std::uint64_t slowReplyMs = 1500;

    // A device that talks on its own, as a scale, a scanner or a GPS on a
    // COM port does: while on, a line without any word the program waits for
    // ("CHATTER") goes out every chatterEveryMs, the first one at once. It
    // does not touch the answers: with no fault the device still answers
    // between those lines, with Fault::Silent it only chatters.
    bool chatter = false;
    std::uint64_t chatterEveryMs = 250;
    static constexpr const char* kChatterLine = "CHATTER\r\n";
    // What the device sends unprompted at `nowMs`; call it often.
    std::vector<Output> Unprompted(std::uint64_t nowMs);

    // Complete commands received, in order (the traffic log reports them).
    std::vector<std::string> commands;

protected:
    // The reply to a complete command (without its line end); empty for none.
    virtual std::string Answer(const std::string& command, std::uint64_t nowMs) = 0;

private:
    std::string line_;
    std::uint64_t nextChatterMs_ = 0;  // 0: the next line goes out at once
};

class ModemDevice : public LineDevice {
public:
    bool hung = false;
    int resets = 0;
    // The card has power-cycled the modem: it answers again.
    void Reset() {
        hung = false;
        ++resets;
    }

protected:
    std::string Answer(const std::string& command, std::uint64_t nowMs) override;
};

class CardDevice : public LineDevice {
public:
    explicit CardDevice(ModemDevice* modem) : modem_(modem) {}

    // True once when the card resets the computer at `nowMs`: the heartbeats
    // stopped for their time-out. The reason goes to `why`.
    bool ResetDue(std::uint64_t nowMs, std::string& why);
    bool Armed() const { return deadlineMs_ != 0; }
    std::uint64_t TimeoutSeconds() const { return timeoutSeconds_; }

protected:
    std::string Answer(const std::string& command, std::uint64_t nowMs) override;

private:
    ModemDevice* modem_;
    std::uint64_t timeoutSeconds_ = 0;
    std::uint64_t deadlineMs_ = 0;     // 0: not watching
    bool resetOrdered_ = false;
};

}  // namespace mrwd::cardsim
