#include "float_window_model.h"

#include <algorithm>

namespace mrwd {

FloatWindowModel::Step FloatWindowModel::SetState(FloatState state) {
    state_ = static_cast<int>(state);
    frameCount_ = frameCounts_[static_cast<std::size_t>(state_)];
    frameIndex_ = 0;
    return Step{frameCount_ > 0, frameCount_ > 1};
}

FloatWindowModel::Step FloatWindowModel::NextFrame() {
    // A tick may still be on its way after a change to a set that does not
    // animate, or to an empty one: never step through no frames at all.
    if (frameCount_ <= 0) return Step{};
    frameIndex_ = (frameIndex_ + 1) % frameCount_;
    return Step{true, frameCount_ > 1};
}

bool FloatWindowModel::LeaveRebootPicture(bool supervisionOn, FloatState& next) const {
    if (state_ != static_cast<int>(FloatState::HardwareReboot)) return false;
    next = supervisionOn ? FloatState::On : FloatState::Off;
    return true;
}

DoubleClickAction FloatWindowModel::DoubleClick(bool anyProgramAliveSeen) const {
    if (!anyProgramAliveSeen) return DoubleClickAction::OpenMakerPage;
    return state_ != static_cast<int>(FloatState::Off) ? DoubleClickAction::SwitchOff : DoubleClickAction::SwitchOn;
}

Position ClampToWorkArea(const Box& workArea, Position wanted, long width, long height) {
    // The far edges first, then the near ones: when the window does not fit,
    // the near edges win and its top-left corner stays reachable.
    Position p = wanted;
    p.x = std::max(std::min(p.x, workArea.right - width), workArea.left);
    p.y = std::max(std::min(p.y, workArea.bottom - height), workArea.top);
    return p;
}

Position FitToScreen(Position position, long screenWidth, long screenHeight, long windowWidth, long windowHeight) {
    Position p = position;
    if (p.x > screenWidth) p.x = screenWidth - windowWidth;
    if (p.y > screenHeight) p.y = screenHeight - windowHeight;
    return p;
}

}  // namespace mrwd
