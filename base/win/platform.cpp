#include "platform.h"

#include <windows.h>

namespace mrwd {

bool IsNtFamily() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!::GetVersionExA(&info)) return true;  // a 64-bit program runs on the NT family only
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

}  // namespace mrwd
