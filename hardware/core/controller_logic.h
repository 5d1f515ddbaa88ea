// The reboot controller's decisions, run on the controller thread every
// 2.5 s and for each command taken from its mailbox: finding the card and
// pinning it to its port, the heartbeats, the handling of a card that stops
// answering, the reboot orders and the modem supervision. The card's port and
// the system are reached through CardLink and ControllerSystem.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "base/core/settings.h"
#include "base/core/ticks.h"
#include "hardware/core/controller_texts.h"
#include "hardware/core/status_line.h"

namespace mrwd {

// The controller's period: a time-out every 2.5 s, each one a heartbeat while
// the card runs. Commands do not move it.
constexpr unsigned kControllerPeriodMs = 2500;
// Forced modem resets are carried out at most this often.
constexpr unsigned kForcedResetSpacingMs = 30000;

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
    // "AT" on the modem's port. While the reply is awaited `whileWaiting` is
    // called every few tens of milliseconds (the card is fed from there).
    virtual ModemProbe ProbeModem(int port, const std::function<void()>& whileWaiting) = 0;
    // A line of kind `kind` (its string number): `format` takes at most one
    // number ("%0ld" or "%0d").
    virtual void Log(unsigned kind, const std::string& format, long number) = 0;
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
    // Whether the card answered the last reboot order carried out.
    bool RebootOrderAnswered() const { return rebootOrderAnswered_; }
    // Any thread: a reboot sequence has begun. Until its order arrives the
    // controller goes on as if supervision were on (the card found, opened
    // and fed), and it never releases the card again.
    void AnnounceReboot() { rebootAnnounced_ = true; }
    // Any thread: the reboot did not take place and the server goes on. From
    // the next step on the controller works as before the reboot was
    // announced: the card is fed while supervision is on.
    void CancelReboot() { rebootCancelled_ = true; }
    int FoundPort() const { return foundPort_; }
    // Heartbeats the card has answered since the start (any thread).
    std::uint64_t HeartbeatsAnswered() const { return heartbeatsAnswered_; }
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
    void BeatAndWatch(bool thenCheckModem);
    // Whether the card is to be fed now: supervision on (or a reboot order
    // awaited), the card not disabled, no reboot order carried out.
    bool CardWanted() const;
    // Supervision on, or a reboot order awaited.
    bool Active() const;
    // Between the steps of a long modem exchange: a heartbeat when one
    // controller period has passed since the last one.
    void FeedCardIfDue();
    // A pause of the modem sequence, with the card fed meanwhile.
    void PauseFeedingCard(unsigned milliseconds);
    ModemProbe ProbeModemFeedingCard(int port);
    void ApplyRebootCancel();

    // The modem's part.
    void RefreshModemStatusIfDue();
    void CheckModemPeriodically();
    bool CheckModem();
    bool ForceModemReset();
    // A forced reset now, or refused as too soon after the last one.
    bool ForcedResetDueNow();

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
    std::atomic<bool> rebootCancelled_{false};
    std::atomic<bool> rebootOrderAnswered_{false};
    std::atomic<std::uint64_t> heartbeatsAnswered_{0};
    // When the card was last sent a heartbeat (its end).
    Tick lastBeat_ = 0;

    // The last forced modem reset carried out, and whether a refusal since
    // then has been logged (one line per burst of requests).
    bool forcedResetEver_ = false;
    Tick lastForcedReset_ = 0;
    bool forcedRefusalLogged_ = false;

    int timeoutCounter_ = 0;
    bool modemCheckAllowed_ = false;
    bool modemEverChecked_ = false;
    // Once a check was due it stays due until one counts: a modem dead for
    // longer than ticks can compare must go on being checked.
    bool modemCheckOverdue_ = false;
    Tick lastModemCheck_ = 0;
};

}  // namespace mrwd
