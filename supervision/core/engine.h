// The supervision engine's decisions: the alive protocol, the sweep that
// discovers, pings and starts processes, the clock check and the check pass
// that restarts hung programs. Threads, waits and system calls stay outside,
// behind EngineSystem; the tables are shared through SupervisionState. One
// class, its methods in a file per part: engine_alive, engine_sweep,
// engine_check_pass and engine_reboot.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/core/settings.h"
#include "supervision/core/crash_loop.h"
#include "supervision/core/engine_system.h"
#include "supervision/core/protected_programs.h"
#include "supervision/core/supervision_state.h"

namespace mrwd {

class DeferredEvents;

// The interval a program announces, in ms: at least 10 s, and never longer
// than the longest span two ticks can be compared over (so an absurd value
// saturates instead of wrapping into a short one).
std::uint32_t IntervalFromSeconds(std::uint64_t seconds);

// How long a hung program waits for its recovery program before its files
// are restored and it is started again all the same; a program whose check
// interval is longer waits that long.
constexpr std::uint32_t kRecoveryWaitMs = 5 * 60 * 1000;

class SupervisionEngine {
public:
    SupervisionEngine(SupervisionState& state, EngineSystem& system, const Settings& settings)
        : state_(state), system_(system), settings_(settings) {}

    // "app.alive.msg" (user-interface thread): `seconds` until the next message
    // (0 = the program ends its control), `processId` the sender. Heartbeats
    // and ends are taken at once. False for a process not yet under control:
    // its registration looks up its executable, which may take long on a
    // network share or a slow disk, and so is left to RegisterProcess on the
    // engine thread.
    bool OnAliveMessage(std::uint64_t seconds, std::uint32_t processId);
    // The registration of a process that sent an alive message (engine thread).
    void RegisterProcess(std::uint64_t seconds, std::uint32_t processId);

    // A pinged window answered (engine thread).
    void OnPingAnswered(std::uint32_t processId);

    // Empties the table of supervised processes (supervision switched on).
    void ForgetProcesses();

    // The processes under control, whose ends the engine thread waits for.
    std::vector<std::uint32_t> SupervisedProcessIds();
    // A process under control has ended (engine thread). True when the sweep
    // should run at once rather than at the next tick: the process belonged to
    // a controlled program that had not announced its end and it ran past its
    // start delay. One that dies sooner waits for the regular sweep, so a
    // program that crashes at start is not started more often than before.
    bool EndCallsForSweep(std::uint32_t processId);

    // The earliest moment a supervised process's interval runs out, so that
    // the engine thread wakes then and judges it (Sweep and CheckPass) rather
    // than at the next cycle. False when nothing is supervised.
    bool NextJudgement(Tick& when);

    // One cycle's work (engine thread). Each of the last two returns true when
    // the computer must be rebooted.
    void Sweep();
    bool ClockCheck();
    bool CheckPass();

    // The reboot marker of the previous run was found: it ended in a reset.
    void ReportHardwareReset();
    // After a pass asked for a reboot (supervision already off): the reboot
    // mail, the mails raised before it, then the reboot by the card or by
    // software, then the orderly end of the server. A card that does not
    // answer its order leaves the reboot to Windows; when Windows refuses too,
    // the failure is logged and false returned: the server goes on watching.
    // True when the server ends (also when it was unloaded meanwhile: then
    // no order is given, and the armed card does the reset).
    bool RebootSequence();

private:
    // A process judged hung, with what its failure actions need.
    struct HungProcess {
        std::uint32_t processId;
        std::string key;  // its program's list key
        ModuleEntry module;
        AliveEntry entry;  // its failure count raised by this judgement
    };
    // What a check pass carries across its starts over: whether a reboot is
    // due, and the processes that brought it, which a pass started over after
    // a restart must not judge again (one decision, one line, one mail).
    struct CheckPassState {
        bool reboot = false;
        std::set<std::uint32_t> rebootDecided;
    };

    // The alive message's cases, the lock held for the last two. A program
    // ending its control; a heartbeat of a process under control; a process
    // not under control yet: true when it was refused before, false when it
    // is left to RegisterProcess.
    void EndControl(std::uint32_t processId);
    void TakeHeartbeat(std::uint32_t processId, AliveEntry& entry, std::uint32_t interval, DeferredEvents& events);
    bool TakeNewProcessMessage(std::uint32_t processId);

    // The server itself, never put under control.
    ServerIdentity Identity();
    void PruneEndedProcesses();
    // A copy that died is noted for the spacing of its program's starts.
    void NoteDeath(const std::string& key, bool quick, Tick startedAt);
    // Programs with a copy up past its start delay and check interval, or no
    // longer kept started, are spaced no more.
    void EndSteadyCrashLoops();
    void DiscoverAndPing();
    void KeepCopiesStarted();
    // Starts one copy of a listed program; a program that cannot be started
    // is switched off.
    void StartCopy(const std::string& key, const ModuleEntry& module);

    // Judges one supervised process (lock held): the hung one to end, or
    // nothing when it lives, is not judged yet or brings a reboot.
    std::optional<HungProcess> JudgeEntry(std::uint32_t processId, AliveEntry& entry, CheckPassState& pass,
                                          DeferredEvents& events);
    // Kills a hung process with what it started. False when it could not be
    // killed: it stays under control, and nothing is started beside it.
    bool EndHungProcess(const HungProcess& hung);
    // Ends what a hung process started, deepest first, but never the server,
    // another process of its executable or one of the system's own. True
    // when one was spared: the hung process's job is then not ended whole.
    bool EndDescendants(std::uint32_t processId);
    // Copies the program's backup folder into its restore folder, unless a
    // damaged record names one of them by less than a full path.
    void RestoreFiles(const std::string& key, const ModuleEntry& module, const std::string& progressText);
    // After the kill: the recovery program when the count has reached its
    // limit, else at once the actions that follow it.
    void RunRecovery(const HungProcess& hung);
    // The failure actions after the recovery program: the restore, then the
    // start of a replacement that inherits the count.
    void RestoreAndStart(const std::string& key, const ModuleEntry& module, const AliveEntry& hung);
    // Hung programs whose recovery program has ended or run past its bound go on.
    void FinishRecoveries();
    // Hung programs of this list key waiting for their recovery program.
    std::uint32_t RecoveriesOf(const std::string& key) const;

    // A killed program waiting for its recovery program. It counts as one of
    // its program's copies meanwhile, so none is started in its place.
    struct Recovery {
        std::string key;
        ModuleEntry module;
        AliveEntry hung;
        std::uint32_t token;
        Tick started;
    };

    SupervisionState& state_;
    EngineSystem& system_;
    const Settings& settings_;
    // Programs whose copy folders were refused (logged once each; engine thread only).
    std::set<std::string> copyRefused_;
    // The recovery programs running (engine thread only).
    std::vector<Recovery> recoveries_;
    // Programs dying at their start (engine thread only).
    CrashLoopSpacing crashLoops_;
};

}  // namespace mrwd
