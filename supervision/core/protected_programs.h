// The programs nobody may put under the server's control: the server itself
// (a restart would kill it for good), and the processes Windows cannot live
// without (killing one stops the computer).
#pragma once

#include <cstdint>
#include <string>

#include "supervision/core/module_list.h"

namespace mrwd {

struct ServerIdentity {
    std::uint32_t processId = 0;
    std::string executablePath;  // canonical long path
};

// True for the server's own process, any process of the server's executable,
// and the system's critical processes (by file name: csrss.exe, wininit.exe,
// winlogon.exe, services.exe, lsass.exe, smss.exe). Paths compare as `list`
// compares them.
bool IsProtectedProgram(std::uint32_t processId, const std::string& path, const ServerIdentity& server,
                        const ModuleList& list);

}  // namespace mrwd
