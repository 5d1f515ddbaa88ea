// The engine's reboots: the clock check that finds the system hung, the
// report of a previous run ended by a reset, and the reboot sequence (the
// mails, then the card or Windows, then the server's end).
#include "supervision/core/engine.h"

namespace mrwd {

bool SupervisionEngine::ClockCheck() {
    if (settings_.System == 0) return false;
    const Tick now = system_.Now();
    const bool stands = now == state_.lastClockTick;
    if (stands) {
        system_.Log(EngineEvent::RebootSystemHang, 0, std::string());
        if (settings_.NotifyReboot != 0) system_.Notify(EngineNotice::SystemHang, 0, std::string(), true);
    }
    state_.lastClockTick = system_.Now();
    return stands;
}

void SupervisionEngine::ReportHardwareReset() {
    if (settings_.NotifyReboot != 0) {
        system_.Log(EngineEvent::HardwareReboot, 0, std::string());
        system_.Notify(EngineNotice::HardwareReboot, 0, std::string(), false);
    }
    system_.ShowHardwareReboot();
}

bool SupervisionEngine::RebootSequence() {
    // From here the card stays armed: it gets its reset order, never a release.
    system_.AnnounceReboot();
    const bool mail = settings_.NotifyReboot != 0;
    if (settings_.HardReboot != 0) {
        system_.Log(EngineEvent::CardReboot, 0, std::string());
        if (mail) system_.Notify(EngineNotice::CardReboot, 0, std::string(), true);
        // Mails raised before (the hang, a restart) leave first: the reset would cut them off.
        system_.WaitForNotices();
        // Unloaded meanwhile: nothing more is begun. The card, never
        // released once the reboot was announced, still counts down.
        if (system_.Stopping()) return true;
        if (system_.OrderResetThroughCard()) {
            system_.EndServer();
            return true;
        }
        if (system_.Stopping()) return true;
        // No card (or a silent one): Windows is asked instead.
        system_.Log(EngineEvent::CardRebootFailed, 0, std::string());
    }
    // The card's count-down starts before Windows goes down, should it not.
    const bool cardCountsDown = system_.OrderLastHeartbeat();
    if (settings_.HardReboot == 0) {
        system_.Log(EngineEvent::SoftwareReboot, 0, std::string());
        if (mail) system_.Notify(EngineNotice::SoftwareReboot, 0, std::string(), true);
        system_.WaitForNotices();
    }
    if (system_.Stopping()) return true;
    std::uint32_t error = 0;
    if (system_.RebootWindows(error)) {
        system_.EndServer();
        return true;
    }
    system_.Log(EngineEvent::SoftwareRebootFailed, error, std::string());
    // A card that took its last heartbeat resets the computer in a few
    // seconds; without one the server simply goes on watching.
    if (!cardCountsDown) system_.CancelReboot();
    return false;
}

}  // namespace mrwd
