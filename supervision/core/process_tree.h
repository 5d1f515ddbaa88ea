// The processes of the system as one listing gives them (id, parent,
// creation time), and what is worked out from it: the names kept from one
// engine cycle to the next, so that only processes new since the last one
// are named (naming is the costly part of a cycle), and a process's
// descendants. A process id may be reused as soon as its process has ended:
// the creation time tells a new process under an old id apart, and a
// "parent" created after its child is another process under the parent's id.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "supervision/core/supervision_state.h"

namespace mrwd {

struct RunningProcess {
    std::uint32_t id = 0;
    std::uint32_t parentId = 0;
    std::uint64_t createdAt = 0;  // the system's creation time (100 ns units)
};

// Asked for the executable path of a process; false when it cannot be read.
using NameProcess = std::function<bool(std::uint32_t processId, std::string& path)>;

class ProcessNameCache {
public:
    // The snapshot of every running process that has a name: names kept from
    // earlier calls for processes still running under the same id and
    // creation time, `name` asked for the others. A process that could not
    // be named is asked again next time (a process just starting may not be
    // readable yet). Processes no longer running are forgotten.
    void Refresh(const std::vector<RunningProcess>& running, const NameProcess& name, ProcessSnapshot& snapshot);

    // How many processes the last Refresh had to name (for the benches).
    std::size_t NamedLastTime() const { return namedLastTime_; }

private:
    struct Known {
        std::uint64_t createdAt;
        std::string path;
    };
    std::map<std::uint32_t, Known> known_;
    std::size_t namedLastTime_ = 0;
};

// Every descendant of `root` (children, their children, ...), the deepest
// first, so that they can be ended before the processes that would start
// them again. A process counts as a child only when it was created after its
// parent. Empty when `root` is not running.
std::vector<std::uint32_t> DescendantsOf(std::uint32_t root, const std::vector<RunningProcess>& running);

}  // namespace mrwd
