// CWatchDog: the supervision engine's thread. Every 2 seconds while
// supervision is on it sweeps the processes, checks the clock and judges every
// supervised process; between cycles it delivers the answers to window pings.
// It also keeps the reboot marker that tells the next start whether this run
// ended in order.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "base/core/controller_commands.h"
#include "base/core/settings.h"
#include "base/core/ui_events.h"
#include "base/win/event_log.h"
#include "base/win/settings_store.h"
#include "base/win/thread.h"
#include "notify/win/daily_log_mail.h"
#include "notify/win/notifications.h"
#include "supervision/core/engine.h"
#include "supervision/win/win_engine_system.h"

namespace mrwd {

constexpr DWORD kEngineCyclePeriodMs = 2000;

class CWatchDog final : public CThread {
public:
    // `controller` may be null (no reboot controller in this process).
    CWatchDog(SupervisionState& state, const EngineServices& services, std::atomic<bool>& supervisionOn,
              ControllerCommands* controller);
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
    EngineServices services_;
    std::atomic<bool>& supervisionOn_;
    ControllerCommands* controller_;
    std::string markerPath_;
    WinEngineSystem system_;
    SupervisionEngine engine_;
    DailyLogMail dailyLog_;
};

}  // namespace mrwd
