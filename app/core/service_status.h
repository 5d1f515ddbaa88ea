// What the server's service tells the service manager: the status records
// with their check-points, and the answer to each control. Portable, so the
// order of states and the check-point rules are tested natively.
#pragma once

#include <cstdint>

namespace mrwd {

// The service states the server reports (values of the service manager).
enum class ServiceState : std::uint32_t {
    Stopped = 1,
    StartPending = 2,
    StopPending = 3,
    Running = 4,
};

// The controls the handler tells apart (values of the service manager).
constexpr std::uint32_t kControlStop = 1;
constexpr std::uint32_t kControlInterrogate = 4;
constexpr std::uint32_t kControlShutdown = 5;
// Since Windows Vista: sent before the shutdown, with time to end in order.
constexpr std::uint32_t kControlPreshutdown = 0xF;

// Own process, interactive: its hidden window shares the desktop with the
// monitored programs, which find it by its class.
constexpr std::uint32_t kReportedServiceType = 0x130;
constexpr std::uint32_t kAcceptStop = 0x1;
constexpr std::uint32_t kAcceptShutdown = 0x4;
constexpr std::uint32_t kAcceptPreshutdown = 0x100;

// One status record, field by field as the service manager takes it.
struct ServiceStatusReport {
    std::uint32_t serviceType = kReportedServiceType;
    std::uint32_t currentState = 0;
    std::uint32_t controlsAccepted = 0;
    std::uint32_t win32ExitCode = 0;
    std::uint32_t serviceSpecificExitCode = 0;
    std::uint32_t checkPoint = 0;
    std::uint32_t waitHint = 0;
};

// What a control asks of the server, and the state to report for it.
struct ControlAnswer {
    // The system ends: the reboot marker goes first (the process may be
    // ended at any moment from now on), a false "hardware reboot" must
    // not be left behind.
    bool deleteRebootMarker = false;
    bool switchSupervisionOff = false;  // before anything else: nothing may be restarted now
    bool endServer = false;             // end the server's message loop
    ServiceState report = ServiceState::Running;
};

// The service's status as last reported, and the check-point counter, which
// goes on counting over the whole life of the process.
class ServiceStatusBook {
public:
    // Whether the system offers the pre-shutdown control (Vista and later):
    // then it is accepted too.
    void OfferPreshutdown(bool offered) { preshutdownOffered_ = offered; }

    // The record for `state`. Pending states take the next check-point;
    // RUNNING and STOPPED take 0. Nothing is accepted while starting.
    ServiceStatusReport Report(ServiceState state, std::uint32_t exitCode, std::uint32_t waitHint);

    ServiceState Current() const { return current_; }

    // The answer to `control` in the current state. A stop or the end of the
    // system's session ends the server once; any other control (an
    // interrogation, say) reports the true state.
    ControlAnswer Answer(std::uint32_t control) const;

private:
    ServiceState current_ = ServiceState::StartPending;
    bool preshutdownOffered_ = false;
    std::uint32_t checkPoint_ = 0;
};

}  // namespace mrwd
