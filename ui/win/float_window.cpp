#include "float_window.h"

namespace mrwd {

// The float window is not part of this build yet; its state has no one to show it.
void SetFloatWindowState(int) {}

}  // namespace mrwd
