#include "engine.h"

#include <iterator>
#include <set>
#include <utility>
#include <vector>

#include "base/core/path_rules.h"
#include "supervision/core/protected_programs.h"

namespace mrwd {
namespace {

using Lock = std::unique_lock<std::mutex>;

// Tick arithmetic over a span the comparison can represent: a stored
// interval above 24.8 days counts as 24.8 days.
Tick After(Tick start, std::uint32_t span) { return start + (span < kLongestTickSpan ? span : kLongestTickSpan); }

// True once `start` + `span` lies before `now`.
bool Elapsed(Tick start, std::uint32_t span, Tick now) { return TickBefore(After(start, span), now); }

// Noted once, like the grace of a check interval: a process ending after
// months must still count as past its start delay.
bool NoteStartDelayOver(AliveEntry& entry, std::uint32_t startDelay, Tick now) {
    if (!entry.StartDelayOver && Elapsed(entry.StartTick, startDelay, now)) entry.StartDelayOver = true;
    return entry.StartDelayOver;
}

bool Reached(std::uint32_t failures, std::int32_t limit) { return failures >= static_cast<std::uint32_t>(limit); }

// Log lines and mails decided while the tables are locked go out after the
// lock is released: writing them may wait on the log file or the mail lock.
class Outbox {
public:
    explicit Outbox(EngineSystem& system) : system_(system) {}
    ~Outbox() { Flush(); }

