// The process-wide objects of the server, reachable from every subsystem.
// RunServer creates and tears down what lives only while it runs.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <set>
#include <string>

#include "app/core/settings.h"
#include "app/win/handles.h"
#include "supervision/core/supervision_state.h"

namespace mrwd {

class CController;
class CWatchDog;

// The one name shared by the window class, the main window's title, the
// single-instance mutex and the service.
constexpr char kServerName[] = "Marotel ZedevUdo Server";

// Sent by a second start to the running server: show the main dialog.
constexpr UINT kShowMainDialogMessage = WM_USER + 1;
// The tray icon's mouse notifications.
constexpr UINT kTrayMessage = WM_USER + 2;

// Program paths compared as the system compares them (locale-aware, without case).
int CompareSystemPaths(const char* a, const char* b);

struct ServerProcess {
    ServerProcess();
    ~ServerProcess();

    HINSTANCE instance = nullptr;
    // 1 when started with "srv": the settings then live under HKEY_LOCAL_MACHINE.
    int serviceMode = 0;
    Settings settings;
    // Serializes every mail dialogue and the changes of the mail settings;
    // declared before the engine and the controller, which send under it.
    CriticalSection notifyLock;
    // Mails on threads of their own that have not finished yet.
    std::atomic<int> backgroundNotifications{0};
    // The run-time switch of supervision; read by every thread.
    std::atomic<int> supervisionOn{0};
    // File names that may never be put under control.
    std::set<std::string> excludedPrograms;
    UINT aliveMessage = 0;
    UINT modemResetMessage = 0;
    HWND mainWindow = nullptr;
    // The monitored programs, the supervised processes and the process snapshot.
    SupervisionState supervision;
    // The reboot controller and the supervision engine; null before RunServer
    // creates them and after the end of the session destroyed them early.
    std::unique_ptr<CController> controller;
    std::unique_ptr<CWatchDog> engine;
};

ServerProcess& Server();

// The programs that may not be supervised (they protect themselves or the system).
std::set<std::string> BuildExcludedPrograms();

}  // namespace mrwd
