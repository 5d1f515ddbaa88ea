#include "watchdog.h"

#include "base/win/executable_path.h"
#include "base/win/handles.h"
#include "notify/core/support_address.h"
#include "resources/resource_ids.h"
#include "supervision/win/system_reboot.h"

namespace mrwd {
namespace {

// How long the software reboot waits for the card's last heartbeat to go out.
constexpr unsigned kRebootOrderWaitMs = 5000;

}  // namespace

CWatchDog::CWatchDog(SupervisionState& state, const EngineServices& services, std::atomic<bool>& supervisionOn,
                     ControllerCommands* controller)
    : state_(state),
      services_(services),
      supervisionOn_(supervisionOn),
      controller_(controller),
      markerPath_(ThisExecutableFolder() + "reboot.mrk"),
      system_(services_, StopEvent()),
      engine_(state, system_, services.settings),
      dailyLog_(services.settings, services.store, services.notifications, services.log) {}

CWatchDog::~CWatchDog() {
    // The thread first: it creates the marker when it begins, and a marker
    // created after its deletion would report a reboot that never happened.
    Stop(INFINITE);
    ::DeleteFileA(markerPath_.c_str());
}

void CWatchDog::CheckRebootMarker() {
    UniqueFile marker(::CreateFileA(markerPath_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!marker) {
        UniqueFile created(::CreateFileA(markerPath_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
        return;
    }
    // The previous run never reached its orderly end: the computer was reset.
    if (services_.settings.NotifyReboot != 0) {
        services_.log.WriteLogString(IDS_BODY_HARDWARE_REBOOT, kSupportAddress);
        system_.Notify(EngineNotice::HardwareReboot, 0, std::string(), false);
    }
    services_.ui.FloatWindowStateChanged(FloatState::HardwareReboot);
}

void CWatchDog::Run() {
    MSG message;
    // Ping answers need a message queue on this thread before the first ping.
    ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    WinEngineSystem::AnswerPingsTo(&engine_);

    Tick deadline = ::GetTickCount() + kEngineCyclePeriodMs;
    dailyLog_.UpdateLastDay();
    CheckRebootMarker();

    const HANDLE stop = StopEvent();
    for (;;) {
        const std::int32_t left = TickDiff(deadline, ::GetTickCount());
        const DWORD result =
            ::MsgWaitForMultipleObjects(1, &stop, FALSE, left > 0 ? static_cast<DWORD>(left) : 0, QS_ALLINPUT);
        if (result == WAIT_OBJECT_0 + 1) {
            // Dispatching delivers the answers of pinged windows.
            while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
            continue;
        }
        if (result != WAIT_TIMEOUT) break;
        deadline = ::GetTickCount() + kEngineCyclePeriodMs;
        if (supervisionOn_) RunCycle();
    }
    WinEngineSystem::AnswerPingsTo(nullptr);
}

void CWatchDog::RunCycle() {
    state_.failureActionInProgress = false;
    dailyLog_.SendDailyLog();
    engine_.Sweep();
    bool reboot = engine_.ClockCheck();
    if (!reboot) reboot = engine_.CheckPass();
    if (reboot) RebootSequence();
}

void CWatchDog::RebootSequence() {
    supervisionOn_ = false;  // nothing is judged or restarted any more
    if (services_.settings.HardReboot == 0) {
        if (controller_ != nullptr) {
            controller_->PostCommand(kLastHeartbeat);
            // The card's count-down must have started before Windows goes down.
            controller_->WaitForRebootOrder(kRebootOrderWaitMs);
        }
        services_.log.WriteLogString(IDS_BODY_SOFTWARE_REBOOT, kSupportAddress);
        system_.Notify(EngineNotice::SoftwareReboot, 0, std::string(), true);
        SoftwareReboot();
    } else {
        services_.log.WriteLogString(IDS_BODY_CONTROLLER_REBOOT, kSupportAddress);
        system_.Notify(EngineNotice::CardReboot, 0, std::string(), true);
        if (controller_ != nullptr) controller_->PostCommand(kResetThroughCard);
    }
    // The server ends in order; the marker stays only if the reset comes first.
    services_.ui.EndServer();
}

}  // namespace mrwd
