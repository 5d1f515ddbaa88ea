#include "system_paths.h"

#include <windows.h>

namespace mrwd {

int CompareSystemPaths(const char* a, const char* b) { return ::lstrcmpiA(a, b); }

}  // namespace mrwd
