// Functions bound at run time, for calls that older systems (or Wine) may
// lack: the process status library, tool-help, the shutdown privilege.
#pragma once

#include <windows.h>

namespace mrwd {

// The named function of `module` as a pointer of type Fn; null when the
// module is null or has no such function.
template <typename Fn>
Fn BindFunction(HMODULE module, const char* name) {
    if (module == nullptr) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

}  // namespace mrwd
