// Every process of the system in one call to the system (id, parent,
// creation time), without opening any of them: what lets a cycle name only
// the processes new since the last one, and find a process's descendants.
#pragma once

#include <vector>

#include "supervision/core/process_tree.h"

namespace mrwd {

class ProcessListing {
public:
    // False where the system offers no such listing (Windows 95/98).
    bool List(std::vector<RunningProcess>& running);

private:
    // Kept from call to call at the size the last listing needed: a call
    // with too small a buffer costs as much as one that succeeds (under
    // Wine the listing reads every process's figures from /proc).
    std::vector<unsigned char> buffer_;
};

}  // namespace mrwd
