// Where this program's own executable lives: "Logs" and "reboot.mrk" go beside it.
#pragma once

#include <string>

namespace mrwd {

// The executable's full path; empty when it does not fit 260 bytes.
std::string ThisExecutablePath();
// The same path in UTF-16, whatever its length and characters; empty when unknown.
std::wstring ThisExecutableWidePath();

// Its folder up to and including the last "\", "/" or ":"; empty when the
// path is unknown.
std::string ThisExecutableFolder();

}  // namespace mrwd
