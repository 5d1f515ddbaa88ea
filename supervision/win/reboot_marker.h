// The reboot marker "reboot.mrk" beside the executable: made when the engine
// begins, deleted at every orderly end, so a marker found at start means the
// previous run was cut short by a reset or a power loss. Any thread may
// delete it (the end of the session, the service's shutdown control) while
// the engine still works: once deleted it is not made again by this run.
#pragma once

#include <mutex>
#include <string>

namespace mrwd {

class RebootMarker {
public:
    explicit RebootMarker(std::string path);

    // A new run of the server: the marker may be made again.
    void Arm();
    // At the engine's start: true when a marker of the previous run was found
    // (it stays on disk until this run ends in order); otherwise it is made now.
    bool FoundOrMade();
    // The orderly end; it is not made again until Arm.
    void Delete();

    const std::string& Path() const { return path_; }

private:
    const std::string path_;
    std::mutex lock_;
    bool deleted_ = false;
};

}  // namespace mrwd
