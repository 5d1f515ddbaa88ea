#include "watchdog.h"

#include "app/core/path_rules.h"
#include "app/win/handles.h"
#include "app/win/server_process.h"
#include "notify/core/support_address.h"
#include "hardware/win/controller.h"
#include "notify/win/daily_log_mail.h"
#include "notify/win/event_log.h"
#include "resources/resource_ids.h"
#include "supervision/win/system_reboot.h"
#include "ui/win/float_window.h"

namespace mrwd {
namespace {

// How long the software reboot waits for the card's last heartbeat to go out.
constexpr DWORD kRebootOrderWaitMs = 5000;

std::string MarkerPathOfThisProgram() {
    char path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, path, sizeof path);
    return FolderPrefix(std::string(path, length < sizeof path ? length : 0)) + "reboot.mrk";
}

}  // namespace

CWatchDog::CWatchDog(SupervisionState& state, const Settings& settings)
    : state_(state),
      settings_(settings),
      markerPath_(MarkerPathOfThisProgram()),
      system_(StopEvent()),
      engine_(state, system_, settings) {}

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
    if (settings_.NotifyReboot != 0) {
        WriteLogString(IDS_BODY_HARDWARE_REBOOT, kSupportAddress);
        system_.Notify(EngineNotice::HardwareReboot, 0, std::string(), false);
    }
    SetFloatWindowState(2);
}

void CWatchDog::Run() {
    MSG message;
    // Ping answers need a message queue on this thread before the first ping.
    ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    WinEngineSystem::AnswerPingsTo(&engine_);

    Tick deadline = ::GetTickCount() + kEngineCyclePeriodMs;
    UpdateLastDay(dailyLog_);
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
        if (Server().supervisionOn != 0) RunCycle();
    }
    WinEngineSystem::AnswerPingsTo(nullptr);
}

void CWatchDog::RunCycle() {
    state_.failureActionInProgress = 0;
    SendDailyLog(dailyLog_);
    engine_.Sweep();
    bool reboot = engine_.ClockCheck();
    if (!reboot) reboot = engine_.CheckPass();
    if (reboot) RebootSequence();
}

void CWatchDog::RebootSequence() {
    ServerProcess& server = Server();
    server.supervisionOn = 0;  // nothing is judged or restarted any more
    CController* controller = server.controller.get();
    if (settings_.HardReboot == 0) {
        if (controller != nullptr) {
            controller->PostCommand(kLastHeartbeat);
            // The card's count-down must have started before Windows goes down.
            controller->WaitForRebootOrder(kRebootOrderWaitMs);
        }
        WriteLogString(IDS_BODY_SOFTWARE_REBOOT, kSupportAddress);
        system_.Notify(EngineNotice::SoftwareReboot, 0, std::string(), true);
        SoftwareReboot();
    } else {
        WriteLogString(IDS_BODY_CONTROLLER_REBOOT, kSupportAddress);
        system_.Notify(EngineNotice::CardReboot, 0, std::string(), true);
        if (controller != nullptr) controller->PostCommand(kResetThroughCard);
    }
    // The server ends in order; the marker stays only if the reset comes first.
    if (server.mainWindow != nullptr) ::PostMessageA(server.mainWindow, WM_CLOSE, 0, 0);
}

}  // namespace mrwd
