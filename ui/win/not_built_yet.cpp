#include "not_built_yet.h"

namespace mrwd::not_built_yet {

void SetFloatWindowState(FloatState) {}

}  // namespace mrwd::not_built_yet
