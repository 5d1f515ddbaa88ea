// The sweep: the process snapshot, the supervised processes that have ended,
// the discovery and pinging of listed programs' processes, and the start of
// the copies a program is to keep running; with the table of supervised
// processes the engine thread waits on.
#include "supervision/core/engine.h"

#include <iterator>
#include <mutex>
#include <optional>
#include <utility>

#include "supervision/core/engine_rules.h"
#include "supervision/core/protected_programs.h"
#include "supervision/core/shared_table_walk.h"

namespace mrwd {
namespace {

using Lock = std::unique_lock<std::mutex>;

}  // namespace

void SupervisionEngine::ForgetProcesses() {
    Lock lock(state_.lock);
    state_.alive.clear();
}

std::vector<std::uint32_t> SupervisionEngine::SupervisedProcessIds() {
    std::vector<std::uint32_t> ids;
    Lock lock(state_.lock);
    ids.reserve(state_.alive.size());
    for (const auto& alive : state_.alive) ids.push_back(alive.first);
    return ids;
}

bool SupervisionEngine::EndCallsForSweep(std::uint32_t processId) {
    Lock lock(state_.lock);
    auto it = state_.alive.find(processId);
    if (it == state_.alive.end()) return false;  // already pruned, or replaced by a restart
    const ModuleEntry* module = state_.modules.Find(it->second.ExePath);
    if (module == nullptr || module->ControlEnabled == 0 || module->Armed == 0 || module->Copies == 0) return false;
    return NoteStartDelayOver(it->second, module->StartDelay, system_.Now());
}

ServerIdentity SupervisionEngine::Identity() {
    return ServerIdentity{system_.ServerProcessId(), system_.ServerExecutablePath()};
}

void SupervisionEngine::Sweep() {
    {
        // Nothing listed, watched or refused: the snapshot would serve nobody,
        // and naming every process of the system is most of an idle cycle's cost.
        Lock lock(state_.lock);
        if (state_.modules.Size() == 0 && state_.alive.empty() && state_.refusedProcesses.empty()) {
            state_.snapshot.clear();
            return;
        }
    }
    ProcessSnapshot fresh;
    system_.RebuildSnapshot(fresh);
    {
        Lock lock(state_.lock);
        state_.snapshot.swap(fresh);
        // A refused process that has ended may hand its id to another one.
        for (auto it = state_.refusedProcesses.begin(); it != state_.refusedProcesses.end();) {
            it = state_.snapshot.count(*it) == 0 ? state_.refusedProcesses.erase(it) : std::next(it);
        }
    }
    PruneEndedProcesses();
    DiscoverAndPing();
    EndSteadyCrashLoops();
    KeepCopiesStarted();
    system_.RefreshMainDialog();
}

void SupervisionEngine::PruneEndedProcesses() {
    // A copy that died, when the engine keeps its program started.
    struct Death {
        std::string key;  // empty: none of those
        bool quick;
        Tick startedAt;
    };
    WalkSharedTable(
        system_, state_.lock, state_.alive, PauseBefore::EachEntry,
        [&](AliveTable::iterator it, DeferredEvents&) -> std::optional<Death> {
            if (state_.snapshot.count(it->first) != 0) return std::nullopt;
            // Only the deaths of copies the engine keeps started count
            // towards the spacing; a killed one never comes here.
            const std::string* key = state_.modules.KeyOf(it->second.ExePath);
            const ModuleEntry* module = key != nullptr ? state_.modules.Find(*key) : nullptr;
            Death death{std::string(), false, it->second.StartTick};
            if (module != nullptr && module->ControlEnabled != 0 && module->Armed != 0 && module->Copies != 0) {
                death.key = *key;
                death.quick = !NoteStartDelayOver(it->second, module->StartDelay, system_.Now());
            }
            state_.alive.erase(it);
            return death;
        },
        [&](const Death& death) {
            if (!death.key.empty()) NoteDeath(death.key, death.quick, death.startedAt);
            return WalkOn::FromStart;
        });
}

void SupervisionEngine::NoteDeath(const std::string& key, bool quick, Tick startedAt) {
    std::uint32_t delayMs = 0;
    if (crashLoops_.OnDeath(key, quick, startedAt, system_.Now(), delayMs) == CrashLoopChange::Begun) {
        system_.Log(EngineEvent::CrashLoopBegun, delayMs / 1000, key);
    }
}

void SupervisionEngine::EndSteadyCrashLoops() {
    std::vector<std::string> steady;
    {
        Lock lock(state_.lock);
        const Tick now = system_.Now();
        crashLoops_.ForEachProgram([&](const std::string& key) {
            const ModuleEntry* module = state_.modules.Find(key);
            if (module == nullptr || module->ControlEnabled == 0 || module->Armed == 0 || module->Copies == 0) {
                steady.push_back(key);
                return;
            }
            const std::uint64_t up = std::uint64_t{module->StartDelay} + module->CheckInterval;
            const std::uint32_t span = up < kLongestTickSpan ? static_cast<std::uint32_t>(up) : kLongestTickSpan;
            for (const auto& alive : state_.alive) {
                if (state_.modules.SamePath(alive.second.ExePath, key) &&
                    SpanElapsed(alive.second.StartTick, span, now)) {
                    steady.push_back(key);
                    return;
                }
            }
        });
    }
    for (const std::string& key : steady) {
        if (crashLoops_.End(key)) system_.Log(EngineEvent::CrashLoopEnded, 0, key);
    }
}

void SupervisionEngine::DiscoverAndPing() {
    const ServerIdentity server = Identity();
    // Only processes of listed programs are visited, never the server's own.
    WalkSharedTable(
        system_, state_.lock, state_.snapshot, PauseBefore::EachAction,
        [&](ProcessSnapshot::iterator it, DeferredEvents&) -> std::optional<std::pair<std::uint32_t, std::string>> {
            if (state_.modules.Find(it->second) == nullptr ||
                IsProtectedProgram(it->first, it->second, server, state_.modules)) {
                return std::nullopt;
            }
            return *it;
        },
        [&](const std::pair<std::uint32_t, std::string>& process) {
            const std::uint32_t processId = process.first;
            const std::string& path = process.second;
            bool ping = false;
            bool begun = false;
            {
                Lock lock(state_.lock);
                const ModuleEntry* module = state_.modules.Find(path);
                if (module == nullptr) return WalkOn::Next;  // removed by the user meanwhile
                auto alive = state_.alive.find(processId);
                if (alive == state_.alive.end()) {
                    state_.alive[processId] = NewAliveEntry(path, module->CheckInterval, system_.Now());
                    begun = true;
                } else {
                    ping = module->NoAliveSupport != 0;
                }
            }
            if (begun) system_.Log(EngineEvent::ControlBegun, processId, path);
            if (ping && !system_.PingWindow(processId)) {
                // Without a window there is nothing to ask: the process counts as alive.
                Lock lock(state_.lock);
                auto alive = state_.alive.find(processId);
                if (alive != state_.alive.end()) alive->second.LastAlive = system_.Now();
            }
            return WalkOn::Next;
        });
}

void SupervisionEngine::KeepCopiesStarted() {
    const ServerIdentity server = Identity();
    WalkSharedTable(
        system_, state_.lock, state_.modules, PauseBefore::EachEntry,
        [&](ModuleList::Map::iterator it, DeferredEvents&) -> std::optional<std::pair<std::string, ModuleEntry>> {
            const ModuleEntry& entry = it->second;
            if (entry.ControlEnabled == 0 || entry.Armed == 0 || entry.Copies == 0) return std::nullopt;
            if (state_.modules.SamePath(it->first, server.executablePath)) return std::nullopt;
            // A copy waiting for its recovery program is started by its own restart.
            std::uint32_t running = RecoveriesOf(it->first);
            for (const auto& alive : state_.alive) {
                if (state_.modules.SamePath(alive.second.ExePath, it->first)) ++running;
            }
            if (running >= entry.Copies) return std::nullopt;
            if (!crashLoops_.MayStart(it->first, system_.Now())) return std::nullopt;
            return *it;
        },
        [&](const std::pair<std::string, ModuleEntry>& program) {
            // At most one copy per program and sweep.
            StartCopy(program.first, program.second);
            return WalkOn::Next;
        });
}

void SupervisionEngine::StartCopy(const std::string& key, const ModuleEntry& module) {
    if (module.CopyBeforeStart != 0) RestoreFiles(key, module, system_.CopyingCaption());
    std::uint32_t processId = 0;
    if (system_.StartProgram(key, module.Parameters, processId)) {
        {
            Lock lock(state_.lock);
            state_.alive[processId] = NewAliveEntry(key, module.CheckInterval, system_.Now());
        }
        system_.Log(EngineEvent::ControlBegun, processId, key);
    } else {
        system_.Log(EngineEvent::FileNotFound, 0, key);
        {
            // Until the user switches it on again, no further starts.
            Lock lock(state_.lock);
            ModuleEntry* listed = state_.modules.Find(key);
            if (listed != nullptr) listed->ControlEnabled = 0;
        }
        system_.ReportStartFailure(key);
    }
}

}  // namespace mrwd
