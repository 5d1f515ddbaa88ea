// The modem's part of the controller thread: its status line, the periodic
// "AT" check after heartbeats, the reset through the card, the forced reset.
// A dead modem makes a check last many seconds; the card is fed between its
// steps and while its replies are awaited, so the modem can never make the
// card reset a healthy computer.
#include "hardware/core/controller_logic.h"
#include "resources/resource_ids.h"

namespace mrwd {
namespace {

// A refresh is due every sixth 2.5-second time-out (about every 15 s).
constexpr int kTimeoutsPerRefresh = 5;
constexpr unsigned kPauseAfterModemReset = 2000;
constexpr unsigned kPauseAfterFailedReset = 1000;

}  // namespace

void ControllerLogic::RefreshModemStatusIfDue() {
    bool due = modemSettingsChanged.exchange(false);
    if (++timeoutCounter_ > kTimeoutsPerRefresh) {
        timeoutCounter_ = 0;
        due = true;
    }
    if (!due) return;
    modemCheckAllowed_ = true;

    const int port = static_cast<int>(settings_.Modem.load());
    if (port == 0 && settings_.WithoutModemControl()) {
        PublishModem(texts_.modemControlOff, kNeutral);
    } else if (port == 0) {
        PublishModem(texts_.modemPortNotSet, kFault);
    } else if (settings_.WithoutModemControl() || settings_.WithoutController()) {
        PublishModem(texts_.modemControlOff, kNeutral);
    } else if (port == foundPort_) {
        modemCheckAllowed_ = false;  // the card's own port: checking it would talk to the card
        PublishModem(texts_.modemPortWrong, kFault);
    } else {
        const ModemProbe probe = ProbeModemFeedingCard(port);
        if (probe.answered) {
            PublishModem(FormatWithNumber(texts_.modemWorks, port), kWorking);
        } else if (probe.busy) {
            PublishModem(FormatWithNumber(texts_.modemPortBusy, port), kNeutral);
        } else {
            PublishModem(texts_.modemDead, kFault);
        }
    }
}

void ControllerLogic::CheckModemPeriodically() {
    if (settings_.Modem == 0 || settings_.WithoutModemControl()) return;
    // Minutes, saturated so that a huge setting cannot wrap into a short one.
    const std::uint64_t minutes = settings_.MdmCheckTimeout;
    const std::uint64_t wanted = minutes * 60000;
    const std::uint32_t interval = static_cast<std::uint32_t>(wanted < kLongestTickSpan ? wanted : kLongestTickSpan);
    const Tick now = system_.Now();
    // Before the first check that counts, the interval counts from the start
    // of the system (the tick count itself).
    if (!modemCheckOverdue_) {
        modemCheckOverdue_ = modemEverChecked_ ? TickDiff(now, lastModemCheck_) > static_cast<std::int32_t>(interval)
                                               : now > interval;
    }
    if (!modemCheckOverdue_) return;

    PublishModem(texts_.modemChecking, kNeutral);
    system_.Log(IDS_MODEM_CHECKING, texts_.modemChecking, 0);
    if (CheckModem()) {
        lastModemCheck_ = system_.Now();
        modemEverChecked_ = true;
        modemCheckOverdue_ = false;
    }
}

ModemProbe ControllerLogic::ProbeModemFeedingCard(int port) {
    FeedCardIfDue();
    const ModemProbe probe = system_.ProbeModem(port, [this] { FeedCardIfDue(); });
    FeedCardIfDue();
    return probe;
}

bool ControllerLogic::CheckModem() {
    const int port = static_cast<int>(settings_.Modem.load());
    const ModemProbe probe = ProbeModemFeedingCard(port);
    if (probe.answered) {
        const std::string works = FormatWithNumber(texts_.modemWorks, port);
        system_.Log(IDS_MODEM_WORKS, texts_.modemWorks, port);
        PublishModem(works, kWorking);
        return true;
    }
    if (probe.busy) {
        // Another program uses the modem: that counts as a check, the next waits a full interval.
        const std::string busy = FormatWithNumber(texts_.modemPortBusy, port);
        system_.Log(IDS_PORT_BUSY, texts_.modemPortBusy, port);
        PublishModem(busy, kNeutral);
        lastModemCheck_ = system_.Now();
        modemEverChecked_ = true;
        modemCheckOverdue_ = false;
        return false;
    }

    system_.Log(IDS_MODEM_HANG_RESET, texts_.modemHangReset, 0);
    PublishModem(texts_.modemHangReset, kFault);
    const bool resetAnswered = card_.ResetModem();
    PauseFeedingCard(kPauseAfterModemReset);
    const bool answersNow = ProbeModemFeedingCard(port).answered;
    if (resetAnswered && answersNow) {
        system_.Log(IDS_MODEM_RESET_DONE, texts_.modemResetDone, 0);
        PublishModem(texts_.modemResetDone, kWorking);
        return true;
    }
    if (resetAnswered) {
        system_.Log(IDS_MODEM_DEAD, texts_.modemDead, 0);
        PublishModem(texts_.modemDead, kFault);
        system_.Beep();
        return false;
    }
    system_.Log(IDS_MODEM_RESET_FAILED, texts_.modemResetFailed, 0);
    PublishModem(texts_.modemResetFailed, kFault);
    system_.Beep();
    PauseFeedingCard(kPauseAfterFailedReset);
    if (!answersNow) {
        system_.Log(IDS_MODEM_DEAD, texts_.modemDead, 0);
        PublishModem(texts_.modemDead, kFault);
        system_.Beep();
    }
    return false;
}

bool ControllerLogic::ForcedResetDueNow() {
    const Tick now = system_.Now();
    const std::int32_t since = TickDiff(now, lastForcedReset_);
    // A span past what ticks compare over counts as long ago.
    if (forcedResetEver_ && since >= 0 && since < static_cast<std::int32_t>(kForcedResetSpacingMs)) {
        if (!forcedRefusalLogged_) system_.Log(IDS_MODEM_RESET_REFUSED, texts_.modemResetRefused, 0);
        forcedRefusalLogged_ = true;
        return false;
    }
    forcedResetEver_ = true;
    lastForcedReset_ = now;
    forcedRefusalLogged_ = false;
    return true;
}

bool ControllerLogic::ForceModemReset() {
    system_.Log(IDS_MODEM_FORCED_RESET, texts_.modemForcedReset, 0);
    PublishModem(texts_.modemForcedReset, kNeutral);
    FeedCardIfDue();
    const bool answered = settings_.Modem != 0 && card_.ResetModem();
    FeedCardIfDue();
    if (!answered) {
        system_.Log(IDS_MODEM_RESET_FAILED, texts_.modemResetFailed, 0);
        PublishModem(texts_.modemResetFailed, kFault);
        return false;
    }
    system_.Log(IDS_MODEM_RESET_DONE, texts_.modemResetDone, 0);
    PublishModem(texts_.modemResetDone, kWorking);
    return true;
}

}  // namespace mrwd
