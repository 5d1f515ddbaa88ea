// Tick arithmetic. The system tick count is unsigned 32-bit milliseconds and
// wraps every 49.7 days, so ticks are only ever compared through their signed
// difference; a raw `<` on two ticks goes wrong across the wrap.
#pragma once

#include <cstdint>

namespace mrwd {

using Tick = std::uint32_t;

// later - earlier as a signed 32-bit number: correct while the two ticks are
// less than 2^31 ms (24.8 days) apart, whichever side of the wrap they are on.
constexpr std::int32_t TickDiff(Tick later, Tick earlier) {
    const std::uint32_t d = later - earlier;
    return d <= 0x7FFFFFFFu ? static_cast<std::int32_t>(d)
                            : -static_cast<std::int32_t>(~d) - 1;
}

// True when `now` is at or past `deadline`.
constexpr bool TickReached(Tick now, Tick deadline) { return TickDiff(now, deadline) >= 0; }

// True when tick `a` lies before tick `b`.
constexpr bool TickBefore(Tick a, Tick b) { return TickDiff(a, b) < 0; }

// The longest span two ticks can be apart and still be ordered correctly.
constexpr std::uint32_t kLongestTickSpan = 0x7FFFFFFFu;

}  // namespace mrwd
