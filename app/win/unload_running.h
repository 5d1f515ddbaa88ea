// "/k": makes a running server quit, or stops the service that runs it.
#pragma once

namespace mrwd {

// How long an unload waits for the server to end. A server that ends in
// order may first wait for the mails under way, and every send ends within
// 120 s; one still there after this will not end by itself (its window
// thread is stuck), and whoever asked must not wait for it for ever.
constexpr unsigned kUnloadWaitSeconds = 150;

// Returns true once no copy of the server holds the single-instance mutex
// any more; false, with a log line, when one still does after
// kUnloadWaitSeconds.
bool UnloadRunning();

}  // namespace mrwd
