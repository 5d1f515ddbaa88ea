#include "controller_logic.h"

#include "hardware/core/card_protocol.h"
#include "hardware/core/command_mailbox.h"
#include "resources/resource_ids.h"

namespace mrwd {

// After this many failed heartbeats in a row the card counts as gone.
constexpr int kFailuresBeforeGiveUp = 3;

ControllerLogic::ControllerLogic(CardLink& card, ControllerSystem& system, Settings& settings,
                                 const ControllerTexts& texts, const std::atomic<bool>& supervisionOn)
    : card_(card), system_(system), settings_(settings), texts_(texts), supervisionOn_(supervisionOn) {
    // The text already begins with a blank, so it shows with two.
    controllerStatus_.Publish(texts_.off, kNeutral);
}

void ControllerLogic::PublishController(const std::string& text, StatusColour colour) {
    controllerStatus_.Publish(text, colour);
    system_.StatusChanged(false);
}

void ControllerLogic::PublishModem(const std::string& text, StatusColour colour) {
    modemStatus_.Publish(text, colour);
    system_.StatusChanged(true);
}

void ControllerLogic::ReleaseUnlessRebooting() {
    // Once a reboot is under way (or about to be ordered) the card must keep
    // its count-down: never "C".
    if (!rebootInProgress_ && !rebootAnnounced_) card_.Release();
}

int ControllerLogic::FindController() {
    if (settings_.CustomControllerPort == 1) {
        const int port = static_cast<int>(settings_.ControllerPort.load());
        return card_.Identify(port) ? port : 0;
    }
    for (int port = 1; port <= kHighestPort; ++port) {
        if (card_.Identify(port)) {
            settings_.CustomControllerPort = 1;
            settings_.ControllerPort = static_cast<std::uint32_t>(port);
            system_.StorePinnedPort(port);
            system_.RefreshMainDialog();
            return port;
        }
        system_.Wait(1);
    }
    return 0;
}

std::string ControllerLogic::NotFoundText() {
    if (settings_.CustomControllerPort == 1) {
        return texts_.notFoundOnPort + texts_.numberSign + std::to_string(settings_.ControllerPort.load()) + ".";
    }
    std::string text = texts_.notFoundOnFreePorts;
    std::string ports;
    for (int port = system_.FindFreePort(0); port != 0; port = system_.FindFreePort(port)) {
        ports += std::to_string(port) + ",";
    }
    if (ports.empty()) {
        text += texts_.noFreePorts;
    } else {
        ports.back() = ')';
        text += texts_.freePortsOpen + ports;
    }
    return text + ".";
}

void ControllerLogic::OnTimeout() {
    // Only this thread touches the found port; other threads ask.
    if (searchAgain_.exchange(false)) foundPort_ = 0;
    ApplyRebootCancel();
    RefreshModemStatusIfDue();

    if (settings_.WithoutController()) {
        PublishController(texts_.off, kNeutral);
        if (!disabledEntered_) {
            disabledEntered_ = true;
            ReleaseUnlessRebooting();
        }
        return;
    }
    disabledEntered_ = false;

    if (!Active()) {
        WhileInactive();
        return;
    }
    // Once a reboot order has been carried out the card gets nothing more:
    // its count-down is the reboot's last resort.
    if (rebootInProgress_) return;
    if (!card_.IsOpen()) {
        SearchAndOpen();
    } else {
        BeatAndWatch(true);
    }
}

bool ControllerLogic::Active() const {
    // Between the start of a reboot sequence and its order the card is fed
    // as if supervision were on, so the order finds the port open.
    return supervisionOn_ || (rebootAnnounced_ && !rebootInProgress_);
}

bool ControllerLogic::CardWanted() const {
    return !settings_.WithoutController() && Active() && !rebootInProgress_ && card_.IsOpen();
}

void ControllerLogic::FeedCardIfDue() {
    if (!CardWanted()) return;
    const std::int32_t since = TickDiff(system_.Now(), lastBeat_);
    if (since >= 0 && since < static_cast<std::int32_t>(kControllerPeriodMs)) return;
    BeatAndWatch(false);
}

void ControllerLogic::PauseFeedingCard(unsigned milliseconds) {
    constexpr unsigned kSliceMs = 50;
    const Tick start = system_.Now();
    for (;;) {
        FeedCardIfDue();
        const std::int32_t spent = TickDiff(system_.Now(), start);
        if (spent < 0 || static_cast<unsigned>(spent) >= milliseconds) return;
        const unsigned left = milliseconds - static_cast<unsigned>(spent);
        system_.Wait(left < kSliceMs ? left : kSliceMs);
    }
}

void ControllerLogic::ApplyRebootCancel() {
    if (!rebootCancelled_.exchange(false)) return;
    rebootAnnounced_ = false;
    rebootInProgress_ = false;
    rebootOrderAnswered_ = false;
}

void ControllerLogic::WhileInactive() {
    if (card_.IsOpen()) {
        ReleaseUnlessRebooting();
        PublishController(texts_.off, kNeutral);
        if (card_.IsOpen()) return;  // a reboot is under way: the port stays
    }
    if (foundPort_ != 0) return;
    PublishController(texts_.searchWait, kNeutral);
    foundPort_ = FindController();
    if (foundPort_ != 0) {
        PublishController(FormatWithNumber(texts_.foundIdle, foundPort_), kNeutral);
    } else {
        PublishController(NotFoundText(), kNeutral);
        settings_.CheckContr = 0;  // in memory only: a missing card is not a failure yet
    }
}

void ControllerLogic::SearchAndOpen() {
    PublishController(texts_.searching, kNeutral);
    foundPort_ = FindController();
    if (foundPort_ == 0) {
        if (!searchFailureLogged_) {
            system_.Log(IDS_CONTROLLER_START_FAILED, texts_.startFailed, 0);
            searchFailureLogged_ = true;
        }
        PublishController(NotFoundText(), kFault);
        return;
    }
    failureReported_ = false;
    // Supervision may have ended during the search (the server unloads):
    // nothing new begins then.
    if (!Active()) return;
    if (!card_.OpenPort(foundPort_)) return;  // the search repeats next time
    system_.Log(IDS_CONTROLLER_STARTED, texts_.started, foundPort_);
    searchFailureLogged_ = false;
    PublishController(FormatWithNumber(texts_.working, foundPort_), kWorking);
}

void ControllerLogic::BeatAndWatch(bool thenCheckModem) {
    const bool answered = card_.Heartbeat(settings_.RebootTimeout);
    lastBeat_ = system_.Now();
    if (answered) {
        ++heartbeatsAnswered_;
        failureReported_ = false;
        failureCount_ = 0;
        if (thenCheckModem) system_.PostCommand(kCheckModem);
    } else {
        ++failureCount_;
    }
    // The count is cleared only by a heartbeat that succeeds: a card found
    // again after a failure is reported at its first failed heartbeat.
    if (failureCount_ >= kFailuresBeforeGiveUp && !failureReported_) {
        ReleaseUnlessRebooting();
        failureReported_ = true;
        PublishController(texts_.dead, kFault);
        // Logged once per loss, so that the fleet's monitoring hears of it.
        system_.Log(IDS_CONTROLLER_DEAD, texts_.dead, 0);
        if (settings_.CheckContr == 1) system_.ReportCardFailure();
    }
}

void ControllerLogic::OnCommand(int code) {
    ApplyRebootCancel();
    switch (code) {
        case kForceModemReset:
            if (settings_.ForcedModemResetAllowed() && ForcedResetDueNow() && !ForceModemReset()) system_.Beep();
            break;
        case kCheckModem:
            if (modemCheckAllowed_) CheckModemPeriodically();
            break;
        case kResetThroughCard:
            rebootOrderAnswered_ = card_.HardReset();
            rebootInProgress_ = true;
            break;
        case kLastHeartbeat:
            rebootOrderAnswered_ = card_.Kick();
            rebootInProgress_ = true;
            break;
        default:
            break;
    }
}

void ControllerLogic::OnStop() {
    if (card_.IsOpen()) ReleaseUnlessRebooting();
}

}  // namespace mrwd
