// The server's command line: the switch test and the walk over its words.
// Portable, so that every way of spelling a switch is tested natively.
#pragma once

#include <string>
#include <vector>

namespace mrwd {

// What one recognised switch asks the program to do.
enum class CommandAction {
    EnterServiceMode,  // "srv": run inside the service (ends the walk)
    RunServer,         // "a": run the server without looking for a running copy (ends the walk)
    InstallService,    // "i"
    RemoveService,     // "r"
    UnloadRunning,     // "k"
    StartService,      // "s" (ends the walk)
};

// True when `pos` starts with '/' or '-' followed by `keyword`, compared without
// regard to case over the keyword's length. A prefix test on purpose: "/srvx"
// matches "srv", "-install" matches "i", "/START" matches "s".
bool IsCommandWord(const char* pos, const char* keyword);

// Walks the words of the argument text (runs of bytes 0x21..0x7F; every other
// byte separates words) and returns the actions in the order they are to be
// carried out. Words that match no switch are skipped; "srv", "a" and "s" end
// the walk.
std::vector<CommandAction> WalkCommandLine(const char* arguments);

// The dry walk done before the settings are loaded: true when the walk would
// end at "srv", which selects the per-machine settings.
bool SelectsServiceMode(const char* arguments);

// The argument text of a full process command line: the program name (quoted
// or not) and the one blank after it are skipped. Further blanks belong to the
// arguments, so a command line of blanks only is not an empty one.
std::string ArgumentsOf(const char* fullCommandLine);

}  // namespace mrwd
