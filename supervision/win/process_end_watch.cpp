#include "process_end_watch.h"

#include <algorithm>

namespace mrwd {

struct ProcessEndWatch::Followed {
    Followed(ProcessEndWatch& owner, std::uint32_t id, HANDLE opened) : watch(owner), processId(id), process(opened) {}

    ProcessEndWatch& watch;
    std::uint32_t processId;
    UniqueHandle process;
    // Last, so that it goes first: its unregistering waits for a callback
    // that is running, which must not reach a watch that is gone.
    UniqueRegisteredWait wait;
};

ProcessEndWatch::ProcessEndWatch() : ended_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

// The registered waits go first: their callbacks report into this object.
ProcessEndWatch::~ProcessEndWatch() { followed_.clear(); }

void CALLBACK ProcessEndWatch::OnEnded(void* context, BOOLEAN /*timedOut*/) {
    const Followed& followed = *static_cast<const Followed*>(context);
    followed.watch.Report(followed.processId);
}

void ProcessEndWatch::Report(std::uint32_t processId) {
    {
        std::lock_guard<std::mutex> lock(endedLock_);
        endedIds_.push_back(processId);
    }
    ::SetEvent(ended_.get());
}

void ProcessEndWatch::Follow(const std::vector<std::uint32_t>& processIds) {
    std::vector<std::uint32_t> wanted(processIds);
    std::sort(wanted.begin(), wanted.end());
    for (auto it = followed_.begin(); it != followed_.end();) {
        it = std::binary_search(wanted.begin(), wanted.end(), it->first) ? std::next(it) : followed_.erase(it);
    }
    for (auto it = gone_.begin(); it != gone_.end();) {
        it = std::binary_search(wanted.begin(), wanted.end(), *it) ? std::next(it) : gone_.erase(it);
    }
    for (const std::uint32_t id : wanted) {
        if (followed_.count(id) != 0 || gone_.count(id) != 0) continue;
        HANDLE opened = ::OpenProcess(SYNCHRONIZE, FALSE, id);
        if (opened == nullptr) continue;
        auto followed = std::make_unique<Followed>(*this, id, opened);
        // Run in the wait thread itself: the callback only notes the id.
        if (!::RegisterWaitForSingleObject(followed->wait.put(), opened, &ProcessEndWatch::OnEnded, followed.get(),
                                           INFINITE, WT_EXECUTEONLYONCE | WT_EXECUTEINWAITTHREAD)) {
            followed->wait.release();  // nothing was registered
            continue;
        }
        followed_.emplace(id, std::move(followed));
    }
}

std::vector<std::uint32_t> ProcessEndWatch::TakeEnded() {
    std::vector<std::uint32_t> ids;
    {
        std::lock_guard<std::mutex> lock(endedLock_);
        ids.swap(endedIds_);
    }
    // Let go at once: an ended process kept open could still be listed by
    // the sweep's snapshot, and its id could not be handed on.
    for (const std::uint32_t id : ids) {
        followed_.erase(id);
        gone_.insert(id);
    }
    return ids;
}

}  // namespace mrwd
