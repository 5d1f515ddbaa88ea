// The reboot controller as other threads reach it: a command posted to its
// one-slot mailbox. The engine's reboot sequence and the main window use it;
// the controller thread carries the commands out.
#pragma once

namespace mrwd {

enum ControllerCommand : int {
    kNoCommand = 0,
    kForceModemReset = 1,   // "mdm.reset.msg"
    kCheckModem = 2,        // posted by the controller itself after a heartbeat
    kResetThroughCard = 3,  // the card resets the computer now
    kLastHeartbeat = 4,     // one last heartbeat before a software reboot
};

class ControllerCommands {
public:
    virtual ~ControllerCommands() = default;
    // Any thread; returns at once.
    virtual void PostCommand(int code) = 0;
    // A reboot sequence has begun: from now on the card is never released
    // and its port stays open, so that the reset order (3) or the last
    // heartbeat (4) still reaches it however long the reboot mails take.
    virtual void AnnounceReboot() = 0;
    // Waits until a posted reboot order (3 or 4) has been carried out, for at
    // most `milliseconds`; true only when the card answered it.
    virtual bool WaitForRebootOrder(unsigned milliseconds) = 0;
    // The reboot did not take place and the server goes on watching: the card
    // is fed again, and released again at the end, as before the announcement.
    virtual void CancelReboot() = 0;
};

}  // namespace mrwd
