// Changes to the program list made by the user: each one changes the list in
// memory and its mirror in the registry together.
#pragma once

#include <optional>
#include <string>

#include "supervision/core/program_edits.h"
#include "supervision/core/supervision_state.h"
#include "supervision/win/module_store.h"

namespace mrwd {

// False, and nothing changes, when the path is listed already.
bool AddProgram(SupervisionState& state, const ModuleStore& store, const std::string& path, const ModuleEntry& entry);

// Moves a program to a new path (or keeps it) with a new record; afterwards
// exactly one value, under the new path, is stored.
void ReplaceProgram(SupervisionState& state, const ModuleStore& store, const std::string& oldPath,
                    const std::string& newPath, const ModuleEntry& entry);

// The program parameters dialog's edit, merged into the record as it is now
// and moved to its new path; stored only when it was done.
EditOutcome EditProgram(SupervisionState& state, const ModuleStore& store, const ProgramEdit& edit);

// The double click's switch of one program (ToggleProgramControl), stored;
// false when the program is not listed.
bool ToggleProgram(SupervisionState& state, const ModuleStore& store, const std::string& path);

void RemoveProgram(SupervisionState& state, const ModuleStore& store, const std::string& path);

// A copy of the program's record as it is now; nothing when it is not listed.
std::optional<ModuleEntry> ListedProgram(SupervisionState& state, const std::string& path);

// Writes the program's current record; false when it is not listed.
bool StoreProgram(SupervisionState& state, const ModuleStore& store, const std::string& path);

}  // namespace mrwd
