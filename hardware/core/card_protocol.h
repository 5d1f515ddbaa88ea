// What the reboot controller card understands: its commands, the word each
// reply must contain, and how long the program waits for it.
#pragma once

#include <cstdint>
#include <string>

namespace mrwd {

struct CardCommand {
    const char* text;
    const char* expected;
    unsigned timeLimitSeconds;
};

constexpr CardCommand kIdentify{"?", "MR WD", 2};
constexpr CardCommand kKick{"O", "OK", 1};
constexpr CardCommand kRelease{"C", "OK", 1};
constexpr CardCommand kHardReset{"R", "OK", 1};
constexpr CardCommand kResetModem{"M", "OK", 10};
constexpr unsigned kTimeoutCommandLimitSeconds = 1;

// The modem's own exchange.
constexpr CardCommand kModemAttention{"AT", "OK", 4};

// "T" and the reboot time-out with at least two digits: 5 gives "T05", 120 "T120".
std::string TimeoutCommand(std::uint32_t seconds);

// Ports are numbered 1 to 256.
constexpr int kHighestPort = 256;

}  // namespace mrwd
