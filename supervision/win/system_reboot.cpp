#include "system_reboot.h"

#include <windows.h>

#include "base/win/dynamic_library.h"
#include "base/win/handles.h"

namespace mrwd {

bool EnablePrivilege(const char* name) {
    using OpenProcessTokenFn = BOOL(WINAPI*)(HANDLE, DWORD, PHANDLE);
    using LookupPrivilegeValueFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, PLUID);
    using AdjustTokenPrivilegesFn = BOOL(WINAPI*)(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD);

    const UniqueModule advapi(::LoadLibraryA("advapi32.dll"));
    if (!advapi) return true;  // no security on this system
    const auto openToken = BindFunction<OpenProcessTokenFn>(advapi.get(), "OpenProcessToken");
    const auto lookup = BindFunction<LookupPrivilegeValueFn>(advapi.get(), "LookupPrivilegeValueA");
    const auto adjust = BindFunction<AdjustTokenPrivilegesFn>(advapi.get(), "AdjustTokenPrivileges");
    if (openToken == nullptr || lookup == nullptr || adjust == nullptr) return true;

    UniqueHandle token;
    if (!openToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put())) return false;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    return lookup(nullptr, name, &privileges.Privileges[0].Luid) &&
           adjust(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
}

bool SoftwareReboot(DWORD& error) {
    EnablePrivilege("SeShutdownPrivilege");  // without it the request fails with its error code
    if (::ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0)) return true;
    error = ::GetLastError();
    return false;
}

}  // namespace mrwd
