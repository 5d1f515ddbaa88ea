#include "reply_deadline.h"

#include <algorithm>

namespace mrwd {
namespace {

// Kept within the span ticks can be compared over; no real limit comes near it.
std::uint32_t ClampedMs(std::uint64_t ms) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(ms, kLongestTickSpan));
}

}  // namespace

ReplyDeadline::ReplyDeadline(Tick start, unsigned timeLimitSeconds)
    : start_(start),
      lineMs_(ClampedMs(std::uint64_t{timeLimitSeconds} * 1000)),
      totalMs_(ClampedMs(std::uint64_t{lineMs_} * kReplyLimitsPerCommand)) {}

std::uint32_t ReplyDeadline::NextLineMs(Tick now) const {
    // Elapsed time as a tick difference, so the 49.7-day wrap changes nothing.
    const std::int32_t elapsed = std::max<std::int32_t>(TickDiff(now, start_), 0);
    const std::uint32_t spent = static_cast<std::uint32_t>(elapsed);
    if (spent >= totalMs_) return 0;
    return std::min(lineMs_, totalMs_ - spent);
}

}  // namespace mrwd
