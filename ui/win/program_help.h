// The help the main dialog opens: the start page of yrk.chm beside the
// executable.
#pragma once

#include <windows.h>

#include <string>

namespace mrwd {

// "<folder of mrwd.exe>\yrk.chm::/cover.htm"; empty when the executable's
// path is unknown.
std::string ProgramHelpTopic();

// Opens that page in the help viewer, owned by `owner`; the viewer's window,
// or null when there is no viewer or no help file to show (the dialog then
// shows the command-line usage instead).
HWND ShowProgramHelp(HWND owner);

}  // namespace mrwd
