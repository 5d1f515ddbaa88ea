#include "process_tree.h"

#include <set>

namespace mrwd {

void ProcessNameCache::Refresh(const std::vector<RunningProcess>& running, const NameProcess& name,
                               ProcessSnapshot& snapshot) {
    snapshot.clear();
    namedLastTime_ = 0;
    std::map<std::uint32_t, Known> stillRunning;
    for (const RunningProcess& process : running) {
        auto known = known_.find(process.id);
        if (known != known_.end() && known->second.createdAt == process.createdAt) {
            snapshot[process.id] = known->second.path;
            stillRunning.emplace(process.id, std::move(known->second));
            continue;
        }
        ++namedLastTime_;
        std::string path;
        if (!name(process.id, path)) continue;
        snapshot[process.id] = path;
        stillRunning.emplace(process.id, Known{process.createdAt, std::move(path)});
    }
    known_.swap(stillRunning);
}

std::vector<std::uint32_t> DescendantsOf(std::uint32_t root, const std::vector<RunningProcess>& running) {
    std::multimap<std::uint32_t, const RunningProcess*> childrenOf;
    const RunningProcess* rootProcess = nullptr;
    for (const RunningProcess& process : running) {
        childrenOf.emplace(process.parentId, &process);
        if (process.id == root) rootProcess = &process;
    }
    if (rootProcess == nullptr) return {};

    // Level by level from the root; a level's processes are children of the
    // one before, created after their parent.
    std::vector<std::vector<const RunningProcess*>> levels{{rootProcess}};
    std::set<std::uint32_t> taken{root};
    while (!levels.back().empty()) {
        std::vector<const RunningProcess*> next;
        for (const RunningProcess* parent : levels.back()) {
            const auto children = childrenOf.equal_range(parent->id);
            for (auto child = children.first; child != children.second; ++child) {
                const RunningProcess* process = child->second;
                // Created before its "parent": the parent's id, reused by another process.
                if (process->createdAt < parent->createdAt || !taken.insert(process->id).second) continue;
                next.push_back(process);
            }
        }
        levels.push_back(std::move(next));
    }
    std::vector<std::uint32_t> deepestFirst;
    for (std::size_t level = levels.size(); level-- > 1;) {
        for (const RunningProcess* process : levels[level]) deepestFirst.push_back(process->id);
    }
    return deepestFirst;
}

}  // namespace mrwd
