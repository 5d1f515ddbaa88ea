// The program parameters dialog: one program's path, parameters, timing and
// failure actions. It edits the buffer it is given and stores nothing itself;
// on OK the caller puts the result into the list and the registry.
#pragma once

#include <windows.h>

#include <set>
#include <string>

#include "base/win/event_log.h"
#include "supervision/core/module_entry.h"
#include "ui/win/dialog_prompts.h"

namespace mrwd {

struct ProgramDialogContext {
    std::string& path;   // the program's path, the record's key
    ModuleEntry& entry;  // changed only by a successful OK
    bool mailConfigured;
    const std::set<std::string>& excludedPrograms;
    DialogPrompts& prompts;
    const EventLog& log;  // where a refused copy is reported
};

// IDOK when the buffer now holds the edited program, else IDCANCEL.
INT_PTR RunProgramDialog(HINSTANCE instance, HWND owner, ProgramDialogContext& context);

INT_PTR CALLBACK ProgramDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace mrwd
