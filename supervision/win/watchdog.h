// CWatchDog: the supervision engine's thread. Every 2 seconds while
// supervision is on it sweeps the processes, checks the clock and judges every
// supervised process; between cycles it delivers the answers to window pings.
// It also keeps the reboot marker that tells the next start whether this run
// ended in order.
#pragma once

#include <string>

#include "app/core/settings.h"
#include "app/win/thread.h"
#include "notify/win/daily_log_mail.h"
#include "supervision/core/engine.h"
#include "supervision/win/win_engine_system.h"

namespace mrwd {

constexpr DWORD kEngineCyclePeriodMs = 2000;

class CWatchDog final : public CThread {
public:
    CWatchDog(SupervisionState& state, const Settings& settings);
    // Stops the thread, then deletes the reboot marker: an orderly end.
    ~CWatchDog() override;

    // Alive messages and the user's switch reach the engine through this.
    SupervisionEngine& Engine() { return engine_; }

    const std::string& MarkerPath() const { return markerPath_; }

    void Run() override;

private:
    void CheckRebootMarker();
    void RunCycle();
    void RebootSequence();

    SupervisionState& state_;
    const Settings& settings_;
    std::string markerPath_;
    WinEngineSystem system_;
    SupervisionEngine engine_;
    DailyLogState dailyLog_;
};

}  // namespace mrwd
