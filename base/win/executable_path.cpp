#include "executable_path.h"

#include <windows.h>

#include "base/core/path_rules.h"

namespace mrwd {

std::string ThisExecutablePath() {
    char path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, path, sizeof path);
    // A path that filled the whole buffer may have been cut.
    if (length == 0 || length >= sizeof path) return {};
    return std::string(path, length);
}

std::wstring ThisExecutableWidePath() {
    wchar_t path[32768];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, sizeof path / sizeof path[0]);
    if (length == 0 || length >= sizeof path / sizeof path[0]) return {};
    return std::wstring(path, length);
}

std::string ThisExecutableFolder() { return FolderPrefix(ThisExecutablePath()); }

}  // namespace mrwd
