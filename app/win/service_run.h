// Running as a service: under the NT service manager (main routine, control
// handler, worker thread), or on Windows 95/98 as a registered service process.
#pragma once

#include <windows.h>

#include "app/win/service_setup.h"

namespace mrwd {

// Windows 95/98's KERNEL32 "RegisterServiceProcess": type 1 registers the
// process as a service process, which survives the user's logoff; 0 ends that.
using RegisterServiceProcessFn = DWORD(WINAPI*)(DWORD processId, DWORD type);

// Logs that the server runs as a service, then runs it until it ends. NT:
// the service dispatcher's result. Windows 95/98: false, without running the
// server, when the system cannot register a service process.
bool RunAsService(ServiceBranch branch = ThisSystemsServiceBranch());

// The Windows 95/98 branch with the system's function, once bound: false,
// without running the server, when the system has none.
bool RunServiceProcess(RegisterServiceProcessFn registerProcess);

}  // namespace mrwd
