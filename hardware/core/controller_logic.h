// The reboot controller's decisions, run on the controller thread every
// 2.5 s and for each command taken from its mailbox: finding the card and
// pinning it to its port, the heartbeats, the handling of a card that stops
// answering, the reboot orders and the modem supervision. The card's port and
// the system are reached through CardLink and ControllerSystem.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "base/core/settings.h"
#include "base/core/ticks.h"
#include "hardware/core/controller_texts.h"
#include "hardware/core/status_line.h"

namespace mrwd {

// The card's commands over its port (one exchange each, blocking).
class CardLink {
public:
    virtual ~CardLink() = default;
    virtual bool IsOpen() const = 0;
    // Opens the port, asks "?" and closes it again.
    virtual bool Identify(int port) = 0;
    virtual bool OpenPort(int port) = 0;
    virtual bool Kick() = 0;
    virtual bool Heartbeat(std::uint32_t seconds) = 0;
    // "C", then the port is closed whatever the reply.
    virtual bool Release() = 0;
    virtual bool HardReset() = 0;
    virtual bool ResetModem() = 0;
};

struct ModemProbe {
    bool answered = false;
    bool busy = false;  // the port exists but another program holds it
};

class ControllerSystem {
public:
    virtual ~ControllerSystem() = default;
    virtual Tick Now() = 0;
    virtual void Wait(unsigned milliseconds) = 0;
    // The next port above `after` that can be opened, or 0.
    virtual int FindFreePort(int after) = 0;
    virtual ModemProbe ProbeModem(int port) = 0;
    virtual void Log(const std::string& text) = 0;
    // Stores CustomControllerPort 1 and ControllerPort `port`.
    virtual void StorePinnedPort(int port) = 0;
    virtual void RefreshMainDialog() = 0;
    // One line in the controller failure window, opening it when needed.
    virtual void ReportCardFailure() = 0;
    virtual void Beep() = 0;
    // A status line changed: the dialog repaints it.
    virtual void StatusChanged(bool modemLine) = 0;
    // Posts a command to this controller's own mailbox.
    virtual void PostCommand(int code) = 0;
};

class ControllerLogic {
public:
    ControllerLogic(CardLink& card, ControllerSystem& system, Settings& settings, const ControllerTexts& texts,
                    const std::atomic<bool>& supervisionOn);

    // The 2.5-second time-out of the controller thread.
    void OnTimeout();
    // A code taken from the mailbox.
    void OnCommand(int code);
    // The thread is asked to end: the card is released unless a reboot is under way.
    void OnStop();

    // The search over the ports; pins the card to the port of the first automatic find.
    int FindController();
    // What the status says when the search found nothing.
    std::string NotFoundText();

    const StatusLine& ControllerStatus() const { return controllerStatus_; }
    const StatusLine& ModemStatus() const { return modemStatus_; }
    // Set once a reboot order (3 or 4) has been carried out; read by other threads.
    bool RebootInProgress() const { return rebootInProgress_; }
    // Any thread: a reboot sequence has begun. Until its order arrives the
    // controller goes on as if supervision were on (the card found, opened
    // and fed), and it never releases the card again.
    void AnnounceReboot() { rebootAnnounced_ = true; }
    int FoundPort() const { return foundPort_; }
    // Any thread (the dialog changed the failure reporting): the card is
    // searched for afresh, from the controller's next time-out on.
    void RequestSearchAgain() { searchAgain_ = true; }
    // Any thread (the dialog changed the modem settings): the modem's status
    // is worked out again at the next time-out.
    void RequestModemStatusRefresh() { modemSettingsChanged = true; }
    // Raised by the dialog when the modem settings change (and at start).
    std::atomic<bool> modemSettingsChanged{true};

private:
    void PublishController(const std::string& text, StatusColour colour);
    void PublishModem(const std::string& text, StatusColour colour);
    void ReleaseUnlessRebooting();
    void WhileInactive();
    void SearchAndOpen();
    void BeatAndWatch();

    // The modem's part.
    void RefreshModemStatusIfDue();
    void CheckModemPeriodically();
    bool CheckModem();
    bool ForceModemReset();

    CardLink& card_;
    ControllerSystem& system_;
    Settings& settings_;
    const ControllerTexts& texts_;
    const std::atomic<bool>& supervisionOn_;

    StatusLine controllerStatus_;
    StatusLine modemStatus_;
    int foundPort_ = 0;
    std::atomic<bool> searchAgain_{false};
    int failureCount_ = 0;
    bool failureReported_ = false;
    bool searchFailureLogged_ = false;
    bool disabledEntered_ = false;
    std::atomic<bool> rebootInProgress_{false};
    std::atomic<bool> rebootAnnounced_{false};

    int timeoutCounter_ = 0;
    bool modemCheckAllowed_ = false;
    bool modemEverChecked_ = false;
    // Once a check was due it stays due until one counts: a modem dead for
    // longer than ticks can compare must go on being checked.
    bool modemCheckOverdue_ = false;
    Tick lastModemCheck_ = 0;
};

}  // namespace mrwd
