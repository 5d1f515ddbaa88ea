// Waits for the ends of the supervised processes, so that a program that
// dies is started again at once instead of at the next sweep. Each process
// gets a registered wait of the thread pool: any number of processes works,
// where one wait call takes 64 objects at most.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "base/win/handles.h"

namespace mrwd {

class ProcessEndWatch {
public:
    ProcessEndWatch();
    ~ProcessEndWatch();
    ProcessEndWatch(const ProcessEndWatch&) = delete;
    ProcessEndWatch& operator=(const ProcessEndWatch&) = delete;

    // Signalled (auto-reset) when a followed process has ended.
    HANDLE EndedEvent() const { return ended_.get(); }

    // Follows exactly these processes from now on: new ones are opened, the
    // others let go. A process that cannot be opened (already gone) is skipped.
    void Follow(const std::vector<std::uint32_t>& processIds);

    // The processes that ended since the last call, each once; they are let go.
    std::vector<std::uint32_t> TakeEnded();

    std::size_t FollowedCount() const { return followed_.size(); }

private:
    struct Followed;
    static void CALLBACK OnEnded(void* context, BOOLEAN timedOut);
    void Report(std::uint32_t processId);

    UniqueHandle ended_;
    // Engine thread only.
    std::map<std::uint32_t, std::unique_ptr<Followed>> followed_;
    // Reported as ended but still asked for (not yet pruned): never opened
    // again, or a dead process still listed would wake the engine for ever.
    std::set<std::uint32_t> gone_;
    // Filled by the pool's wait thread, emptied by the engine thread.
    std::mutex endedLock_;
    std::vector<std::uint32_t> endedIds_;
};

}  // namespace mrwd
