// mrwd.exe: the watchdog server for unattended Windows computers.
#include <windows.h>

#include <string>

#include "app/core/command_line.h"
#include "app/win/entry_point.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // The runtime's own argument text drops every blank after the program
    // name; a command line of blanks only must stay non-empty, so it is taken
    // from the process command line directly.
    const std::string arguments = mrwd::ArgumentsOf(::GetCommandLineA());
    return mrwd::RunEntryPoint(instance, arguments.c_str());
}
