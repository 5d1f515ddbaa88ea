// Rebooting Windows by software.
#pragma once

namespace mrwd {

// Enables a privilege of this process's token; "advapi32.dll" is bound at run
// time, and a system without it (Windows 95/98) counts as success.
bool EnablePrivilege(const char* name);

// Asks Windows to reboot now, without asking the applications (forced).
bool SoftwareReboot();

}  // namespace mrwd