    void Log(EngineEvent event, std::uint32_t number, const std::string& path) {
        items_.push_back(Item{true, event, EngineNotice::ProgramRestart, number, path});
    }
    void Notify(EngineNotice notice, std::uint32_t number, const std::string& path) {
        items_.push_back(Item{false, EngineEvent::ProcessRegistered, notice, number, path});
    }
    void Flush() {
        for (const Item& item : items_) {
            if (item.isLog) {
                system_.Log(item.event, item.number, item.path);
            } else {
                system_.Notify(item.notice, item.number, item.path, false);
            }
        }
        items_.clear();
    }

private:
    struct Item {
        bool isLog;
        EngineEvent event;
        EngineNotice notice;
        std::uint32_t number;
        std::string path;
    };
    EngineSystem& system_;
    std::vector<Item> items_;
};

AliveEntry NewAliveEntry(const std::string& path, std::uint32_t interval, Tick now) {
    AliveEntry entry;  // its grace starts now
    entry.StartTick = now;
    entry.LastAlive = now;
    entry.AliveInterval = interval;
    entry.Failures = 0;
    entry.ExePath = path;
    return entry;
}

}  // namespace

std::uint32_t IntervalFromSeconds(std::uint64_t seconds) {
    const std::uint64_t longest = kLongestTickSpan;
    const std::uint64_t ms = seconds > longest / 1000 ? longest : seconds * 1000;
    return static_cast<std::uint32_t>(ms < kMinimumCheckInterval ? kMinimumCheckInterval : ms);
}

bool SupervisionEngine::OnAliveMessage(std::uint64_t seconds, std::uint32_t processId) {
    Outbox outbox(system_);
    if (seconds == 0) {
        {
            Lock lock(state_.lock);
            auto it = state_.alive.find(processId);
            if (it == state_.alive.end()) return true;
            outbox.Log(EngineEvent::ProcessReleased, processId, it->second.ExePath);
            // The program says it is ending: it is not restarted, nor started
            // again as a missing copy, until it registers again.
            ModuleEntry* module = state_.modules.Find(it->second.ExePath);
            if (module != nullptr && module->NoAliveSupport == 0) module->Armed = 0;
        }
        outbox.Flush();
        system_.RefreshMainDialog();
        return true;
    }

    const std::uint32_t interval = IntervalFromSeconds(seconds);
    Lock lock(state_.lock);
    auto it = state_.alive.find(processId);
    if (it == state_.alive.end()) {
        // Refused once: asked again, it is refused without a look.
        return state_.refusedProcesses.count(processId) != 0;
    }
    // A heartbeat.
    ModuleEntry* module = state_.modules.Find(it->second.ExePath);
    if (module == nullptr) return true;
    module->AliveSeen = 1;
    // A program checked through its window lives by the pings alone.
    if (module->NoAliveSupport != 0) return true;
    it->second.LastAlive = system_.Now();
    it->second.AliveInterval = interval;
    module->CheckInterval = interval;
    if (module->Armed == 0) {
        module->Armed = 1;
        outbox.Log(EngineEvent::ProcessRegistered, processId, it->second.ExePath);
    }
    return true;
}

void SupervisionEngine::RegisterProcess(std::uint64_t seconds, std::uint32_t processId) {
    // Under control by now (found by a sweep, or an earlier message of its
    // own was taken first): the message is a heartbeat.
    if (OnAliveMessage(seconds, processId)) return;
    Outbox outbox(system_);
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
    outbox.Log(EngineEvent::ProcessRegistered, processId, path);
    outbox.Flush();

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
    bool erased = true;
    while (erased) {
        erased = false;
        std::uint32_t cursor = 0;
        bool first = true;
        for (;;) {
            if (!system_.Pause()) return;
            Lock lock(state_.lock);
            auto it = first ? state_.alive.begin() : state_.alive.upper_bound(cursor);
            if (it == state_.alive.end()) break;
            first = false;
            cursor = it->first;
            if (state_.snapshot.count(it->first) == 0) {
                // Only the deaths of copies the engine keeps started count
                // towards the spacing; a killed one never comes here.
                const std::string* key = state_.modules.KeyOf(it->second.ExePath);
                const ModuleEntry* module = key != nullptr ? state_.modules.Find(*key) : nullptr;
                std::string died;
                bool quick = false;
                const Tick startedAt = it->second.StartTick;
                if (module != nullptr && module->ControlEnabled != 0 && module->Armed != 0 && module->Copies != 0) {
                    died = *key;
                    quick = !NoteStartDelayOver(it->second, module->StartDelay, system_.Now());
                }
                state_.alive.erase(it);
                lock.unlock();
                if (!died.empty()) NoteDeath(died, quick, startedAt);
                erased = true;  // and start over from the first entry
                break;
            }
        }
    }
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
                if (state_.modules.SamePath(alive.second.ExePath, key) && Elapsed(alive.second.StartTick, span, now)) {
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
    std::uint32_t cursor = 0;
    bool first = true;
    for (;;) {
        std::string path;
        {
            // Only processes of listed programs are visited, never the server's own.
            Lock lock(state_.lock);
            auto it = first ? state_.snapshot.begin() : state_.snapshot.upper_bound(cursor);
            while (it != state_.snapshot.end() && (state_.modules.Find(it->second) == nullptr ||
                                                   IsProtectedProgram(it->first, it->second, server, state_.modules))) {
                ++it;
            }
            if (it == state_.snapshot.end()) break;
            first = false;
            cursor = it->first;
            path = it->second;
        }
        if (!system_.Pause()) return;

        bool ping = false;
        bool begun = false;
        {
            Lock lock(state_.lock);
            const ModuleEntry* module = state_.modules.Find(path);
            if (module == nullptr) continue;  // removed by the user meanwhile
            auto alive = state_.alive.find(cursor);
            if (alive == state_.alive.end()) {
                state_.alive[cursor] = NewAliveEntry(path, module->CheckInterval, system_.Now());
                begun = true;
            } else {
                ping = module->NoAliveSupport != 0;
            }
        }
        if (begun) system_.Log(EngineEvent::ControlBegun, cursor, path);
        if (ping && !system_.PingWindow(cursor)) {
            // Without a window there is nothing to ask: the process counts as alive.
            Lock lock(state_.lock);
            auto alive = state_.alive.find(cursor);
            if (alive != state_.alive.end()) alive->second.LastAlive = system_.Now();
        }
    }
}

void SupervisionEngine::KeepCopiesStarted() {
    const ServerIdentity server = Identity();
    std::string cursor;
    bool first = true;
    for (;;) {
        if (!system_.Pause()) return;
        std::string key;
        ModuleEntry module;
        {
            Lock lock(state_.lock);
            auto it = first ? state_.modules.begin() : state_.modules.After(cursor);
            if (it == state_.modules.end()) break;
            first = false;
            cursor = it->first;
            const ModuleEntry& entry = it->second;
            if (entry.ControlEnabled == 0 || entry.Armed == 0 || entry.Copies == 0) continue;
            if (state_.modules.SamePath(it->first, server.executablePath)) continue;
            // A copy waiting for its recovery program is started by its own restart.
            std::uint32_t running = RecoveriesOf(it->first);
            for (const auto& alive : state_.alive) {
                if (state_.modules.SamePath(alive.second.ExePath, it->first)) ++running;
            }
            if (running >= entry.Copies) continue;
            if (!crashLoops_.MayStart(it->first, system_.Now())) continue;
            key = it->first;
            module = entry;
        }

        // At most one copy per program and sweep.
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

void SupervisionEngine::RestoreAndStart(const std::string& key, const ModuleEntry& module, const AliveEntry& hung) {
    const bool restored = module.CopyAfter != -1 && Reached(hung.Failures, module.CopyAfter);
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
        if (!ended && !Elapsed(it->started, bound, system_.Now())) {
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

bool SupervisionEngine::CheckPass() {
    FinishRecoveries();
    bool reboot = false;
    // Processes that brought the reboot: a pass started over after a restart
    // must not judge them again (one decision, one line, one mail).
    std::set<std::uint32_t> rebootDecided;
    bool restart = true;
    while (restart) {
        restart = false;
        std::uint32_t cursor = 0;
        bool first = true;
        for (;;) {
            // Supervision switched off (or the server unloading) mid-pass:
            // nothing more is judged, killed or started.
            if (!system_.Pause()) return false;
            Outbox outbox(system_);
            std::uint32_t processId = 0;
            AliveEntry hung;
            std::string key;
            ModuleEntry module;
            {
                Lock lock(state_.lock);
                auto it = first ? state_.alive.begin() : state_.alive.upper_bound(cursor);
                if (it == state_.alive.end()) break;
                first = false;
                cursor = it->first;
                AliveEntry& entry = it->second;
                const std::string* listedKey = state_.modules.KeyOf(entry.ExePath);
                if (listedKey == nullptr) continue;
                const ModuleEntry& listed = *state_.modules.Find(entry.ExePath);
                const Tick now = system_.Now();

                NoteStartDelayOver(entry, listed.StartDelay, now);
                if (rebootDecided.count(cursor) != 0) continue;
                // A fresh process gets one full check interval before it is
                // judged. Once over, the grace stays over: ticks compare only
                // over 24.8 days, and a program that has run longer must not
                // count as fresh again.
                if (!entry.GraceOver) {
                    if (!Elapsed(entry.StartTick, listed.CheckInterval, now)) continue;
                    entry.GraceOver = true;
                }
                const bool actionRan = state_.failureActionInProgress;
                // A failure action held the engine up: nobody could be heard meanwhile.
                if (actionRan) entry.LastAlive = now;
                if (!Elapsed(entry.LastAlive, entry.AliveInterval, now)) continue;
                if (actionRan) continue;
                if (listed.ControlEnabled == 0 || listed.Armed == 0) continue;

                // The process has failed.
                const bool allLimitsReached = listed.RebootAfter != 0 && entry.Failures >= listed.RebootAfter &&
                                              listed.RunAfter != -1 && Reached(entry.Failures, listed.RunAfter) &&
                                              listed.CopyAfter != -1 && Reached(entry.Failures, listed.CopyAfter);
                if (!allLimitsReached) ++entry.Failures;

                if (listed.RebootAfter != 0 && entry.Failures >= listed.RebootAfter) {
                    // Restarting has not helped: the computer is rebooted, the process left as it is.
                    if (!reboot) {
                        outbox.Log(EngineEvent::RebootProgramHang, 0, entry.ExePath);
                        if (settings_.NotifyReboot != 0) outbox.Notify(EngineNotice::ProgramHang, 0, entry.ExePath);
                    }
                    reboot = true;
                    rebootDecided.insert(cursor);
                    // Should the reboot fail, the program is judged again one
                    // interval from now, not at every cycle.
                    entry.LastAlive = now;
                    continue;
                }
                outbox.Log(EngineEvent::ProgramRestart, entry.Failures, entry.ExePath);
                // One mail for a process that cannot be killed, however long it hangs.
                if (listed.Notify != 0 && entry.Failures >= listed.NotifyAfter && !entry.KillRefused) {
                    outbox.Notify(EngineNotice::ProgramRestart, entry.Failures, entry.ExePath);
                }
                processId = cursor;
                hung = entry;
                key = *listedKey;
                module = listed;
            }
            outbox.Flush();
            if (processId == 0) continue;

            std::uint32_t error = 0;
            const bool spared = EndDescendants(processId);
            if (!system_.Terminate(processId, !spared, error)) {
                // Not ours to kill (another account's, an elevated one). It
                // keeps its count, so that the reboot limit is still reached,
                // and is judged again one interval from now, not at every
                // cycle. Nothing is started beside it.
                bool first = false;
                {
                    Lock lock(state_.lock);
                    auto it = state_.alive.find(processId);
                    if (it != state_.alive.end()) {
                        first = !it->second.KillRefused;
                        it->second.KillRefused = true;
                        it->second.LastAlive = system_.Now();
                    }
                }
                if (first) system_.Log(EngineEvent::KillFailed, error, hung.ExePath);
                continue;
            }
            {
                Lock lock(state_.lock);
                state_.alive.erase(processId);
            }
            std::uint32_t token = 0;
            if (module.RunAfter != -1 && Reached(hung.Failures, module.RunAfter) &&
                system_.StartRecovery(module.RunPath, token)) {
                // The rest waits for the recovery program; the others are
                // judged meanwhile, as they would be without it.
                recoveries_.push_back(Recovery{key, module, hung, token, system_.Now()});
            } else {
                RestoreAndStart(key, module, hung);
            }
            restart = true;
            break;
        }
    }
    system_.RefreshMainDialog();
    return reboot;
}

bool SupervisionEngine::NextJudgement(Tick& when) {
    bool found = false;
    Lock lock(state_.lock);
    for (const auto& alive : state_.alive) {
        const AliveEntry& entry = alive.second;
        const ModuleEntry* module = state_.modules.Find(entry.ExePath);
        if (module == nullptr || module->ControlEnabled == 0 || module->Armed == 0) continue;
        // Judged once the span lies before the moment, so one tick after its end.
        Tick due = After(entry.LastAlive, entry.AliveInterval) + 1;
        if (!entry.GraceOver) {
            const Tick graceEnd = After(entry.StartTick, module->CheckInterval) + 1;
            if (TickBefore(due, graceEnd)) due = graceEnd;
        }
        if (!found || TickBefore(due, when)) when = due;
        found = true;
    }
    return found;
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
