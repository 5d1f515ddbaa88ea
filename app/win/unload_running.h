// "/k": makes a running server quit, or stops the service that runs it.
#pragma once

namespace mrwd {

// Returns once no copy of the server holds the single-instance mutex any more.
void UnloadRunning();

}  // namespace mrwd
