#include "protected_programs.h"

#include "base/core/path_rules.h"

namespace mrwd {

bool IsProtectedProgram(std::uint32_t processId, const std::string& path, const ServerIdentity& server,
                        const ModuleList& list) {
    static const char* const kCritical[] = {"csrss.exe",   "wininit.exe", "winlogon.exe",
                                            "services.exe", "lsass.exe",   "smss.exe"};
    if (processId == server.processId) return true;
    if (!server.executablePath.empty() && list.SamePath(path, server.executablePath)) return true;
    const std::string name = FileNamePart(path);
    for (const char* critical : kCritical) {
        if (list.SamePath(name, critical)) return true;
    }
    return false;
}

}  // namespace mrwd
