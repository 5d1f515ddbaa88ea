// The small rules the engine's parts share: spans over ticks, a program's
// start delay and failure limits, and the entry a newly supervised process
// gets.
#pragma once

#include <cstdint>
#include <string>

#include "base/core/ticks.h"
#include "supervision/core/supervision_state.h"

namespace mrwd {

// Tick arithmetic over a span the comparison can represent: a stored
// interval above 24.8 days counts as 24.8 days.
inline Tick SpanEnd(Tick start, std::uint32_t span) {
    return start + (span < kLongestTickSpan ? span : kLongestTickSpan);
}

// True once `start` + `span` lies before `now`.
inline bool SpanElapsed(Tick start, std::uint32_t span, Tick now) { return TickBefore(SpanEnd(start, span), now); }

// Noted once, like the grace of a check interval: a process ending after
// months must still count as past its start delay.
inline bool NoteStartDelayOver(AliveEntry& entry, std::uint32_t startDelay, Tick now) {
    if (!entry.StartDelayOver && SpanElapsed(entry.StartTick, startDelay, now)) entry.StartDelayOver = true;
    return entry.StartDelayOver;
}

// A failure count has reached a limit of the program's record.
inline bool LimitReached(std::uint32_t failures, std::int32_t limit) {
    return failures >= static_cast<std::uint32_t>(limit);
}

inline AliveEntry NewAliveEntry(const std::string& path, std::uint32_t interval, Tick now) {
    AliveEntry entry;  // its grace starts now
    entry.StartTick = now;
    entry.LastAlive = now;
    entry.AliveInterval = interval;
    entry.Failures = 0;
    entry.ExePath = path;
    return entry;
}

}  // namespace mrwd
