#include "engine.h"

#include <iterator>
#include <mutex>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "base/core/path_rules.h"
#include "supervision/core/deferred_events.h"
#include "supervision/core/engine_rules.h"
#include "supervision/core/protected_programs.h"
#include "supervision/core/shared_table_walk.h"

namespace mrwd {
namespace {

using Lock = std::unique_lock<std::mutex>;

// Whether a supervised process has failed: past its grace, silent past its
// interval, and its program under control. `actionRan`: a failure action
// held the engine up this cycle.
bool HasFailed(AliveEntry& entry, const ModuleEntry& listed, bool actionRan, Tick now) {
    // A fresh process gets one full check interval before it is judged. Once
    // over, the grace stays over: ticks compare only over 24.8 days, and a
    // program that has run longer must not count as fresh again.
    if (!entry.GraceOver) {
        if (!SpanElapsed(entry.StartTick, listed.CheckInterval, now)) return false;
        entry.GraceOver = true;
    }
    // A failure action held the engine up: nobody could be heard meanwhile.
    if (actionRan) entry.LastAlive = now;
    if (!SpanElapsed(entry.LastAlive, entry.AliveInterval, now)) return false;
    if (actionRan) return false;
    return listed.ControlEnabled != 0 && listed.Armed != 0;
}

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

bool SupervisionEngine::CheckPass() {
    FinishRecoveries();
    CheckPassState pass;
    // Supervision switched off (or the server unloading) mid-pass: nothing
    // more is judged, killed or started.
    const bool finished = WalkSharedTable(
        system_, state_.lock, state_.alive, PauseBefore::EachEntry,
        [&](AliveTable::iterator it, DeferredEvents& events) {
            return JudgeEntry(it->first, it->second, pass, events);
        },
        [&](const HungProcess& hung) {
            if (!EndHungProcess(hung)) return WalkOn::Next;
            RunRecovery(hung);
            return WalkOn::FromStart;
        });
    if (!finished) return false;
    system_.RefreshMainDialog();
    return pass.reboot;
}

std::optional<SupervisionEngine::HungProcess> SupervisionEngine::JudgeEntry(std::uint32_t processId,
                                                                           AliveEntry& entry,
                                                                           CheckPassState& pass,
                                                                           DeferredEvents& events) {
    const std::string* listedKey = state_.modules.KeyOf(entry.ExePath);
    if (listedKey == nullptr) return std::nullopt;
    const ModuleEntry& listed = *state_.modules.Find(entry.ExePath);
    const Tick now = system_.Now();

    NoteStartDelayOver(entry, listed.StartDelay, now);
    if (pass.rebootDecided.count(processId) != 0) return std::nullopt;
    if (!HasFailed(entry, listed, state_.failureActionInProgress, now)) return std::nullopt;

    // The process has failed.
    const bool allLimitsReached = listed.RebootAfter != 0 && entry.Failures >= listed.RebootAfter &&
                                  listed.RunAfter != -1 && LimitReached(entry.Failures, listed.RunAfter) &&
                                  listed.CopyAfter != -1 && LimitReached(entry.Failures, listed.CopyAfter);
    if (!allLimitsReached) ++entry.Failures;

    if (listed.RebootAfter != 0 && entry.Failures >= listed.RebootAfter) {
        // Restarting has not helped: the computer is rebooted, the process left as it is.
        if (!pass.reboot) {
            events.Log(EngineEvent::RebootProgramHang, 0, entry.ExePath);
            if (settings_.NotifyReboot != 0) events.Notify(EngineNotice::ProgramHang, 0, entry.ExePath);
        }
        pass.reboot = true;
        pass.rebootDecided.insert(processId);
        // Should the reboot fail, the program is judged again one interval
        // from now, not at every cycle.
        entry.LastAlive = now;
        return std::nullopt;
    }
    events.Log(EngineEvent::ProgramRestart, entry.Failures, entry.ExePath);
    // One mail for a process that cannot be killed, however long it hangs.
    if (listed.Notify != 0 && entry.Failures >= listed.NotifyAfter && !entry.KillRefused) {
        events.Notify(EngineNotice::ProgramRestart, entry.Failures, entry.ExePath);
    }
    return HungProcess{processId, *listedKey, listed, entry};
}

bool SupervisionEngine::EndHungProcess(const HungProcess& hung) {
    std::uint32_t error = 0;
    const bool spared = EndDescendants(hung.processId);
    if (!system_.Terminate(hung.processId, !spared, error)) {
        // Not ours to kill (another account's, an elevated one). It keeps its
        // count, so that the reboot limit is still reached, and is judged
        // again one interval from now, not at every cycle. Nothing is started
        // beside it.
        bool first = false;
        {
            Lock lock(state_.lock);
            auto it = state_.alive.find(hung.processId);
            if (it != state_.alive.end()) {
                first = !it->second.KillRefused;
                it->second.KillRefused = true;
                it->second.LastAlive = system_.Now();
            }
        }
        if (first) system_.Log(EngineEvent::KillFailed, error, hung.entry.ExePath);
        return false;
    }
    Lock lock(state_.lock);
    state_.alive.erase(hung.processId);
    return true;
}

bool SupervisionEngine::EndDescendants(std::uint32_t processId) {
    const ServerIdentity server = Identity();
    bool spared = false;
    for (const std::uint32_t id : system_.Descendants(processId)) {
        std::string path;
        {
            Lock lock(state_.lock);
            auto named = state_.snapshot.find(id);
            if (named != state_.snapshot.end()) path = named->second;
        }
        // One whose executable cannot be read is another account's or the
        // system's: it is left alone.
        if (path.empty() && !system_.ExecutablePath(id, path)) {
            spared = true;
            continue;
        }
        bool isProtected = false;
        {
            Lock lock(state_.lock);
            isProtected = IsProtectedProgram(id, path, server, state_.modules);
        }
        if (isProtected) {
            spared = true;
            continue;
        }
        // One that cannot be ended is left; the hung process still is.
        std::uint32_t error = 0;
        system_.Terminate(id, false, error);
    }
    return spared;
}

void SupervisionEngine::RunRecovery(const HungProcess& hung) {
    std::uint32_t token = 0;
    if (hung.module.RunAfter != -1 && LimitReached(hung.entry.Failures, hung.module.RunAfter) &&
        system_.StartRecovery(hung.module.RunPath, token)) {
        // The rest waits for the recovery program; the others are judged
        // meanwhile, as they would be without it.
        recoveries_.push_back(Recovery{hung.key, hung.module, hung.entry, token, system_.Now()});
    } else {
        RestoreAndStart(hung.key, hung.module, hung.entry);
    }
}

void SupervisionEngine::RestoreFiles(const std::string& key, const ModuleEntry& module,
                                     const std::string& progressText) {
    if (!IsFullFolderPath(module.BackupFolder) || !IsFullFolderPath(module.RestoreFolder)) {
        // The dialog never stores such a folder; a hand-edited or cut-short
        // record may. Copied, it would take the root of the current drive or
        // fill the server's current folder.
        if (copyRefused_.insert(key).second) system_.Log(EngineEvent::CopyFoldersRefused, 0, key);
        return;
    }
    system_.RestoreFiles(module, progressText);
}

void SupervisionEngine::RestoreAndStart(const std::string& key, const ModuleEntry& module, const AliveEntry& hung) {
    const bool restored = module.CopyAfter != -1 && LimitReached(hung.Failures, module.CopyAfter);
    if (restored) {
        state_.failureActionInProgress = true;
        RestoreFiles(key, module, system_.RestoreCaption(hung.ExePath));
    }
    // Files restored before every start the engine makes, this one too.
    if (module.CopyBeforeStart != 0 && !restored) RestoreFiles(key, module, system_.CopyingCaption());

    // The replacement inherits the interval and the failure count.
    AliveEntry replacement = NewAliveEntry(hung.ExePath, hung.AliveInterval, system_.Now());
    replacement.Failures = hung.Failures;
    std::uint32_t newProcessId = 0;
    if (system_.StartProgram(key, module.Parameters, newProcessId)) {
        Lock lock(state_.lock);
        state_.alive[newProcessId] = std::move(replacement);
    }
}

void SupervisionEngine::FinishRecoveries() {
    for (auto it = recoveries_.begin(); it != recoveries_.end();) {
        if (!system_.Pause()) return;
        const std::uint32_t bound = it->module.CheckInterval > kRecoveryWaitMs ? it->module.CheckInterval
                                                                               : kRecoveryWaitMs;
        const bool ended = system_.RecoveryEnded(it->token);
        if (!ended && !SpanElapsed(it->started, bound, system_.Now())) {
            ++it;
            continue;
        }
        if (!ended) system_.Log(EngineEvent::RecoveryOverdue, bound / 1000, it->module.RunPath);
        system_.ReleaseRecovery(it->token);
        const Recovery recovery = std::move(*it);
        it = recoveries_.erase(it);
        bool stillControlled = false;
        {
            // Removed from the list or switched off meanwhile: not started again.
            Lock lock(state_.lock);
            const ModuleEntry* listed = state_.modules.Find(recovery.key);
            stillControlled = listed != nullptr && listed->ControlEnabled != 0;
        }
        if (stillControlled) RestoreAndStart(recovery.key, recovery.module, recovery.hung);
    }
}

std::uint32_t SupervisionEngine::RecoveriesOf(const std::string& key) const {
    std::uint32_t count = 0;
    for (const Recovery& recovery : recoveries_) {
        if (state_.modules.SamePath(recovery.key, key)) ++count;
    }
    return count;
}

bool SupervisionEngine::NextJudgement(Tick& when) {
    bool found = false;
    Lock lock(state_.lock);
    for (const auto& alive : state_.alive) {
        const AliveEntry& entry = alive.second;
        const ModuleEntry* module = state_.modules.Find(entry.ExePath);
        if (module == nullptr || module->ControlEnabled == 0 || module->Armed == 0) continue;
        // Judged once the span lies before the moment, so one tick after its end.
        Tick due = SpanEnd(entry.LastAlive, entry.AliveInterval) + 1;
        if (!entry.GraceOver) {
            const Tick graceEnd = SpanEnd(entry.StartTick, module->CheckInterval) + 1;
            if (TickBefore(due, graceEnd)) due = graceEnd;
        }
        if (!found || TickBefore(due, when)) when = due;
        found = true;
    }
    return found;
}

bool SupervisionEngine::ClockCheck() {
    if (settings_.System == 0) return false;
    const Tick now = system_.Now();
    const bool stands = now == state_.lastClockTick;
    if (stands) {
        system_.Log(EngineEvent::RebootSystemHang, 0, std::string());
        if (settings_.NotifyReboot != 0) system_.Notify(EngineNotice::SystemHang, 0, std::string(), true);
    }
    state_.lastClockTick = system_.Now();
    return stands;
}

void SupervisionEngine::ReportHardwareReset() {
    if (settings_.NotifyReboot != 0) {
        system_.Log(EngineEvent::HardwareReboot, 0, std::string());
        system_.Notify(EngineNotice::HardwareReboot, 0, std::string(), false);
    }
    system_.ShowHardwareReboot();
}

bool SupervisionEngine::RebootSequence() {
    // From here the card stays armed: it gets its reset order, never a release.
    system_.AnnounceReboot();
    const bool mail = settings_.NotifyReboot != 0;
    if (settings_.HardReboot != 0) {
        system_.Log(EngineEvent::CardReboot, 0, std::string());
        if (mail) system_.Notify(EngineNotice::CardReboot, 0, std::string(), true);
        // Mails raised before (the hang, a restart) leave first: the reset would cut them off.
        system_.WaitForNotices();
        // Unloaded meanwhile: nothing more is begun. The card, never
        // released once the reboot was announced, still counts down.
        if (system_.Stopping()) return true;
        if (system_.OrderResetThroughCard()) {
            system_.EndServer();
            return true;
        }
        if (system_.Stopping()) return true;
        // No card (or a silent one): Windows is asked instead.
        system_.Log(EngineEvent::CardRebootFailed, 0, std::string());
    }
    // The card's count-down starts before Windows goes down, should it not.
    const bool cardCountsDown = system_.OrderLastHeartbeat();
    if (settings_.HardReboot == 0) {
        system_.Log(EngineEvent::SoftwareReboot, 0, std::string());
        if (mail) system_.Notify(EngineNotice::SoftwareReboot, 0, std::string(), true);
        system_.WaitForNotices();
    }
    if (system_.Stopping()) return true;
    std::uint32_t error = 0;
    if (system_.RebootWindows(error)) {
        system_.EndServer();
        return true;
    }
    system_.Log(EngineEvent::SoftwareRebootFailed, error, std::string());
    // A card that took its last heartbeat resets the computer in a few
    // seconds; without one the server simply goes on watching.
    if (!cardCountsDown) system_.CancelReboot();
    return false;
}

}  // namespace mrwd
