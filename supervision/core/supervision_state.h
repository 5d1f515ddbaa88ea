// The tables the supervision engine and the user interface share: the
// monitored programs, the supervised processes and the process snapshot,
// with the one lock that guards them.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "base/core/ticks.h"
#include "supervision/core/module_list.h"

namespace mrwd {

// The run-time record of one supervised process.
struct AliveEntry {
    Tick StartTick = 0;            // when the entry was created
    Tick LastAlive = 0;            // the last sign of life
    std::uint32_t AliveInterval = 0;  // ms allowed between signs of life
    std::uint32_t Failures = 0;    // carried over to the replacement after a restart
    std::string ExePath;           // as the system reported it, or the list key for processes the engine started
    bool GraceOver = false;        // its first check interval has passed; stays so
    bool StartDelayOver = false;   // its program's start delay has passed; stays so
    // A kill failed since the process was first judged hung: the failure was
    // logged and mailed once, and is not again while it hangs on.
    bool KillRefused = false;
};

using AliveTable = std::map<std::uint32_t, AliveEntry>;

// Process id to executable path, rebuilt every engine cycle.
using ProcessSnapshot = std::map<std::uint32_t, std::string>;

struct SupervisionState {
    explicit SupervisionState(PathCompare compare = CompareAsciiNoCase) : modules(compare) {}

    // Held for one alive message, one dialog change or one step of a pass;
    // never while a program runs, files are copied, a box is open or a
    // message goes to another thread.
    std::mutex lock;
    ModuleList modules;
    AliveTable alive;
    ProcessSnapshot snapshot;
    // Processes whose registration was refused (logged once each).
    std::set<std::uint32_t> refusedProcesses;

    // Set when a failure action ran in the current cycle; the main dialog reads it.
    std::atomic<bool> failureActionInProgress{false};
    // The tick count seen by the previous clock check (engine thread only).
    Tick lastClockTick = 0;
};

}  // namespace mrwd
