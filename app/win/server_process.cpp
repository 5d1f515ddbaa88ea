#include "server_process.h"

namespace mrwd {

ServerProcess& Server() {
    static ServerProcess server;
    return server;
}

std::set<std::string> BuildExcludedPrograms() {
    static const char* const kExcluded[] = {"drweb32w.exe"};
    return std::set<std::string>(std::begin(kExcluded), std::end(kExcluded));
}

}  // namespace mrwd
