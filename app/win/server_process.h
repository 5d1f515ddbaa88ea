// The process-wide objects of the server. Only the composition root (this
// folder) reaches them; every subsystem is handed what it uses. RunServer
// creates and tears down what lives only while it runs.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "app/win/fleet_gauges.h"
#include "app/win/service_channel.h"
#include "app/win/supervision_switch.h"
#include "app/win/window_ui_events.h"
#include "base/core/settings.h"
#include "base/win/event_log.h"
#include "base/win/settings_store.h"
#include "notify/win/fleet_reporter.h"
#include "notify/win/notifications.h"
#include "sdk/mrwd_alive.h"
#include "supervision/core/supervision_state.h"
#include "supervision/win/reboot_marker.h"
#include "ui/win/float_window.h"

namespace mrwd {

class CController;
class CWatchDog;
struct ServerProcess;

// What the float window asks of the server.
class ServerFloatWindowHost final : public FloatWindowHost {
public:
    explicit ServerFloatWindowHost(ServerProcess& server) : server_(server) {}
    bool SupervisionOn() const override;
    bool AnyProgramAliveSeen() const override;
    void OpenMakerPage(HWND owner) override;
    void SwitchSupervision(bool on) override;

private:
    ServerProcess& server_;
};

// The one name shared by the window class (the one monitored programs look
// for), the main window's title, the single-instance mutex and the service.
constexpr char kServerName[] = MRWD_SERVER_WINDOW_CLASS;
// Held beside the mutex of the session's namespace, which other programs may
// test: since Windows Vista a service runs in a session of its own, and only
// this name keeps a desktop copy and the service apart.
constexpr char kMachineMutexName[] = "Global\\" MRWD_SERVER_WINDOW_CLASS;

// Sent by a second start to the running server: show the main dialog.
constexpr UINT kShowMainDialogMessage = WM_USER + 1;
// The tray icon's mouse notifications.
constexpr UINT kTrayMessage = WM_USER + 2;

struct ServerProcess {
    ServerProcess();
    ~ServerProcess();

    // The settings root of this process's mode.
    SettingsStore Store() const { return SettingsStore(serviceMode); }

    HINSTANCE instance = nullptr;
    // Set when started with "srv": the settings then live under HKEY_LOCAL_MACHINE.
    bool serviceMode = false;
    Settings settings;
    EventLog log{settings.Log};
    // Sends the mails one at a time, in the order they were raised, each
    // kept in the folder "Outbox" beside the executable until it has gone.
    NotificationSender notifications{settings, log, OutboxFolderBesideExecutable()};
    // The run-time switch of supervision: read by every thread, moved only
    // through its owner.
    SupervisionSwitch supervisionSwitch{*this};
    // The switch as it was when Windows asked whether the session may end;
    // put back should the end be vetoed. Window thread only.
    std::optional<bool> supervisionBeforeSessionEnd;
    // File names that may never be put under control.
    std::set<std::string> excludedPrograms;
    UINT aliveMessage = 0;
    UINT modemResetMessage = 0;
    std::atomic<HWND> mainWindow{nullptr};
    // How the engine and the controller reach the main window's thread.
    WindowUiEvents uiEvents;
    // The monitored programs, the supervised processes and the process snapshot.
    SupervisionState supervision;
    // "reboot.mrk" beside the executable: exists exactly while a server runs,
    // and goes first whenever Windows ends the session.
    RebootMarker rebootMarker;
    // The reboot controller and the supervision engine; null before RunServer
    // creates them and after the end of the session destroyed them early.
    std::unique_ptr<CController> controller;
    std::unique_ptr<CWatchDog> watchdog;
    // The line to the service manager while the server runs as an NT service.
    ServiceChannel service;
    // The fleet outputs (Windows event log, syslog, metrics file): made by
    // RunServer from the settings when one of them is on; it then hears
    // every logged line until the process ends.
    ServerFleetGauges fleetGauges{*this};
    std::unique_ptr<FleetReporter> fleet;
    // The always-on-top picture of the state; null while RunServer does not
    // run, or when it could not be made. Other windows reach it as
    // FloatWindow().
    ServerFloatWindowHost floatWindowHost{*this};
    std::unique_ptr<CFloatWindow> floatWindow;

    // The float window as the main dialog and the main window drive it; null
    // when there is none.
    FloatWindowControl* FloatWindow() const { return floatWindow.get(); }
};

ServerProcess& Server();

// The programs that may not be supervised (they protect themselves or the system).
std::set<std::string> BuildExcludedPrograms();

// Switches supervision off for good and tells the engine and the controller to stop,
// without waiting: a pass in progress ends at its next entry, beginning
// nothing more, and the controller releases the card as it ends.
void BeginStopping(ServerProcess& server);

// Stops the engine thread, then the controller: the engine may still post a
// reboot order to the controller until its thread has ended.
void StopEngineAndController(ServerProcess& server);

}  // namespace mrwd
