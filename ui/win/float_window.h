// The float window as the rest of the server sees it.
#pragma once

namespace mrwd {

// 0 supervision off, 1 on (animated), 2 a hardware reboot was detected.
void SetFloatWindowState(int state);

}  // namespace mrwd
