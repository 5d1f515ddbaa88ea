#include "system_reboot.h"

#include <windows.h>

namespace mrwd {

bool EnablePrivilege(const char* name) {
    using OpenProcessTokenFn = BOOL(WINAPI*)(HANDLE, DWORD, PHANDLE);
    using LookupPrivilegeValueFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, PLUID);
    using AdjustTokenPrivilegesFn = BOOL(WINAPI*)(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD);

    HMODULE advapi = ::LoadLibraryA("advapi32.dll");
    if (advapi == nullptr) return true;  // no security on this system
    auto bind = [advapi](const char* function) { return reinterpret_cast<void*>(::GetProcAddress(advapi, function)); };
    const auto openToken = reinterpret_cast<OpenProcessTokenFn>(bind("OpenProcessToken"));
    const auto lookup = reinterpret_cast<LookupPrivilegeValueFn>(bind("LookupPrivilegeValueA"));
    const auto adjust = reinterpret_cast<AdjustTokenPrivilegesFn>(bind("AdjustTokenPrivileges"));
    bool ok = true;
    if (openToken != nullptr && lookup != nullptr && adjust != nullptr) {
        HANDLE token = nullptr;
        ok = openToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token) != FALSE;
        if (ok) {
            TOKEN_PRIVILEGES privileges = {};
            privileges.PrivilegeCount = 1;
            privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
            ok = lookup(nullptr, name, &privileges.Privileges[0].Luid) &&
                 adjust(token, FALSE, &privileges, 0, nullptr, nullptr);
            ::CloseHandle(token);
        }
    }
    ::FreeLibrary(advapi);
    return ok;
}

bool SoftwareReboot() {
    EnablePrivilege("SeShutdownPrivilege");  // without it the request fails, and nothing else happens
    return ::ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0) != FALSE;
}

}  // namespace mrwd
