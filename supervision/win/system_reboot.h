// Rebooting Windows by software.
#pragma once

#include <windows.h>

namespace mrwd {

// Enables a privilege of this process's token; "advapi32.dll" is bound at run
// time, and a system without it (Windows 95/98) counts as success.
bool EnablePrivilege(const char* name);

// Asks Windows to reboot now, without asking the applications (forced).
// False, with the system's error code in `error`, when Windows refuses.
bool SoftwareReboot(DWORD& error);

}  // namespace mrwd
