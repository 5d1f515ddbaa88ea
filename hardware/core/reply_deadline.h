// How long a serial command keeps reading its reply. Each line gets the
// command's time limit; all lines together get five of them, counted from the
// start of the command (its own bytes going out included), so that a device
// that keeps printing lines without the expected word (a scale, a scanner, a
// GPS on a port the card search tries) cannot hold the caller for ever, while
// a reply that comes a few lines late is still taken.
#pragma once

#include <cstdint>

#include "base/core/ticks.h"

namespace mrwd {

constexpr unsigned kReplyLimitsPerCommand = 5;

class ReplyDeadline {
public:
    // `start`: the tick count when the command began.
    ReplyDeadline(Tick start, unsigned timeLimitSeconds);

    // Milliseconds the next reply line may take at `now`: the whole time
    // limit, or what is left of the total when that is less; 0 once the total
    // is spent.
    std::uint32_t NextLineMs(Tick now) const;

private:
    Tick start_;
    std::uint32_t lineMs_;
    std::uint32_t totalMs_;
};

}  // namespace mrwd
