// What the supervision engine needs from the system and from the rest of the
// server. The Windows shell implements it with the real calls; the tests give
// a fake with a clock they move by hand.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/core/ticks.h"
#include "supervision/core/module_entry.h"
#include "supervision/core/supervision_state.h"

namespace mrwd {

// The events the engine writes to the log.
enum class EngineEvent {
    ProcessRegistered,   // process id, path
    ProcessReleased,     // process id, path
    ControlBegun,        // process id, path
    ProgramRestart,      // restart number, path
    RebootProgramHang,   // path
    RebootSystemHang,    // -
    FileNotFound,        // path
    ProcessRefused,      // process id, path: may never be put under control
    SoftwareReboot,      // -: Windows is rebooted now
    CardReboot,          // -: the card resets the computer now
    CardRebootFailed,    // -: the card did not answer its reset order
    SoftwareRebootFailed,  // the system's error code: Windows refused to reboot
    HardwareReboot,      // -: the previous run ended without an orderly stop
    KillFailed,          // the system's error code, path: a hung process could not be killed
    CopyFoldersRefused,  // -, list key: its backup or restore folder is not a full path
    RecoveryOverdue,     // seconds waited, path of the recovery program: it still runs
    CrashLoopBegun,      // seconds to the next start, list key: it keeps dying at its start
    CrashLoopEnded,      // -, list key: a copy has stayed up
};

// The mails the engine sends.
enum class EngineNotice {
    ProgramRestart,  // restart number, path
    ProgramHang,     // path (the program brings a reboot)
    SystemHang,      // the clock stands still (a reboot follows)
    HardwareReboot,  // the previous run ended without an orderly stop
    SoftwareReboot,  // Windows is rebooted now
    CardReboot,      // the controller card resets the computer now
};

class EngineSystem {
public:
    virtual ~EngineSystem() = default;

    virtual Tick Now() = 0;
    // The short pause before each visited entry, so long lists do not hog the
    // processor. False once supervision is off or the server is stopping: the
    // pass then ends at once and begins nothing more.
    virtual bool Pause() = 0;
    // The server is ending (unloaded, stopped): nothing new is begun, not even
    // the order of a reboot decided before.
    virtual bool Stopping() = 0;

    virtual void RebuildSnapshot(ProcessSnapshot& snapshot) = 0;
    // The executable path of a running process, in its canonical long form.
    virtual bool ExecutablePath(std::uint32_t processId, std::string& path) = 0;
    // Pings the process's top-level window without waiting; an answer comes
    // back through SupervisionEngine::OnPingAnswered. False when it has none.
    virtual bool PingWindow(std::uint32_t processId) = 0;
    virtual bool StartProgram(const std::string& path, const std::string& parameters, std::uint32_t& processId) = 0;
    // What the process started, what those started and so on, deepest
    // first; for a process started by StartProgram, also whatever else its
    // job holds. Never the process itself.
    virtual std::vector<std::uint32_t> Descendants(std::uint32_t processId) = 0;
    // False, with the system's error code, when the process could not be
    // killed. `wholeJob`: a process started by StartProgram is ended with
    // everything in its job.
    virtual bool Terminate(std::uint32_t processId, bool wholeJob, std::uint32_t& error) = 0;
    // Starts a recovery program without waiting for it. True when it runs as
    // a process of its own: `token` then names it until ReleaseRecovery.
    // False when it could not be started, or was handed to a program that
    // already runs (there is nothing to wait for).
    virtual bool StartRecovery(const std::string& path, std::uint32_t& token) = 0;
    virtual bool RecoveryEnded(std::uint32_t token) = 0;
    // Forgets a recovery program; one still running is left to run.
    virtual void ReleaseRecovery(std::uint32_t token) = 0;
    // Copies the program's backup folder into its restore folder. The
    // progress texts are screen texts in UTF-8: the engine passes them on
    // untouched, and they must read right whatever the system's code page.
    virtual void RestoreFiles(const ModuleEntry& entry, const std::string& progressText) = 0;
    // The progress text of a restore after a failure of `path`.
    virtual std::string RestoreCaption(const std::string& path) = 0;
    // The progress text of a restore before a start.
    virtual std::string CopyingCaption() = 0;

    virtual void Log(EngineEvent event, std::uint32_t number, const std::string& path) = 0;
    // `wait`: sent on the calling thread before returning, else in the background.
    virtual void Notify(EngineNotice notice, std::uint32_t number, const std::string& path, bool wait) = 0;
    // Tells the user a program could not be started, without holding up the engine.
    virtual void ReportStartFailure(const std::string& path) = 0;
    // Writes an entry created by a registration to the settings.
    virtual void StoreModule(const std::string& path, const ModuleEntry& entry) = 0;
    virtual void RefreshMainDialog() = 0;
    // The float window shows that the previous run ended in a hardware reset.
    virtual void ShowHardwareReboot() = 0;

    // The server's own process and executable (canonical long path): never
    // put under control.
    virtual std::uint32_t ServerProcessId() = 0;
    virtual std::string ServerExecutablePath() = 0;

    // The reboot sequence's reach. Announcing tells the controller to keep
    // the card armed (no release) whatever the mails take. Each order returns
    // once it has reached the card (or after a bounded wait): true when the
    // card answered it.
    virtual void AnnounceReboot() = 0;
    virtual bool OrderLastHeartbeat() = 0;
    virtual bool OrderResetThroughCard() = 0;
    // The reboot did not take place: the controller feeds the card as before.
    virtual void CancelReboot() = 0;
    // False, with the system's error code, when Windows refused the reboot.
    virtual bool RebootWindows(std::uint32_t& error) = 0;
    // Returns once every mail raised so far has gone or failed (each bounded
    // by the mail time-outs).
    virtual void WaitForNotices() = 0;
    // The server ends in order.
    virtual void EndServer() = 0;
};

}  // namespace mrwd
