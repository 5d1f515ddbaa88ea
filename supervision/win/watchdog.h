// CWatchDog: the supervision engine's thread. Every 2 seconds while
// supervision is on it sweeps the processes, checks the clock and judges every
// supervised process; between cycles it delivers the answers to window pings,
// and sweeps at once when a supervised process dies.
// It also keeps the reboot marker that tells the next start whether this run
// ended in order.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

#include "base/core/settings.h"
#include "base/core/ui_events.h"
#include "base/win/event_log.h"
#include "base/win/settings_store.h"
#include "base/win/thread.h"
#include "notify/win/daily_log_mail.h"
#include "notify/win/notifications.h"
#include "supervision/core/engine.h"
#include "supervision/win/process_end_watch.h"
#include "supervision/win/win_engine_system.h"

namespace mrwd {

constexpr DWORD kEngineCyclePeriodMs = 2000;

class CWatchDog final : public CThread {
public:
    CWatchDog(SupervisionState& state, const EngineServices& services, std::atomic<bool>& supervisionOn);
    // Stops the thread, then deletes the reboot marker: an orderly end.
    ~CWatchDog() override;

    // Alive messages and the user's switch reach the engine through this.
    SupervisionEngine& Engine() { return engine_; }

    const std::string& MarkerPath() const { return markerPath_; }
    // The session ends in order: the marker goes at once (Windows may end
    // the process before the thread has stopped), and is not made again.
    void DeleteRebootMarker();

    void Run() override;

private:
    void CheckRebootMarker();
    void RunCycle();
    void OnProcessesEnded();

    SupervisionState& state_;
    std::atomic<bool>& supervisionOn_;
    std::string markerPath_;
    std::mutex markerLock_;
    bool markerDeleted_ = false;
    WinEngineSystem system_;
    SupervisionEngine engine_;
    DailyLogMail dailyLog_;
    ProcessEndWatch endWatch_;
};

}  // namespace mrwd
