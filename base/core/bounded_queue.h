// The hand-over from any thread to one worker: a FIFO of fixed capacity that
// never blocks the producer; when full it gives up the oldest item.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

namespace mrwd {

template <typename T>
class BoundedQueue {
public:
    // A capacity of 0 would drop every item at once; it is taken as 1.
    explicit BoundedQueue(std::size_t capacity) : capacity_(capacity ? capacity : 1) {}

    BoundedQueue(const BoundedQueue&) = delete;
    BoundedQueue& operator=(const BoundedQueue&) = delete;

    // Never waits for the worker: a full queue loses its oldest item, so a
    // stalled output costs old events, not the producer's time. Returns true
    // when the queue was empty, i.e. when the worker may be asleep and needs
    // waking; later pushes find it already woken.
    bool Push(T item) {
        std::lock_guard<std::mutex> lock(mutex_);
        const bool wasEmpty = items_.empty();
        if (items_.size() >= capacity_) {
            items_.pop_front();
            ++dropped_;
        }
        items_.push_back(std::move(item));
        return wasEmpty;
    }

    // Everything queued, oldest first; the queue is empty afterwards.
    std::vector<T> TakeAll() {
        std::deque<T> taken;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            taken.swap(items_);
        }
        return std::vector<T>(std::make_move_iterator(taken.begin()),
                              std::make_move_iterator(taken.end()));
    }

    // Items given up since the start, for the metrics.
    std::uint64_t Dropped() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return dropped_;
    }

private:
    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::deque<T> items_;
    std::uint64_t dropped_ = 0;
};

}  // namespace mrwd
