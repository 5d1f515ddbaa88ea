#include "main_window.h"

#include "app/win/main_dialog_host.h"
#include "app/win/server_process.h"
#include "app/win/supervision_switch.h"
#include "app/win/tray_icon.h"
#include "app/win/window_ui_events.h"
#include "base/win/handles.h"
#include "hardware/win/controller.h"
#include "resources/resource_ids.h"
#include "supervision/win/start_failure_notice.h"
#include "supervision/win/watchdog.h"
#include "ui/win/main_dialog.h"

namespace mrwd {
namespace {

void ShowFloatState(FloatState state) {
    if (FloatWindowControl* floatWindow = Server().FloatWindow()) floatWindow->SetState(state);
}

void ShowTrayMenu(HWND window) {
    POINT cursor;
    ::GetCursorPos(&cursor);
    UniqueMenu menu = LoadTrayMenu(Server().supervisionSwitch.On());
    if (!menu) return;
    ::TrackPopupMenu(::GetSubMenu(menu.get(), 0), TPM_LEFTALIGN, cursor.x, cursor.y, 0, window, nullptr);
}

void OnCommand(HWND window, WORD id) {
    switch (id) {
        case IDM_SWITCH_ON:
            Server().supervisionSwitch.Switch(true);
            break;
        case IDM_SWITCH_OFF:
            Server().supervisionSwitch.Switch(false);
            break;
        case IDM_UNLOAD:
            ::DestroyWindow(window);
            break;
        case IDM_SETTINGS:
            BringUpMainDialog(window);
            break;
        default:
            break;
    }
}

// What the engine and the controller reported from their threads, carried
// out on this one.
void DeliverWorkerReports() {
    const WindowUiEvents::Reports reports = Server().uiEvents.Take();
    if (reports.refreshMainDialog) RefreshMainDialog();
    if (reports.controllerStatus) ShowControllerStatus();
    if (reports.modemStatus) ShowModemStatus();
    if (reports.floatState) ShowFloatState(*reports.floatState);
    if (reports.supervisionSwitched) Server().supervisionSwitch.Show();
    for (const std::string& path : reports.startFailures) ShowStartFailure(path);
}

}  // namespace

UniqueMenu LoadTrayMenu(bool supervisionOn) {
    UniqueMenu menu(::LoadMenuA(Server().instance, MAKEINTRESOURCEA(IDR_TRAY_MENU)));
    if (menu) ::EnableMenuItem(menu.get(), supervisionOn ? IDM_SWITCH_OFF : IDM_SWITCH_ON, MF_BYCOMMAND | MF_ENABLED);
    return menu;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ServerProcess& server = Server();

    // The registered messages come first, before any system message.
    if (server.aliveMessage != 0 && message == server.aliveMessage) {
        // wParam: seconds until the next message (0: the program ends its
        // control); the low 32 bits of lParam: the sender's process id.
        const auto seconds = static_cast<std::uint64_t>(wParam);
        const auto processId = static_cast<std::uint32_t>(lParam & 0xFFFFFFFF);
        if (server.watchdog && !server.watchdog->Engine().OnAliveMessage(seconds, processId)) {
            server.watchdog->QueueRegistration(seconds, processId);
        }
        return 0;
    }
    // Any program may ask for a modem reset; the controller thread does it.
    if (server.modemResetMessage != 0 && message == server.modemResetMessage) {
        if (server.controller) server.controller->PostCommand(kForceModemReset);
        return 0;
    }

    switch (message) {
        case WM_CREATE:
            ::SetTimer(window, kTrayTimerId, kTrayTimerPeriodMs, nullptr);
            return 0;
        case WM_DESTROY:
            ::KillTimer(window, kTrayTimerId);
            ::PostQuitMessage(0);
            return 0;
        case WM_QUERYENDSESSION:
            // Windows is about to close every program: none may be restarted
            // meanwhile. The first query of a session's end keeps the switch.
            if (!server.supervisionBeforeSessionEnd) server.supervisionBeforeSessionEnd = server.supervisionSwitch.On();
            server.supervisionSwitch.Set(false);
            return TRUE;
        case WM_ENDSESSION:
            // The session really ends, in order: the reboot marker goes first,
            // as Windows may end the process at any moment from now on; then
            // the engine and the controller stop.
            if (wParam != FALSE) {
                server.rebootMarker.Delete();
                StopEngineAndController(server);
            } else if (server.supervisionBeforeSessionEnd) {
                // Another program vetoed the end: the machine must not stay unwatched.
                const bool wasOn = *server.supervisionBeforeSessionEnd;
                server.supervisionBeforeSessionEnd.reset();
                server.log.WriteLogString(IDS_SHUTDOWN_CANCELLED);
                server.supervisionSwitch.Set(wasOn);
            }
            return 0;
        case kUiEventsMessage:
            DeliverWorkerReports();
            return 0;
        case WM_COMMAND:
            OnCommand(window, LOWORD(wParam));
            return 0;
        case WM_TIMER:
            // A re-created taskbar has lost the icon; while it exists the add just fails.
            if (server.settings.Icon != 0) UpdateTrayIcon(NIM_ADD);
            return 0;
        case kShowMainDialogMessage:
            BringUpMainDialog(window);
            return 0;
        case kTrayMessage:
            if (lParam == WM_LBUTTONDBLCLK) {
                BringUpMainDialog(window);
            } else if (lParam == WM_RBUTTONUP) {
                ::SetForegroundWindow(window);
                // With the dialog open, the dialog is the place for every switch.
                if (HWND dialog = MainDialogWindow()) {
                    ::SetForegroundWindow(dialog);
                } else {
                    ShowTrayMenu(window);
                }
            }
            return 0;
        default:
            return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

bool LetProgramsReachMainWindow(HWND window, MessageFilterFn filter) {
    const ServerProcess& server = Server();
    return AllowMessagesFromAnyProgram(window, {server.aliveMessage, server.modemResetMessage, kShowMainDialogMessage},
                                       filter);
}

HWND CreateMainWindow(HINSTANCE instance) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconA(instance, MAKEINTRESOURCEA(IDI_SUPERVISION_ON));
    windowClass.hIconSm = static_cast<HICON>(::LoadImageA(instance, MAKEINTRESOURCEA(IDI_SUPERVISION_ON),
                                                          IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                          ::GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = kServerName;
    // A second run of the server in the same process (the NT service restarts
    // it on a new thread) finds the class already registered; that is fine.
    if (!::RegisterClassExA(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;

    return ::CreateWindowExA(0, kServerName, kServerName, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
}

}  // namespace mrwd
