#include "unload_running.h"

#include <windows.h>

#include "app/win/server_process.h"
#include "base/win/handles.h"
#include "base/win/platform.h"
#include "resources/resource_ids.h"

namespace mrwd {
namespace {

constexpr DWORD kPollMs = 100;

// The server runs as the service under another account: ask the service
// manager to stop it and wait while it reports that it is stopping.
void StopService() {
    UniqueServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return;
    UniqueServiceHandle service(::OpenServiceA(manager.get(), kServerName, SERVICE_ALL_ACCESS));
    if (!service) return;
    SERVICE_STATUS status = {};
    ::ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
    while (::QueryServiceStatus(service.get(), &status) && status.dwCurrentState == SERVICE_STOP_PENDING) {
        ::Sleep(kPollMs);
    }
}

}  // namespace

void UnloadRunning() {
    Server().log.WriteLogString(IDS_UNLOADING);
    for (;;) {
        UniqueHandle mutex(::CreateMutexA(nullptr, FALSE, kServerName));
        if (!mutex) break;  // exists, but belongs to an account this user may not open
        if (::GetLastError() != ERROR_ALREADY_EXISTS) return;  // no copy runs any more

        HWND running = ::FindWindowA(kServerName, nullptr);
        if (running != nullptr) ::PostMessageA(running, WM_QUIT, 0, 0);
        mutex.reset();
        ::Sleep(kPollMs);
    }
    if (IsNtFamily()) StopService();
}

}  // namespace mrwd
