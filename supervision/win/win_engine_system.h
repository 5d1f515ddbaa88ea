// The supervision engine's system on Windows: the real process calls, the
// event log, the shell copy, the notifications and the route to the window
// thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <map>

#include "base/core/controller_commands.h"
#include "base/core/settings.h"
#include "base/core/ui_events.h"
#include "base/win/event_log.h"
#include "base/win/handles.h"
#include "base/win/settings_store.h"
#include "notify/win/notifications.h"
#include "supervision/core/engine.h"
#include "supervision/core/process_tree.h"
#include "supervision/win/process_listing.h"
#include "supervision/win/started_programs.h"

namespace mrwd {

// What the engine is given by the server that creates it.
struct EngineServices {
    const Settings& settings;
    // Where programs that register are stored, and "LastDay".
    SettingsStore store;
    const EventLog& log;
    NotificationSender& notifications;
    UiEvents& ui;
    // The reboot controller; null when this process has none.
    ControllerCommands* controller = nullptr;
};

// Pings `window` of process `processId` without waiting for it: a window that
// answers proves its thread still runs, and the answer reaches the engine that
// AnswerPingsTo named on the calling thread. False when the ping was not sent.
bool SendPing(HWND window, std::uint32_t processId);

class WinEngineSystem final : public EngineSystem {
public:
    // `abandonWaits`: signalled when the engine must stop; a pass in
    // progress then ends. So does one once `supervisionOn` goes off.
    WinEngineSystem(const EngineServices& services, HANDLE abandonWaits, const std::atomic<bool>& supervisionOn);

    // Routes the answers to window pings sent from the calling thread.
    static void AnswerPingsTo(SupervisionEngine* engine);

    Tick Now() override;
    bool Pause() override;
    bool Stopping() override;
    void RebuildSnapshot(ProcessSnapshot& snapshot) override;
    bool ExecutablePath(std::uint32_t processId, std::string& path) override;
    bool PingWindow(std::uint32_t processId) override;
    bool StartProgram(const std::string& path, const std::string& parameters, std::uint32_t& processId) override;
    std::vector<std::uint32_t> Descendants(std::uint32_t processId) override;
    bool Terminate(std::uint32_t processId, bool wholeJob, std::uint32_t& error) override;
    bool StartRecovery(const std::string& path, std::uint32_t& token) override;
    bool RecoveryEnded(std::uint32_t token) override;
    void ReleaseRecovery(std::uint32_t token) override;
    void RestoreFiles(const ModuleEntry& entry, const std::string& progressText) override;
    std::string RestoreCaption(const std::string& path) override;
    std::string CopyingCaption() override;
    void Log(EngineEvent event, std::uint32_t number, const std::string& path) override;
    void Notify(EngineNotice notice, std::uint32_t number, const std::string& path, bool wait) override;
    void ReportStartFailure(const std::string& path) override;
    void StoreModule(const std::string& path, const ModuleEntry& entry) override;
    void RefreshMainDialog() override;
    void ShowHardwareReboot() override;
    std::uint32_t ServerProcessId() override;
    std::string ServerExecutablePath() override;
    void AnnounceReboot() override;
    bool OrderLastHeartbeat() override;
    bool OrderResetThroughCard() override;
    void CancelReboot() override;
    bool RebootWindows(std::uint32_t& error) override;
    void WaitForNotices() override;
    void EndServer() override;

private:
    EngineServices services_;
    HANDLE abandonWaits_;
    const std::atomic<bool>& supervisionOn_;
    std::string serverExecutable_;
    // The system's processes and the names of those seen by the last cycle
    // (engine thread only).
    ProcessListing listing_;
    ProcessNameCache names_;
    // The programs the engine started, with their jobs (engine thread
    // only), and whether a start without a job has been logged.
    StartedPrograms started_;
    bool jobRefusalLogged_ = false;
    // The recovery programs the engine follows, by token (engine thread only).
    std::map<std::uint32_t, UniqueHandle> recoveries_;
    std::uint32_t lastRecoveryToken_ = 0;
};

}  // namespace mrwd
