#include "ui/core/float_window_model.h"

#include <gtest/gtest.h>

#include <vector>

namespace mrwd {
namespace {

// The program's pictures: off 1 frame, on 8 frames, reboot 1 frame.
const std::array<int, 3> kPictures{1, 8, 1};

std::vector<int> FramesOverTicks(FloatWindowModel& model, int ticks) {
    std::vector<int> shown{model.FrameIndex()};
    for (int i = 0; i < ticks; ++i) {
        EXPECT_TRUE(model.NextFrame().render);
        shown.push_back(model.FrameIndex());
    }
    return shown;
}

TEST(FloatWindowModel, OnPictureCyclesThroughItsEightFramesAndRestartsAtEveryStateChange) {
    FloatWindowModel model(kPictures);
    EXPECT_EQ(model.State(), -1);
    const FloatWindowModel::Step step = model.SetState(FloatState::On);
    EXPECT_TRUE(step.render);
    EXPECT_TRUE(step.timer);
    EXPECT_EQ(model.FrameCount(), 8);
    EXPECT_EQ(FramesOverTicks(model, 10), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2}));

    // Set again in the middle of the turn, even to the same state: frame 0.
    model.SetState(FloatState::On);
    EXPECT_EQ(model.FrameIndex(), 0);
    model.NextFrame();
    model.SetState(FloatState::Off);
    EXPECT_EQ(model.FrameIndex(), 0);
    model.SetState(FloatState::On);
    EXPECT_EQ(model.FrameIndex(), 0);
}

TEST(FloatWindowModel, SingleFramePicturesAreDrawnOnceWithoutATimer) {
    FloatWindowModel model(kPictures);
    for (FloatState state : {FloatState::Off, FloatState::HardwareReboot}) {
        const FloatWindowModel::Step step = model.SetState(state);
        EXPECT_TRUE(step.render);
        EXPECT_FALSE(step.timer);
        EXPECT_EQ(model.State(), static_cast<int>(state));
        // A tick still on its way stays on the one frame.
        EXPECT_FALSE(model.NextFrame().timer);
        EXPECT_EQ(model.FrameIndex(), 0);
    }
}

TEST(FloatWindowModel, AnEmptyPictureSetDrawsNothingAndNeverDividesByZero) {
    FloatWindowModel model({0, 8, 0});
    model.SetState(FloatState::On);
    model.NextFrame();
    const FloatWindowModel::Step step = model.SetState(FloatState::Off);
    EXPECT_FALSE(step.render);
    EXPECT_FALSE(step.timer);
    EXPECT_EQ(model.FrameCount(), 0);
    const FloatWindowModel::Step late = model.NextFrame();
    EXPECT_FALSE(late.render);
    EXPECT_EQ(model.FrameIndex(), 0);
}

TEST(FloatWindowModel, TheFirstClickOnTheRebootPictureOnlyShowsTheSupervisionState) {
    FloatWindowModel model(kPictures);
    FloatState next = FloatState::HardwareReboot;
    model.SetState(FloatState::HardwareReboot);
    ASSERT_TRUE(model.LeaveRebootPicture(true, next));
    EXPECT_EQ(next, FloatState::On);
    ASSERT_TRUE(model.LeaveRebootPicture(false, next));
    EXPECT_EQ(next, FloatState::Off);
    // Any other picture: nothing to leave.
    for (FloatState state : {FloatState::On, FloatState::Off}) {
        model.SetState(state);
        EXPECT_FALSE(model.LeaveRebootPicture(true, next));
    }
}

TEST(FloatWindowModel, DoubleClickSwitchesTheShownStateOrOpensTheMakersPage) {
    FloatWindowModel model(kPictures);
    model.SetState(FloatState::On);
    EXPECT_EQ(model.DoubleClick(true), DoubleClickAction::SwitchOff);
    EXPECT_EQ(model.DoubleClick(false), DoubleClickAction::OpenMakerPage);
    model.SetState(FloatState::Off);
    EXPECT_EQ(model.DoubleClick(true), DoubleClickAction::SwitchOn);
    EXPECT_EQ(model.DoubleClick(false), DoubleClickAction::OpenMakerPage);
}

// A 1024 x 768 screen with a 30-pixel taskbar at the bottom.
const Box kWork{0, 0, 1024, 738};

TEST(FloatWindowClamp, StopsAtEveryEdgeOfTheWorkArea) {
    struct Case {
        long x, y, wantX, wantY;
    };
    const Case cases[] = {
        {500, 300, 500, 300},   // inside: unchanged
        {-25, 300, 0, 300},     // partly off the left edge
        {1000, 300, 964, 300},  // partly off the right edge
        {500, -10, 500, 0},     // top
        {500, 700, 500, 678},   // partly under the taskbar
        {964, 678, 964, 678},   // exactly in the corner
        {5000, -5000, 964, 0},  // far off two edges at once
    };
    for (const Case& c : cases) {
        const Position p = ClampToWorkArea(kWork, Position{c.x, c.y}, 60, 60);
        EXPECT_EQ(p.x, c.wantX) << c.x << "," << c.y;
        EXPECT_EQ(p.y, c.wantY) << c.x << "," << c.y;
    }
}

TEST(FloatWindowClamp, WorkAreaAwayFromTheOriginAndWindowsLargerThanIt) {
    const Box work{100, 40, 1124, 808};  // taskbar on the left and at the top
    Position p = ClampToWorkArea(work, Position{0, 0}, 60, 60);
    EXPECT_EQ(p.x, 100);
    EXPECT_EQ(p.y, 40);
    // Wider and taller than the area: the top-left corner stays inside.
    p = ClampToWorkArea(work, Position{500, 500}, 2000, 1000);
    EXPECT_EQ(p.x, 100);
    EXPECT_EQ(p.y, 40);
}

TEST(FloatWindowFitToScreen, BringsBackOnlyAWindowWhoseEdgeLiesBeyondTheNewScreen) {
    // From 1280 x 1024 to 800 x 600: a window at 1200, 900 comes back.
    Position p = FitToScreen(Position{1200, 900}, 800, 600, 60, 60);
    EXPECT_EQ(p.x, 740);
    EXPECT_EQ(p.y, 540);
    // Left of the new width: stays (the clamp of the move that follows
    // takes care of a window partly off).
    p = FitToScreen(Position{790, 100}, 800, 600, 60, 60);
    EXPECT_EQ(p.x, 790);
    EXPECT_EQ(p.y, 100);
    // Exactly at the width is not beyond it; one pixel more is.
    EXPECT_EQ(FitToScreen(Position{800, 0}, 800, 600, 60, 60).x, 800);
    EXPECT_EQ(FitToScreen(Position{801, 0}, 800, 600, 60, 60).x, 740);
}

}  // namespace
}  // namespace mrwd
