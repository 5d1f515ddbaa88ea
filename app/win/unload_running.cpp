#include "unload_running.h"

#include <windows.h>

#include <algorithm>

#include "app/win/server_process.h"
#include "base/win/handles.h"
#include "base/win/platform.h"
#include "resources/resource_ids.h"

namespace mrwd {
namespace {

constexpr DWORD kPollMs = 100;
// A service still starting cannot take a stop yet; its start takes at most this.
constexpr DWORD kStartWaitMs = 15000;

// The end of the whole unload, shared by the service's stop and the copy of
// this session.
class Deadline {
public:
    explicit Deadline(DWORD ms) : end_(::GetTickCount64() + ms) {}
    bool Passed() const { return ::GetTickCount64() >= end_; }
    DWORD LeftMs() const { return Passed() ? 0 : static_cast<DWORD>(end_ - ::GetTickCount64()); }

private:
    ULONGLONG end_;
};

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
void StopInstalledService(const Deadline& deadline) {
    UniqueServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return;
    UniqueServiceHandle service(::OpenServiceA(manager.get(), kServerName, SERVICE_STOP | SERVICE_QUERY_STATUS));
    if (!service) return;
    WaitWhile(service.get(), SERVICE_START_PENDING, std::min(kStartWaitMs, deadline.LeftMs()));
    const DWORD state = QueryState(service.get());
    if (state == 0 || state == SERVICE_STOPPED) return;
    SERVICE_STATUS status{};
    if (!::ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) return;
    WaitWhile(service.get(), SERVICE_STOP_PENDING, deadline.LeftMs());
}

}  // namespace

bool UnloadRunning() {
    Server().log.WriteLogString(IDS_UNLOADING);
    const Deadline deadline(kUnloadWaitSeconds * 1000);
    if (IsNtFamily()) StopInstalledService(deadline);
    // A copy in this session: ask it to quit until its mutex is gone.
    for (;;) {
        UniqueHandle mutex(::CreateMutexA(nullptr, FALSE, kServerName));
        if (!mutex) return true;  // exists, but belongs to an account this user may not open
        if (::GetLastError() != ERROR_ALREADY_EXISTS) return true;  // no copy runs any more
        if (deadline.Passed()) break;

        HWND running = ::FindWindowA(kServerName, nullptr);
        if (running != nullptr) ::PostMessageA(running, WM_QUIT, 0, 0);
        mutex.reset();
        ::Sleep(kPollMs);
    }
    Server().log.WriteLogString(IDS_UNLOAD_TIMED_OUT, kUnloadWaitSeconds);
    return false;
}

}  // namespace mrwd
