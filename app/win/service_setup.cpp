#include "service_setup.h"

#include <windows.h>

#include <vector>

#include "app/core/service_setup.h"
#include "app/win/server_process.h"
#include "app/win/unload_running.h"
#include "base/win/executable_path.h"
#include "base/win/handles.h"
#include "base/win/platform.h"
#include "base/win/texts.h"
#include "notify/win/windows_event_log.h"
#include "resources/resource_ids.h"

namespace mrwd {
namespace {

constexpr DWORD kMaxCommandLine = 260;

UniqueServiceHandle OpenManager() {
    return UniqueServiceHandle(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
}

UniqueServiceHandle OpenServerService(SC_HANDLE manager) {
    return UniqueServiceHandle(::OpenServiceA(manager, kServerName, SERVICE_ALL_ACCESS));
}

// The description and the restarts after a crash are extras: a manager that
// refuses them (an old one, or one that ignores them) leaves a working service.
void DescribeService(SC_HANDLE service) {
    std::string text = LoadScreenText(IDS_SERVICE_DESCRIPTION);
    SERVICE_DESCRIPTIONA description{};
    description.lpDescription = text.data();
    ::ChangeServiceConfig2A(service, SERVICE_CONFIG_DESCRIPTION, &description);

    const ServiceRecovery recovery = WatchdogServiceRecovery();
    std::vector<SC_ACTION> actions;
    for (std::uint32_t delay : recovery.restartDelaysMs) actions.push_back(SC_ACTION{SC_ACTION_RESTART, delay});
    SERVICE_FAILURE_ACTIONSA failureActions{};
    failureActions.dwResetPeriod = recovery.resetPeriodSeconds;
    failureActions.cActions = static_cast<DWORD>(actions.size());
    failureActions.lpsaActions = actions.data();
    if (!::ChangeServiceConfig2A(service, SERVICE_CONFIG_FAILURE_ACTIONS, &failureActions)) {
        Server().log.WriteLogString(IDS_SERVICE_RECOVERY_REFUSED, kServerName, static_cast<long>(::GetLastError()));
    }
}

bool CreateNtService(const std::string& commandLine) {
    UniqueServiceHandle manager = OpenManager();
    if (!manager) return false;
    UniqueServiceHandle service(::CreateServiceA(
        manager.get(), kServerName, kServerName, SERVICE_ALL_ACCESS,
        SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
        commandLine.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    if (!service) return false;
    DescribeService(service.get());
    return true;
}

bool WriteRunServicesValue(const std::string& commandLine) {
    UniqueRegKey key;
    if (::RegCreateKeyA(HKEY_LOCAL_MACHINE, kRunServicesKey, key.put()) != ERROR_SUCCESS) return false;
    return ::RegSetValueExA(key.get(), kServerName, 0, REG_SZ, reinterpret_cast<const BYTE*>(commandLine.c_str()),
                            static_cast<DWORD>(commandLine.size() + 1)) == ERROR_SUCCESS;
}

bool DeleteNtService() {
    UniqueServiceHandle manager = OpenManager();
    if (!manager) return false;
    UniqueServiceHandle service = OpenServerService(manager.get());
    return service && ::DeleteService(service.get());
}

bool DeleteRunServicesValue() {
    UniqueRegKey key;
    if (::RegOpenKeyA(HKEY_LOCAL_MACHINE, kRunServicesKey, key.put()) != ERROR_SUCCESS) return false;
    return ::RegDeleteValueA(key.get(), kServerName) == ERROR_SUCCESS;
}

bool StartNtService() {
    UniqueServiceHandle manager = OpenManager();
    if (!manager) return false;
    UniqueServiceHandle service = OpenServerService(manager.get());
    return service && ::StartServiceA(service.get(), 0, nullptr);
}

// The stored command line, as Windows 95/98 would run it at boot.
bool RunRunServicesValue() {
    UniqueRegKey key;
    if (::RegOpenKeyA(HKEY_LOCAL_MACHINE, kRunServicesKey, key.put()) != ERROR_SUCCESS) return false;
    char command[kMaxCommandLine + 1] = {};
    DWORD type = 0;
    DWORD size = kMaxCommandLine;
    if (::RegQueryValueExA(key.get(), kServerName, nullptr, &type, reinterpret_cast<BYTE*>(command), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return false;
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return false;
    }
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
    return true;
}

void LogOutcome(bool succeeded, UINT success, UINT failure) {
    Server().log.WriteLogString(succeeded ? success : failure, kServerName);
}

}  // namespace

ServiceBranch ThisSystemsServiceBranch() {
    return IsNtFamily() ? ServiceBranch::NtService : ServiceBranch::Win9xServiceProcess;
}

bool InstallService(ServiceBranch branch) {
    const std::string commandLine = ServiceCommandLine(ThisExecutablePath());
    bool installed = false;
    if (!commandLine.empty()) {
        installed = branch == ServiceBranch::NtService ? CreateNtService(commandLine)
                                                        : WriteRunServicesValue(commandLine);
    }
    LogOutcome(installed, IDS_SERVICE_INSTALLED, IDS_SERVICE_INSTALL_FAILED);
    // Event Viewer finds the texts of the server's events in this file.
    if (installed) InstallEventSource(ThisExecutableWidePath());
    return installed;
}

bool RemoveService(ServiceBranch branch) {
    // The service's entry goes even when its server did not end in time: the
    // service manager deletes it once that process is gone.
    const bool unloaded = UnloadRunning();
    const bool removed = branch == ServiceBranch::NtService ? DeleteNtService() : DeleteRunServicesValue();
    LogOutcome(removed, IDS_SERVICE_REMOVED, IDS_SERVICE_REMOVE_FAILED);
    if (removed) RemoveEventSource();
    return removed && unloaded;
}

bool StartInstalledService(ServiceBranch branch) {
    const bool started = branch == ServiceBranch::NtService ? StartNtService() : RunRunServicesValue();
    LogOutcome(started, IDS_SERVICE_STARTED, IDS_SERVICE_START_FAILED);
    return started;
}

}  // namespace mrwd
