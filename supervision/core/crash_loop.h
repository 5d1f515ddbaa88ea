// The spacing of a program that dies again and again soon after its start.
// Started again every cycle, such a program would run its start-up (and its
// log lines) every 2 s for ever; its starts are spaced out instead, doubling
// up to a minute, until one of its copies stays up.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "base/core/ticks.h"

namespace mrwd {

// The least time between two starts after `quickDeaths` deaths in a row
// within the start delay: 2, 4, 8, 16, 32 s, then 60 s. The first is the
// engine's own cycle: one death at start is not spaced.
std::uint32_t CrashLoopDelayMs(std::uint32_t quickDeaths);

// What a death changed, for the log.
enum class CrashLoopChange { None, Begun };

class CrashLoopSpacing {
public:
    // A copy of the program `key`, started at `startedAt`, has died. A death
    // within its start delay (`quick`) counts towards the spacing; any other
    // lets the next start come at once. Begun when this death makes the
    // spacing begin; `delayMs` is then the wait before the next start.
    CrashLoopChange OnDeath(const std::string& key, bool quick, Tick startedAt, Tick now, std::uint32_t& delayMs);
    // Whether the cycle at `now` may start a copy of `key`.
    bool MayStart(const std::string& key, Tick now) const;
    // The programs with a death at start on record (their keys as given to
    // OnDeath), each to be ended once a copy stays up.
    template <typename Visit>
    void ForEachProgram(Visit visit) const {
        for (const auto& loop : loops_) visit(loop.first);
    }
    // A copy has stayed up, or the program left the list: its spacing ends.
    // True when it was being spaced (worth a log line).
    bool End(const std::string& key);

private:
    struct Loop {
        std::uint32_t deaths = 0;
        Tick notBefore = 0;
    };
    std::map<std::string, Loop> loops_;
};

}  // namespace mrwd
