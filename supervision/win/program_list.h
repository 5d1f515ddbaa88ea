// Changes to the program list made by the user: each one changes the list in
// memory and its mirror in the registry together.
#pragma once

#include <string>

#include "supervision/core/supervision_state.h"
#include "supervision/win/module_store.h"

namespace mrwd {

// False, and nothing changes, when the path is listed already.
bool AddProgram(SupervisionState& state, const ModuleStore& store, const std::string& path, const ModuleEntry& entry);

// Moves a program to a new path (or keeps it) with a new record; afterwards
// exactly one value, under the new path, is stored.
void ReplaceProgram(SupervisionState& state, const ModuleStore& store, const std::string& oldPath,
                    const std::string& newPath, const ModuleEntry& entry);

void RemoveProgram(SupervisionState& state, const ModuleStore& store, const std::string& path);

// Writes the program's current record; false when it is not listed.
bool StoreProgram(SupervisionState& state, const ModuleStore& store, const std::string& path);

}  // namespace mrwd
