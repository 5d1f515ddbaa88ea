// The check pass and the failure actions: a supervised process silent past
// its interval is judged hung, killed with what it started, and followed by
// its program's recovery program, the restore of its files and the start of
// a replacement; or, past its limit, it brings a reboot.
#include "supervision/core/engine.h"

#include <mutex>
#include <optional>
#include <utility>

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

}  // namespace mrwd
