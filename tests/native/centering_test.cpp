#include "base/core/centering.h"

#include <gtest/gtest.h>

namespace mrwd {
namespace {

const Box kWork{0, 0, 1024, 738};

TEST(Centering, CentresOverTheReference) {
    const Position p = CenteredPosition(Box{100, 100, 500, 400}, 200, 100, kWork);
    EXPECT_EQ(p.x, 200);
    EXPECT_EQ(p.y, 200);
}

TEST(Centering, KeepsTheWindowInsideTheWorkArea) {
    // Reference near the left/top edge: pushed right/down to the edge.
    Position p = CenteredPosition(Box{-300, -300, 100, 100}, 400, 300, kWork);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    // Near the right/bottom edge: pulled back inside.
    p = CenteredPosition(Box{900, 700, 1100, 800}, 400, 300, kWork);
    EXPECT_EQ(p.x, 1024 - 400);
    EXPECT_EQ(p.y, 738 - 300);
    // Larger than the work area: the left/top edge wins.
    p = CenteredPosition(kWork, 2000, 1000, kWork);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
}

TEST(Centering, WorkAreaNotAtOrigin) {
    const Box work{40, 30, 1064, 768};  // taskbar on the left and top
    const Position p = CenteredPosition(work, 300, 200, work);
    EXPECT_EQ(p.x, (40 + 1064) / 2 - 150);
    EXPECT_EQ(p.y, (30 + 768) / 2 - 100);
}

}  // namespace
}  // namespace mrwd
