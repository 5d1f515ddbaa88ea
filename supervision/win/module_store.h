// The program list's mirror in the registry: one REG_BINARY value of 1104
// bytes per program under the settings key's subkey "Modules", named by the
// program's path.
#pragma once

#include <windows.h>

#include <string>

#include "supervision/core/module_list.h"

namespace mrwd {

constexpr char kModulesSubkey[] = "Software\\Marotel\\VivavAde296\\Modules";

class ModuleStore {
public:
    explicit ModuleStore(HKEY root) : root_(root) {}

    // Adds every stored program to `list`. A value whose name or data does not
    // fit is skipped and the next one read: one bad value must not hide the
    // programs stored after it. A program listed already keeps its entry.
    void Load(ModuleList& list) const;
    bool Store(const std::string& path, const ModuleEntry& entry) const;
    bool Delete(const std::string& path) const;

private:
    HKEY root_;
};

}  // namespace mrwd
