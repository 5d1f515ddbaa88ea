#include "service_status.h"

namespace mrwd {

ServiceStatusReport ServiceStatusBook::Report(ServiceState state, std::uint32_t exitCode, std::uint32_t waitHint) {
    current_ = state;
    ServiceStatusReport report;
    report.currentState = static_cast<std::uint32_t>(state);
    const std::uint32_t accepted = kAcceptStop | kAcceptShutdown | (preshutdownOffered_ ? kAcceptPreshutdown : 0);
    report.controlsAccepted = state == ServiceState::StartPending ? 0 : accepted;
    report.win32ExitCode = exitCode;
    report.checkPoint = state == ServiceState::Running || state == ServiceState::Stopped ? 0 : ++checkPoint_;
    report.waitHint = waitHint;
    return report;
}

ControlAnswer ServiceStatusBook::Answer(std::uint32_t control) const {
    ControlAnswer answer;
    answer.report = current_;
    const bool systemEnds = control == kControlShutdown || control == kControlPreshutdown;
    const bool ending = control == kControlStop || systemEnds;
    if (!ending) return answer;
    // Once the server has stopped or is stopping, a late or repeated request
    // changes nothing: a STOPPED must never be followed by a STOP_PENDING.
    // While starting nothing is accepted, so the manager sends no stop then.
    if (current_ != ServiceState::Running) return answer;
    answer.deleteRebootMarker = systemEnds;
    answer.switchSupervisionOff = systemEnds;
    answer.endServer = true;
    answer.report = ServiceState::StopPending;
    return answer;
}

}  // namespace mrwd
