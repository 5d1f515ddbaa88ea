// One-shot work on a thread of its own: a mail sent in the background, a
// message box that must not hold anybody up. Long-lived workers are CThread
// subclasses instead.
#pragma once

#include <functional>

#include "base/win/handles.h"

namespace mrwd {

// Runs `work` once on a new thread. The returned handle lets the caller wait
// for the thread; dropping it lets the thread run on by itself. A null handle
// means no thread could be created, and `work` has not run.
UniqueHandle StartBackgroundWork(std::function<void()> work);

}  // namespace mrwd
