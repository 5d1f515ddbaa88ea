// CWatchDog: the supervision engine's thread. Every 2 seconds while
// supervision is on it sweeps the processes, checks the clock and judges every
// supervised process; between cycles it delivers the answers to window pings,
// sweeps at once when a supervised process dies, and judges a process at the
// moment its interval runs out.
// It also keeps the reboot marker that tells the next start whether this run
// ended in order.
#pragma once

#include <windows.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "base/core/settings.h"
#include "base/core/supervision_flag.h"
#include "base/win/event_log.h"
#include "base/win/settings_store.h"
#include "base/win/thread.h"
#include "notify/win/daily_log_mail.h"
#include "notify/win/notifications.h"
#include "supervision/core/engine.h"
#include "supervision/win/process_end_watch.h"
#include "supervision/win/reboot_marker.h"
#include "supervision/win/win_engine_system.h"

namespace mrwd {

constexpr DWORD kEngineCyclePeriodMs = 2000;

class CWatchDog final : public CThread {
public:
    // `marker` is made when the thread begins and deleted at the end. The
    // reboot sequence pauses supervision through `supervision`.
    CWatchDog(SupervisionState& state, const EngineServices& services, SupervisionFlag& supervision,
              RebootMarker& marker);
    // Stops the thread, then deletes the reboot marker: an orderly end.
    ~CWatchDog() override;

    // Alive messages and the user's switch reach the engine through this.
    SupervisionEngine& Engine() { return engine_; }
    // The alive message of a process not yet under control (any thread): it
    // is registered on this thread, which may wait for the file system.
    void QueueRegistration(std::uint64_t seconds, std::uint32_t processId);

    void Run() override;

private:
    bool SupervisionOn() const { return supervision_.Value(); }
    void CheckRebootMarker();
    void RunCycle();
    // A supervised process's interval ran out between cycles: it is judged now.
    void RunDueJudgement();
    // Waits on the ends of the processes under control (none while supervision is off).
    void FollowSupervised();
    // A pass asked for a reboot: the sequence, and watching again should it fail.
    void RebootIfDecided(bool reboot);
    // The moment to wake for a judgement before the cycle at `cycle`; false when none is due sooner.
    bool JudgementBefore(Tick cycle, Tick& when);
    void OnProcessesEnded();
    void RegisterQueuedProcesses();

    SupervisionState& state_;
    SupervisionFlag& supervision_;
    RebootMarker& marker_;
    WinEngineSystem system_;
    SupervisionEngine engine_;
    DailyLogMail dailyLog_;
    ProcessEndWatch endWatch_;
    // Registrations waiting for this thread: one per process, its latest
    // interval (so a process that keeps asking fills nothing).
    std::mutex registrationsLock_;
    std::map<std::uint32_t, std::uint64_t> registrations_;
    UniqueHandle registrationsWaiting_;
    // When the last judgement between cycles ran: a moment not later than it
    // was judged already, and waking for it again would only spin.
    Tick lastJudgement_ = 0;
};

}  // namespace mrwd
