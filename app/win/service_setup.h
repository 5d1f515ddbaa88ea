// Installing, removing and starting the server as a service: an NT service,
// or on Windows 95/98 a service process run from the RunServices key. Each
// reports its outcome in the log only.
#pragma once

namespace mrwd {

// Which kind of service this system has. The operations take it as an
// argument so that the Windows 95/98 branch can be exercised anywhere.
enum class ServiceBranch {
    NtService,
    Win9xServiceProcess,
};

ServiceBranch ThisSystemsServiceBranch();

// The per-machine key whose values Windows 95/98 runs before anyone logs on.
constexpr char kRunServicesKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices";

bool InstallService(ServiceBranch branch = ThisSystemsServiceBranch());
// Unloads a running copy first; false also when that copy did not end in time.
bool RemoveService(ServiceBranch branch = ThisSystemsServiceBranch());
bool StartInstalledService(ServiceBranch branch = ThisSystemsServiceBranch());

}  // namespace mrwd
