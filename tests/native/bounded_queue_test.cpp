#include "base/core/bounded_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mrwd {
namespace {

TEST(BoundedQueue, FullQueueDropsTheOldestAndCountsIt) {
    BoundedQueue<std::string> q(3);
    EXPECT_TRUE(q.Push("a"));  // empty before: the worker must be woken
    EXPECT_FALSE(q.Push("b"));
    EXPECT_FALSE(q.Push("c"));
    EXPECT_FALSE(q.Push("d"));
    EXPECT_FALSE(q.Push("e"));
    EXPECT_EQ(q.Dropped(), 2u);
    EXPECT_EQ(q.TakeAll(), (std::vector<std::string>{"c", "d", "e"}));

    EXPECT_TRUE(q.TakeAll().empty());
    EXPECT_TRUE(q.Push("f"));  // emptied by TakeAll: wake again
    EXPECT_EQ(q.TakeAll(), (std::vector<std::string>{"f"}));
    EXPECT_EQ(q.Dropped(), 2u);  // a total, not reset by taking
}

TEST(BoundedQueue, ZeroCapacityStillKeepsTheNewest) {
    BoundedQueue<int> q(0);
    q.Push(1);
    q.Push(2);
    EXPECT_EQ(q.TakeAll(), (std::vector<int>{2}));
    EXPECT_EQ(q.Dropped(), 1u);
}

}  // namespace
}  // namespace mrwd
