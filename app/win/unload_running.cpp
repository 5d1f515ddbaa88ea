#include "unload_running.h"

#include <windows.h>

#include "app/win/server_process.h"
#include "base/win/handles.h"
#include "base/win/platform.h"
#include "resources/resource_ids.h"

namespace mrwd {
namespace {

constexpr DWORD kPollMs = 100;
// A service still starting cannot take a stop yet; its start takes at most this.
constexpr DWORD kStartWaitMs = 15000;
// Ending the server gives its last mails up to a minute.
constexpr DWORD kStopWaitMs = 120000;

DWORD QueryState(SC_HANDLE service) {
    SERVICE_STATUS status{};
    return ::QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
}

// Waits while the service reports `state`, up to `limitMs`.
void WaitWhile(SC_HANDLE service, DWORD state, DWORD limitMs) {
    for (DWORD waited = 0; waited < limitMs && QueryState(service) == state; waited += kPollMs) ::Sleep(kPollMs);
}

// The installed service, when it runs, is stopped through the service manager:
// since Windows Vista it lives in a session of its own, where neither the
// mutex nor the window of this session reaches it.
void StopInstalledService() {
    UniqueServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return;
    UniqueServiceHandle service(::OpenServiceA(manager.get(), kServerName, SERVICE_STOP | SERVICE_QUERY_STATUS));
    if (!service) return;
    WaitWhile(service.get(), SERVICE_START_PENDING, kStartWaitMs);
    const DWORD state = QueryState(service.get());
    if (state == 0 || state == SERVICE_STOPPED) return;
    SERVICE_STATUS status{};
    if (!::ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) return;
    WaitWhile(service.get(), SERVICE_STOP_PENDING, kStopWaitMs);
}

}  // namespace

void UnloadRunning() {
    Server().log.WriteLogString(IDS_UNLOADING);
    if (IsNtFamily()) StopInstalledService();
    // A copy in this session: ask it to quit until its mutex is gone.
    for (;;) {
        UniqueHandle mutex(::CreateMutexA(nullptr, FALSE, kServerName));
        if (!mutex) return;  // exists, but belongs to an account this user may not open
        if (::GetLastError() != ERROR_ALREADY_EXISTS) return;  // no copy runs any more

        HWND running = ::FindWindowA(kServerName, nullptr);
        if (running != nullptr) ::PostMessageA(running, WM_QUIT, 0, 0);
        mutex.reset();
        ::Sleep(kPollMs);
    }
}

}  // namespace mrwd
