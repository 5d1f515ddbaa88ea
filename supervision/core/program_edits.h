// What the user's edits of the program list do to the list as it is now:
// a dialog's record merged into one the engine went on changing, the move to
// another path with its clash check, and the double click's switch.
#pragma once

#include <string>

#include "supervision/core/module_list.h"

namespace mrwd {

// Writes into `current` (the record as it is now) what the dialog changed:
// `edited` is its result for `before`, the copy it was opened on. The fields
// it always stores are taken from `edited`; those it stores only under a
// switch (the interval, the recovery program, the folders) only when that
// switch is on; `Armed` only when the dialog changed it. Whatever else
// changed meanwhile (`AliveSeen`, `IconIndex`, an interval announced by a
// heartbeat) stays.
void ApplyProgramEdit(const ModuleEntry& before, const ModuleEntry& edited, ModuleEntry& current);

// One program's parameters as the dialog confirmed them.
struct ProgramEdit {
    std::string oldPath;
    ModuleEntry before;  // the record the dialog was opened on
    std::string newPath;
    ModuleEntry edited;  // the dialog's result
};

enum class EditOutcome {
    Done,
    AlreadyListed,  // the new path names another listed program: nothing changes
    Gone,           // the program left the list while the dialog was open
};

// Moves the program to its new path, armed, with the edit merged into its
// record as it is now; `stored` receives the record under the new path. The
// caller holds the supervision lock.
EditOutcome ApplyEditToList(ModuleList& modules, const ProgramEdit& edit, ModuleEntry* stored);

// The double click: a program not expected to run is armed with control on;
// an armed one has its control switched. False when it is not listed.
bool ToggleProgramControl(ModuleList& modules, const std::string& path, ModuleEntry* changed);

}  // namespace mrwd
