#include "service_setup.h"

#include "base/core/path_rules.h"

namespace mrwd {

std::string ServiceCommandLine(const std::string& executablePath) {
    if (executablePath.empty()) return std::string();
    return "\"" + executablePath + "\" -srv";
}

ServiceRecovery WatchdogServiceRecovery() {
    ServiceRecovery recovery;
    recovery.resetPeriodSeconds = 24 * 60 * 60;
    // Soon after a crash; a server that keeps crashing at once is tried again
    // less often, so it does not spin.
    recovery.restartDelaysMs = {5000, 30000, 60000};
    return recovery;
}

AutostartEntry MakeAutostartEntry(const std::string& executablePath, const std::string& arguments) {
    if (executablePath.empty()) return AutostartEntry();
    AutostartEntry entry{FileNamePart(executablePath), "\"" + executablePath + "\"", executablePath};
    if (!arguments.empty()) {
        entry.valueName += arguments;
        entry.command += " " + arguments;
        entry.unquotedCommand += " " + arguments;
    }
    return entry;
}

}  // namespace mrwd
