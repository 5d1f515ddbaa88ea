#include "server_process.h"

#include "hardware/win/controller.h"
#include "supervision/win/watchdog.h"

namespace mrwd {

int CompareSystemPaths(const char* a, const char* b) { return ::lstrcmpiA(a, b); }

ServerProcess::ServerProcess() : supervision(CompareSystemPaths) {}
ServerProcess::~ServerProcess() = default;

ServerProcess& Server() {
    static ServerProcess server;
    return server;
}

std::set<std::string> BuildExcludedPrograms() {
    static const char* const kExcluded[] = {"drweb32w.exe"};
    return std::set<std::string>(std::begin(kExcluded), std::end(kExcluded));
}

}  // namespace mrwd
