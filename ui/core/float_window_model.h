// The float window without its window: which picture set and frame it shows,
// when its animation timer runs, what a click does, and where it may stand on
// the screen. The window procedure only carries out what this decides.
#pragma once

#include <array>

#include "base/core/centering.h"
#include "base/core/ui_events.h"

namespace mrwd {

// One frame every half second, whatever delays the picture file names: the
// camera turns at the same pace on every machine.
constexpr unsigned kFloatFramePeriodMs = 500;

// What a double click asks for, once the reboot picture has been left.
enum class DoubleClickAction {
    SwitchOff,      // show "off" and ask the main window to switch supervision off
    SwitchOn,       // show "on" and ask it to switch supervision on
    OpenMakerPage,  // no program has ever spoken the alive protocol: show where to learn about it
};

class FloatWindowModel {
public:
    // The number of frames of each state's picture set, by state (off, on,
    // hardware reboot). A set that failed to load has 0.
    explicit FloatWindowModel(const std::array<int, 3>& frameCounts) : frameCounts_(frameCounts) {}

    // What the window must do after a state change or a timer tick.
    struct Step {
        bool render = false;  // draw the current frame
        bool timer = false;   // (after SetState) the animation timer runs
    };

    // A new state always starts its picture from the first frame. Only a set
    // of several frames animates; an empty set draws nothing, so the last
    // picture drawn stays.
    Step SetState(FloatState state);
    // The animation timer fired: the next frame, round and round.
    Step NextFrame();

    // The first click of any kind on the reboot picture only acknowledges it:
    // true, and `next` is the picture of the current supervision state. The
    // caller sets that state; supervision itself does not change.
    bool LeaveRebootPicture(bool supervisionOn, FloatState& next) const;

    // What a double click does in the current state (after the reboot
    // picture has been left).
    DoubleClickAction DoubleClick(bool anyProgramAliveSeen) const;

    // -1 before the first state is set.
    int State() const { return state_; }
    int FrameIndex() const { return frameIndex_; }
    int FrameCount() const { return frameCount_; }

private:
    std::array<int, 3> frameCounts_;
    int state_ = -1;
    int frameIndex_ = 0;
    int frameCount_ = 1;
};

// Where a window of width x height asked to stand at `wanted` may stand: inside
// the work area (screen coordinates; right and bottom just outside it). A window larger than the area keeps its top-left corner
// inside, so that it can still be grabbed and dragged back.
Position ClampToWorkArea(const Box& workArea, Position wanted, long width, long height);

// After a display change: a window whose left (top) edge lies beyond the new
// full-screen width (height) is brought back so that its right (bottom) edge
// touches it. Other positions stay; the move that follows is clamped to the
// work area anyway.
Position FitToScreen(Position position, long screenWidth, long screenHeight, long windowWidth, long windowHeight);

}  // namespace mrwd
