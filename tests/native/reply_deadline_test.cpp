#include "hardware/core/reply_deadline.h"

#include <gtest/gtest.h>

namespace mrwd {
namespace {

// A command with a 2 s limit started at `start`; the clock is moved by hand.
TEST(ReplyDeadline, EachLineGetsTheLimitUntilFiveLimitsAreSpent) {
    for (const Tick start : {Tick{1000}, Tick{0xFFFFF000u}, Tick{0xFFFFFFFFu}}) {
        SCOPED_TRACE(start);
        const ReplyDeadline deadline(start, 2);
        const struct {
            std::uint32_t elapsedMs;
            std::uint32_t nextLineMs;
        } kCases[] = {
            {0, 2000},     {1999, 2000},  {7999, 2000},  // lines that end early leave the next its full limit
            {8000, 2000},  {8001, 1999},  {9500, 500},   // the last line only gets what is left
            {9999, 1},     {10000, 0},    {10001, 0},    {60000, 0},
        };
        for (const auto& c : kCases) {
            EXPECT_EQ(deadline.NextLineMs(start + c.elapsedMs), c.nextLineMs) << "after " << c.elapsedMs << " ms";
        }
    }
}

TEST(ReplyDeadline, NoLimitNoLineAndHugeLimitsDoNotWrap) {
    EXPECT_EQ(ReplyDeadline(500, 0).NextLineMs(500), 0u);
    // Limits beyond what 32-bit milliseconds hold must not wrap to a short wait.
    const ReplyDeadline huge(0, 5000000);
    EXPECT_EQ(huge.NextLineMs(0), kLongestTickSpan);
    EXPECT_GT(huge.NextLineMs(1000000), 0u);
}

}  // namespace
}  // namespace mrwd
