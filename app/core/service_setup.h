// The texts and records the server writes when it installs itself: the
// service's command line, its recovery after a crash, the logon autostart
// entry. Portable, so their exact form is tested natively.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mrwd {

// The installed service's command line: the executable path, always in
// quotes (an unquoted path with blanks would let Windows try "C:\Program.exe"
// first), then " -srv". Empty when the path is unknown.
std::string ServiceCommandLine(const std::string& executablePath);

// What the service manager does when the server's own process dies without
// reporting a stop: who watches the watchdog.
struct ServiceRecovery {
    std::uint32_t resetPeriodSeconds = 0;       // failures older than this are forgotten
    std::vector<std::uint32_t> restartDelaysMs;  // one restart per failure; the last one repeats
};

ServiceRecovery WatchdogServiceRecovery();

// The logon autostart value: named after the executable's file name (with
// the extra arguments appended directly), holding the path in quotes, as the
// service's command line (with a blank and the arguments). Earlier versions
// wrote the path without quotes: that form still counts as set. Empty when
// the path is unknown.
struct AutostartEntry {
    std::string valueName;
    std::string command;
    std::string unquotedCommand;
};

AutostartEntry MakeAutostartEntry(const std::string& executablePath, const std::string& arguments);

}  // namespace mrwd
