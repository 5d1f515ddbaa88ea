#include "platform.h"

#include <windows.h>

namespace mrwd {

bool IsNtFamily() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!::GetVersionExA(&info)) return true;  // a 64-bit program runs on the NT family only
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

bool IsVistaOrLater() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    // Without a manifest Windows 8.1 and later report 6.2, which is enough here.
    return ::GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion >= 6;
}

}  // namespace mrwd
