#include "service_run.h"

#include <windows.h>

#include "app/win/run_server.h"
#include "app/win/server_process.h"
#include "base/win/background_work.h"
#include "base/win/dynamic_library.h"
#include "base/win/handles.h"
#include "base/win/platform.h"
#include "resources/resource_ids.h"

namespace mrwd {
namespace {

constexpr DWORD kStartWaitHintMs = 15000;

void ServiceWorker() {
    ServerProcess& server = Server();
    // The thread gets its message queue now: a stop posted before the server
    // has made its window must not be lost.
    MSG message;
    ::PeekMessageA(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    server.service.SetWorker(::GetCurrentThreadId());
    if (server.service.Report(ServiceState::Running, NO_ERROR, 0)) RunServer();
    server.service.SetWorker(0);
    // Also when RUNNING was refused: the dispatcher returns only after STOPPED.
    server.service.Report(ServiceState::Stopped, NO_ERROR, 0);
}

// The extended handler: only it is sent the pre-shutdown control.
DWORD WINAPI ServiceControlHandler(DWORD control, DWORD, void*, void*) {
    ServerProcess& server = Server();
    server.service.Control(control, server.supervisionSwitch, server.rebootMarker);
    return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, LPSTR*) {
    ServerProcess& server = Server();
    SERVICE_STATUS_HANDLE handle = ::RegisterServiceCtrlHandlerExA(kServerName, ServiceControlHandler, nullptr);
    if (handle == nullptr) return;
    server.service.Attach(handle);
    // Windows Vista and later send the pre-shutdown control, and wait for the
    // service to end before they shut down.
    server.service.OfferPreshutdown(IsVistaOrLater());
    if (!server.service.Report(ServiceState::StartPending, NO_ERROR, kStartWaitHintMs)) {
        server.service.Report(ServiceState::Stopped, NO_ERROR, 0);
        return;
    }
    // The worker runs on by itself; ServiceMain must return to the dispatcher.
    UniqueHandle worker = StartBackgroundWork(ServiceWorker);
    // Without a worker nothing would ever report the end.
    if (!worker) server.service.Report(ServiceState::Stopped, ::GetLastError(), 0);
}

bool RunNtService() {
    char name[sizeof kServerName];
    ::lstrcpynA(name, kServerName, sizeof name);
    SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    return ::StartServiceCtrlDispatcherA(table) != FALSE;
}

}  // namespace

bool RunAsService(ServiceBranch branch) {
    Server().log.WriteLogString(IDS_RUNNING_AS_SERVICE);
    if (branch == ServiceBranch::NtService) return RunNtService();
    UniqueModule kernel(::LoadLibraryA("KERNEL32.DLL"));
    return RunServiceProcess(BindFunction<RegisterServiceProcessFn>(kernel.get(), "RegisterServiceProcess"));
}

bool RunServiceProcess(RegisterServiceProcessFn registerProcess) {
    if (registerProcess == nullptr) return false;
    constexpr DWORD kThisProcess = 0;
    constexpr DWORD kSimpleService = 1;
    constexpr DWORD kUnregister = 0;
    registerProcess(kThisProcess, kSimpleService);
    RunServer();
    registerProcess(kThisProcess, kUnregister);
    return true;
}

}  // namespace mrwd
