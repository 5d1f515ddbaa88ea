// RunServer: one run of the server from the single-instance check through the
// message loop to the orderly teardown. Used by the plain start and by the
// service modes.
#pragma once

namespace mrwd {

void RunServer();

}  // namespace mrwd
