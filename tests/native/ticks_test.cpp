#include "base/core/ticks.h"

#include <gtest/gtest.h>

namespace mrwd {
namespace {

TEST(Ticks, DifferenceIsSignedAcrossTheWrap) {
    EXPECT_EQ(TickDiff(5, 0xFFFFFFFBu), 10);
    EXPECT_EQ(TickDiff(0xFFFFFFFBu, 5), -10);
    EXPECT_EQ(TickDiff(1000, 1000), 0);
    EXPECT_EQ(TickDiff(0x80000000u, 0), INT32_MIN);
    EXPECT_EQ(TickDiff(0x7FFFFFFFu, 0), INT32_MAX);
}

TEST(Ticks, DeadlinesAcrossTheWrap) {
    const Tick start = 0xFFFFF000u;
    const Tick deadline = start + 10000;  // wraps past zero
    EXPECT_FALSE(TickReached(start, deadline));
    EXPECT_FALSE(TickReached(0xFFFFFFFFu, deadline));
    EXPECT_FALSE(TickReached(deadline - 1, deadline));
    EXPECT_TRUE(TickReached(deadline, deadline));
    EXPECT_TRUE(TickReached(deadline + 1, deadline));
    // A raw comparison would call the deadline long past at the start.
    EXPECT_TRUE(start > deadline);
}

TEST(Ticks, OrderHoldsUpToHalfTheRange) {
    EXPECT_TRUE(TickBefore(0xFFFFFFFFu, 0));
    EXPECT_FALSE(TickBefore(0, 0xFFFFFFFFu));
    EXPECT_TRUE(TickBefore(0, kLongestTickSpan));
    EXPECT_FALSE(TickBefore(0, kLongestTickSpan + 2u));  // too far apart: read as the other way round
}

}  // namespace
}  // namespace mrwd
