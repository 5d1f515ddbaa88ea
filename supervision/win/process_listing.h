// Every process of the system in one call to the system (id, parent,
// creation time), without opening any of them: what lets a cycle name only
// the processes new since the last one, and find a process's descendants.
#pragma once

#include <vector>

#include "supervision/core/process_tree.h"

namespace mrwd {

// False where the system offers no such listing (Windows 95/98).
bool ListRunningProcesses(std::vector<RunningProcess>& running);

}  // namespace mrwd
