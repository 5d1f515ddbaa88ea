#include "crash_loop.h"

namespace mrwd {
namespace {

constexpr std::uint32_t kLongestDelayMs = 60000;
// A cycle runs every 2 s, a little late at times: a start falling due within
// a second of the next cycle is made by that cycle, not one later.
constexpr std::uint32_t kCycleSlackMs = 1000;

}  // namespace

std::uint32_t CrashLoopDelayMs(std::uint32_t quickDeaths) {
    std::uint32_t delay = 2000;
    for (std::uint32_t n = 1; n < quickDeaths && delay < kLongestDelayMs; ++n) delay *= 2;
    return delay < kLongestDelayMs ? delay : kLongestDelayMs;
}

CrashLoopChange CrashLoopSpacing::OnDeath(const std::string& key, bool quick, Tick startedAt, Tick now,
                                          std::uint32_t& delayMs) {
    Loop& loop = loops_[key];
    if (!quick) {
        // Ran past its start delay: started again at once, as always.
        loop.notBefore = now;
        return CrashLoopChange::None;
    }
    if (loop.deaths < 0xFFFFu) ++loop.deaths;
    delayMs = CrashLoopDelayMs(loop.deaths);
    // Measured from the start of the copy that died: starts `delayMs` apart.
    loop.notBefore = startedAt + delayMs - kCycleSlackMs;
    if (TickBefore(loop.notBefore, now)) loop.notBefore = now;
    return loop.deaths == 2 ? CrashLoopChange::Begun : CrashLoopChange::None;
}

bool CrashLoopSpacing::MayStart(const std::string& key, Tick now) const {
    auto it = loops_.find(key);
    return it == loops_.end() || !TickBefore(now, it->second.notBefore);
}

bool CrashLoopSpacing::End(const std::string& key) {
    auto it = loops_.find(key);
    if (it == loops_.end()) return false;
    const bool spaced = it->second.deaths >= 2;
    loops_.erase(it);
    return spaced;
}

}  // namespace mrwd
