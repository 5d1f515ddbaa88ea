// What the program does with its command line, from the settings load to the
// end of the run or of the command-line actions.
#pragma once

#include <windows.h>

namespace mrwd {

// `arguments` is the command line without the program name. Always returns 0.
int RunEntryPoint(HINSTANCE instance, const char* arguments);

}  // namespace mrwd
