// The alive protocol: the messages monitored programs send (heartbeats, the
// end of their control, a first message that puts them under control) and
// the answers to the pings of programs checked through their windows.
#include "supervision/core/engine.h"

#include <mutex>
#include <utility>

#include "supervision/core/deferred_events.h"
#include "supervision/core/engine_rules.h"
#include "supervision/core/protected_programs.h"

namespace mrwd {
namespace {

using Lock = std::unique_lock<std::mutex>;

}  // namespace

std::uint32_t IntervalFromSeconds(std::uint64_t seconds) {
    const std::uint64_t longest = kLongestTickSpan;
    const std::uint64_t ms = seconds > longest / 1000 ? longest : seconds * 1000;
    return static_cast<std::uint32_t>(ms < kMinimumCheckInterval ? kMinimumCheckInterval : ms);
}

bool SupervisionEngine::OnAliveMessage(std::uint64_t seconds, std::uint32_t processId) {
    if (seconds == 0) {
        EndControl(processId);
        return true;
    }
    DeferredEvents events(system_);  // declared before the lock: sent after it
    const std::uint32_t interval = IntervalFromSeconds(seconds);
    Lock lock(state_.lock);
    auto it = state_.alive.find(processId);
    if (it == state_.alive.end()) return TakeNewProcessMessage(processId);
    TakeHeartbeat(processId, it->second, interval, events);
    return true;
}

void SupervisionEngine::EndControl(std::uint32_t processId) {
    DeferredEvents events(system_);
    {
        Lock lock(state_.lock);
        auto it = state_.alive.find(processId);
        if (it == state_.alive.end()) return;
        events.Log(EngineEvent::ProcessReleased, processId, it->second.ExePath);
        // The program says it is ending: it is not restarted, nor started
        // again as a missing copy, until it registers again.
        ModuleEntry* module = state_.modules.Find(it->second.ExePath);
        if (module != nullptr && module->NoAliveSupport == 0) module->Armed = 0;
    }
    events.Flush();
    system_.RefreshMainDialog();
}

void SupervisionEngine::TakeHeartbeat(std::uint32_t processId, AliveEntry& entry, std::uint32_t interval,
                                      DeferredEvents& events) {
    ModuleEntry* module = state_.modules.Find(entry.ExePath);
    if (module == nullptr) return;
    module->AliveSeen = 1;
    // A program checked through its window lives by the pings alone.
    if (module->NoAliveSupport != 0) return;
    entry.LastAlive = system_.Now();
    entry.AliveInterval = interval;
    module->CheckInterval = interval;
    if (module->Armed == 0) {
        module->Armed = 1;
        events.Log(EngineEvent::ProcessRegistered, processId, entry.ExePath);
    }
}

bool SupervisionEngine::TakeNewProcessMessage(std::uint32_t processId) {
    // Refused once: asked again, it is refused without a look.
    return state_.refusedProcesses.count(processId) != 0;
}

void SupervisionEngine::RegisterProcess(std::uint64_t seconds, std::uint32_t processId) {
    // Under control by now (found by a sweep, or an earlier message of its
    // own was taken first): the message is a heartbeat.
    if (OnAliveMessage(seconds, processId)) return;
    DeferredEvents events(system_);
    const std::uint32_t interval = IntervalFromSeconds(seconds);
    // Finding the path may touch the file system: not under the lock.
    std::string path;
    if (!system_.ExecutablePath(processId, path)) return;
    if (IsProtectedProgram(processId, path, Identity(), state_.modules)) {
        bool first = false;
        {
            Lock lock(state_.lock);
            first = state_.refusedProcesses.insert(processId).second;
        }
        // Once per process: a program that keeps asking must not fill the log.
        if (first) system_.Log(EngineEvent::ProcessRefused, processId, path);
        return;
    }
    events.Log(EngineEvent::ProcessRegistered, processId, path);
    events.Flush();

    AliveEntry entry = NewAliveEntry(path, interval, system_.Now());
    bool created = false;
    ModuleEntry stored;
    {
        Lock lock(state_.lock);
        ModuleEntry* module = state_.modules.Find(path);
        if (module == nullptr) {
            stored = RegisteredEntry(interval);
            created = state_.modules.Add(path, stored);
        }
        if (module != nullptr) {
            if (module->NoAliveSupport != 0) {
                entry.AliveInterval = module->CheckInterval;
            } else {
                module->CheckInterval = interval;
                module->Armed = 1;
            }
        }
        state_.alive[processId] = std::move(entry);
    }
    if (created) system_.StoreModule(path, stored);
    system_.RefreshMainDialog();
}

void SupervisionEngine::OnPingAnswered(std::uint32_t processId) {
    Lock lock(state_.lock);
    auto it = state_.alive.find(processId);
    if (it != state_.alive.end()) it->second.LastAlive = system_.Now();
}

}  // namespace mrwd
