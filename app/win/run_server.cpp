#include "run_server.h"

#include <windows.h>
#include <commctrl.h>

#include "app/win/main_window.h"
#include "app/win/server_process.h"
#include "app/win/tray_icon.h"
#include "base/win/handles.h"
#include "hardware/win/controller.h"
#include "resources/resource_ids.h"
#include "supervision/win/watchdog.h"

namespace mrwd {
namespace {

// Ask to be told of the end of the session before every other application, so
// supervision is off before Windows starts closing the supervised programs.
constexpr DWORD kFirstToShutDown = 0x3FF;

// Long enough for a mail to a slow server, short enough that a dead one
// cannot keep the server from ending.
constexpr DWORD kNotificationsAtExitWaitMs = 60000;

// What the steps of the teardown may take, told to the service manager as
// wait hints: removing the tray icon and the windows; the engine's and the
// controller's ends (a kill, a copy or a card command in progress); the mails
// still on their way, with a margin.
constexpr DWORD kWindowsTeardownHintMs = 5000;
constexpr DWORD kThreadsStopHintMs = 30000;
constexpr DWORD kMailsAtExitHintMs = kNotificationsAtExitWaitMs + 5000;

void RunMessageLoop() {
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

// False when another server holds the machine-wide name. A server of another
// account (the service) may have made it so that this one cannot even open
// it: that is a running server too. A system without that namespace has only
// the session's name.
bool HoldMachineMutex(UniqueHandle& mutex) {
    HANDLE created = ::CreateMutexA(nullptr, FALSE, kMachineMutexName);
    const DWORD error = ::GetLastError();
    mutex.reset(created);
    if (mutex) return error != ERROR_ALREADY_EXISTS;
    return error != ERROR_ACCESS_DENIED;
}

// The float window, owned by the main window, where the user left it, showing
// the supervision state. It is shown unless the user hid it once some program
// spoke the alive protocol; before that it is the only sign on the desktop
// that the server runs, so it always comes up (and stays switched on).
void CreateFloatWindow(ServerProcess& server) {
    auto floatWindow =
        std::make_unique<CFloatWindow>(server.instance, server.mainWindow, server.floatWindowHost, kTrayMessage);
    if (!floatWindow->IsCreated()) return;
    floatWindow->LoadPosition(kSettingsKey, server.serviceMode);
    floatWindow->SetState(server.supervisionSwitch.On() ? FloatState::On : FloatState::Off);
    if (server.settings.FloatWindow != 0 || !server.floatWindowHost.AnyProgramAliveSeen()) {
        server.settings.FloatWindow = 1;
        server.Store().StoreDword("FloatWindow", 1);
        floatWindow->Show();
    }
    server.floatWindow = std::move(floatWindow);
}

// Made before the first line of the run is logged, so that the outputs hear
// the server's start; its thread begins once what it samples exists.
void PrepareFleetOutputs(ServerProcess& server) {
    auto fleet = std::make_unique<FleetReporter>(server.settings, server.fleetGauges);
    if (!fleet->AnyOutput()) return;
    server.fleet = std::move(fleet);
    server.log.SetListener(server.fleet.get());
}

}  // namespace

void RunServer() {
    ServerProcess& server = Server();

    UniqueHandle machineMutex;
    UniqueHandle instanceMutex(::CreateMutexA(nullptr, FALSE, kServerName));
    if (!instanceMutex) return;
    if (::GetLastError() == ERROR_ALREADY_EXISTS || !HoldMachineMutex(machineMutex)) {
        server.log.WriteLogString(IDS_SERVER_ALREADY_RUNNING);
        return;
    }

    ::InitCommonControls();
    PrepareFleetOutputs(server);
    server.log.WriteLogString(IDS_SERVER_LOADED);
    // What a former run could not send (a reboot notice among them) goes first.
    server.notifications.StartRetries();
    // Off until the run is ready: a former run may have left it on.
    server.supervisionSwitch.Set(false);
    // The controller first: its thread starts at once and finds the card.
    server.controller = std::make_unique<CController>(server.settings, server.supervisionSwitch.Value(), server.Store(),
                                                      server.log, server.uiEvents);
    const EngineServices services{server.settings, server.Store(),   server.log,
                                  server.notifications, server.uiEvents,
                                  server.controller.get()};
    server.rebootMarker.Arm();
    server.watchdog = std::make_unique<CWatchDog>(server.supervision, services, server.supervisionSwitch,
                                                  server.rebootMarker);
    server.fleetGauges.AttachController(server.controller.get());
    if (server.fleet) server.fleet->Start();
    server.excludedPrograms = BuildExcludedPrograms();

    ::SetProcessShutdownParameters(kFirstToShutDown, 0);
    server.aliveMessage = ::RegisterWindowMessageA(MRWD_ALIVE_MESSAGE);
    server.modemResetMessage = ::RegisterWindowMessageA(MRWD_MODEM_RESET_MESSAGE);
    if (server.settings.Active != 0) server.supervisionSwitch.Set(true);

    server.mainWindow = CreateMainWindow(server.instance);
    if (server.mainWindow != nullptr) {
        server.uiEvents.AttachWindow(server.mainWindow);
        LetProgramsReachMainWindow(server.mainWindow, SystemMessageFilter());
        if (server.settings.Icon != 0) UpdateTrayIcon(NIM_ADD);
        CreateFloatWindow(server);
        server.watchdog->Start();
        RunMessageLoop();
        // Nothing new may begin once the loop has ended: supervision goes off
        // and both threads are told to stop now, before the slow steps of the
        // teardown (the tray icon's removal takes Wine seconds).
        BeginStopping(server);
        server.service.ReportStopProgress(kWindowsTeardownHintMs);
        if (server.settings.Icon != 0) UpdateTrayIcon(NIM_DELETE);
        // The loop also ends on a WM_QUIT posted straight to the thread or the
        // window; the window must not outlive the run that owns it.
        server.uiEvents.AttachWindow(nullptr);
        if (::IsWindow(server.mainWindow)) ::DestroyWindow(server.mainWindow);
        server.mainWindow = nullptr;
    }

    BeginStopping(server);
    server.service.ReportStopProgress(kThreadsStopHintMs);
    StopEngineAndController(server);
    // Mails still on their way get a while; then they are given up, so that
    // no mail thread outlives the objects it uses.
    server.service.ReportStopProgress(kMailsAtExitHintMs);
    server.notifications.WaitForBackgroundNotifications(kNotificationsAtExitWaitMs);
    server.notifications.EndAll();
    server.excludedPrograms.clear();
    // The main window's end has taken the float window along; where it
    // stood was kept at every move.
    if (server.floatWindow) {
        server.floatWindow->SavePosition(kSettingsKey, server.serviceMode);
        server.floatWindow.reset();
    }
    server.log.WriteLogString(IDS_SERVER_UNLOADED);
    // The last lines go out, and the metrics file says the server is down.
    // The reporter itself stays: a straggling thread may still log to it.
    if (server.fleet) server.fleet->Finish();
}

}  // namespace mrwd
