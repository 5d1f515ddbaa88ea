#include "win_engine_system.h"

#include <algorithm>

#include "base/win/executable_path.h"
#include "base/win/texts.h"
#include "notify/core/support_address.h"
#include "resources/resource_ids.h"
#include "supervision/win/folder_copy.h"
#include "supervision/win/module_store.h"
#include "supervision/win/process_control.h"
#include "supervision/win/system_reboot.h"

namespace mrwd {
namespace {

// The engine whose pings this thread sends; answers arrive on the same thread.
thread_local SupervisionEngine* pingAnswersTo = nullptr;

void CALLBACK PingAnswered(HWND, UINT, ULONG_PTR processId, LRESULT) {
    if (pingAnswersTo != nullptr) pingAnswersTo->OnPingAnswered(static_cast<std::uint32_t>(processId));
}

}  // namespace

// How long a reboot order may take to reach the card: the controller may be in
// the middle of a modem check (two probes of a chattering modem, its reset)
// when the order arrives.
constexpr unsigned kRebootOrderWaitMs = 60000;

WinEngineSystem::WinEngineSystem(const EngineServices& services, HANDLE abandonWaits,
                                 const std::atomic<bool>& supervisionOn)
    : services_(services),
      abandonWaits_(abandonWaits),
      supervisionOn_(supervisionOn),
      serverExecutable_(ServerExecutableLongPath()) {}

void WinEngineSystem::AnswerPingsTo(SupervisionEngine* engine) { pingAnswersTo = engine; }

Tick WinEngineSystem::Now() { return ::GetTickCount(); }

bool WinEngineSystem::Pause() {
    ::Sleep(1);
    return supervisionOn_ && !Stopping();
}

bool WinEngineSystem::Stopping() { return ::WaitForSingleObject(abandonWaits_, 0) == WAIT_OBJECT_0; }

void WinEngineSystem::RebuildSnapshot(ProcessSnapshot& snapshot) {
    started_.Prune();
    RebuildProcessSnapshot(snapshot, listing_, names_);
}

bool WinEngineSystem::ExecutablePath(std::uint32_t processId, std::string& path) {
    std::string reported;
    if (!ExecutablePathOfProcess(processId, reported)) return false;
    // A program started under its short name is still one program.
    if (!CanonicalLongPath(reported, path)) path = reported;
    return true;
}

bool SendPing(HWND window, std::uint32_t processId) {
    // A hung window never calls back. A send that fails (the window went
    // away meanwhile) would never call back either: the engine treats it as
    // a process without a window, which counts as alive.
    return ::SendMessageCallbackA(window, WM_GETICON, ICON_BIG, 0, PingAnswered, processId) != FALSE;
}

bool WinEngineSystem::PingWindow(std::uint32_t processId) {
    HWND window = TopLevelWindowOfProcess(processId);
    if (window == nullptr) return false;
    return SendPing(window, processId);
}

bool WinEngineSystem::StartProgram(const std::string& path, const std::string& parameters, std::uint32_t& processId) {
    StartedProcess started;
    if (!StartInJob(path, parameters, started)) return false;
    if (started.jobRefused != 0 && !jobRefusalLogged_) {
        // Once: it holds for every program while the server runs where it does.
        jobRefusalLogged_ = true;
        services_.log.WriteLogString(IDS_JOB_REFUSED, path.c_str(), static_cast<unsigned long>(started.jobRefused));
    }
    processId = started.id;
    started_.Add(std::move(started));
    return true;
}

std::vector<std::uint32_t> WinEngineSystem::Descendants(std::uint32_t processId) {
    std::vector<RunningProcess> running;
    std::vector<std::uint32_t> found;
    if (listing_.List(running)) found = DescendantsOf(processId, running);
    // What its job holds is found even when the process between has ended.
    for (const std::uint32_t member : started_.JobMembers(processId)) {
        if (std::find(found.begin(), found.end(), member) == found.end()) found.push_back(member);
    }
    return found;
}

bool WinEngineSystem::Terminate(std::uint32_t processId, bool wholeJob, std::uint32_t& error) {
    if (wholeJob && started_.EndJob(processId, kTerminationWaitMs, error)) return true;
    return TerminateProcessById(processId, &error);
}

bool WinEngineSystem::StartRecovery(const std::string& path, std::uint32_t& token) {
    UniqueHandle process;
    if (RunWithShell(path, process) != RunResult::Started) return false;
    token = ++lastRecoveryToken_;
    recoveries_[token] = std::move(process);
    return true;
}

bool WinEngineSystem::RecoveryEnded(std::uint32_t token) {
    auto it = recoveries_.find(token);
    return it == recoveries_.end() || ::WaitForSingleObject(it->second.get(), 0) != WAIT_TIMEOUT;
}

void WinEngineSystem::ReleaseRecovery(std::uint32_t token) { recoveries_.erase(token); }

void WinEngineSystem::RestoreFiles(const ModuleEntry& entry, const std::string& progressText) {
    const std::wstring text = WidenText(progressText, CP_UTF8);
    // No owner: the main window belongs to the window thread, and a window
    // of this thread owned by it would tie the two threads' input together.
    CopyFolder(nullptr, entry.BackupFolder, entry.RestoreFolder, entry.CopySubfolders != 0,
               entry.CopyOnlyDifferent != 0, text.c_str(), services_.log, ShellErrors::Logged);
}

std::string WinEngineSystem::RestoreCaption(const std::string& path) {
    return NarrowText(FillWideText(IDS_RESTORING_FILES, WidenText(path, CP_ACP)), CP_UTF8);
}

std::string WinEngineSystem::CopyingCaption() { return NarrowText(LoadWideText(IDS_COPYING_FILES), CP_UTF8); }

void WinEngineSystem::Log(EngineEvent event, std::uint32_t number, const std::string& path) {
    const long n = static_cast<long>(number);
    switch (event) {
        case EngineEvent::ProcessRegistered:
            services_.log.WriteLogString(IDS_PROCESS_REGISTERED, n, path.c_str());
            break;
        case EngineEvent::ProcessReleased:
            services_.log.WriteLogString(IDS_PROCESS_RELEASED, n, path.c_str());
            break;
        case EngineEvent::ControlBegun:
            services_.log.WriteLogString(IDS_CONTROL_BEGUN, n, path.c_str());
            break;
        case EngineEvent::ProgramRestart:
            services_.log.WriteLogString(IDS_RESTART_PROGRAM, n, path.c_str());
            break;
        case EngineEvent::RebootProgramHang:
            services_.log.WriteLogString(IDS_REBOOT_PROGRAM_HANG, path.c_str());
            break;
        case EngineEvent::RebootSystemHang:
            services_.log.WriteLogString(IDS_REBOOT_SYSTEM_HANG);
            break;
        case EngineEvent::FileNotFound:
            // The finished text goes in as an argument: a path may hold a '%'.
            services_.log.WriteLogString(IDS_FILE_NOT_FOUND, path.c_str());
            break;
        case EngineEvent::ProcessRefused:
            services_.log.WriteLogString(IDS_PROCESS_REFUSED, n, path.c_str());
            break;
        case EngineEvent::SoftwareReboot:
            services_.log.WriteLogString(IDS_BODY_SOFTWARE_REBOOT, kSupportAddress);
            break;
        case EngineEvent::CardReboot:
            services_.log.WriteLogString(IDS_BODY_CONTROLLER_REBOOT, kSupportAddress);
            break;
        case EngineEvent::HardwareReboot:
            services_.log.WriteLogString(IDS_BODY_HARDWARE_REBOOT, kSupportAddress);
            break;
        case EngineEvent::CardRebootFailed:
            services_.log.WriteLogString(IDS_CARD_REBOOT_FAILED);
            break;
        case EngineEvent::SoftwareRebootFailed:
            services_.log.WriteLogString(IDS_SOFTWARE_REBOOT_FAILED, static_cast<unsigned long>(number));
            break;
        case EngineEvent::KillFailed:
            services_.log.WriteLogString(IDS_KILL_FAILED, path.c_str(), static_cast<unsigned long>(number));
            break;
        case EngineEvent::CopyFoldersRefused:
            services_.log.WriteLogString(IDS_COPY_FOLDERS_REFUSED, path.c_str());
            break;
        case EngineEvent::RecoveryOverdue:
            services_.log.WriteLogString(IDS_RECOVERY_OVERDUE, path.c_str(), static_cast<unsigned long>(number));
            break;
        case EngineEvent::CrashLoopBegun:
            services_.log.WriteLogString(IDS_CRASH_LOOP_BEGUN, path.c_str(), static_cast<unsigned long>(number));
            break;
        case EngineEvent::CrashLoopEnded:
            services_.log.WriteLogString(IDS_CRASH_LOOP_ENDED, path.c_str());
            break;
    }
}

void WinEngineSystem::Notify(EngineNotice notice, std::uint32_t number, const std::string& path, bool wait) {
    std::unique_ptr<CMessage> message;
    switch (notice) {
        case EngineNotice::ProgramRestart:
            message = NewNotification(IDS_SUBJECT_PROGRAM_FAILURE, IDS_BODY_PROGRAM_RESTART, static_cast<long>(number),
                                      path.c_str(), kSupportAddress);
            break;
        case EngineNotice::ProgramHang:
            message = NewNotification(IDS_SUBJECT_SYSTEM_REBOOT, IDS_BODY_PROGRAM_HANG, path.c_str(), kSupportAddress);
            break;
        case EngineNotice::SystemHang:
            message = NewNotification(IDS_SUBJECT_SYSTEM_REBOOT, IDS_BODY_SYSTEM_HANG, kSupportAddress);
            break;
        case EngineNotice::HardwareReboot:
            message = NewNotification(IDS_SUBJECT_SYSTEM_REBOOT, IDS_BODY_HARDWARE_REBOOT, kSupportAddress);
            break;
        case EngineNotice::SoftwareReboot:
            message = NewNotification(IDS_SUBJECT_SYSTEM_REBOOT, IDS_BODY_SOFTWARE_REBOOT, kSupportAddress);
            break;
        case EngineNotice::CardReboot:
            message = NewNotification(IDS_SUBJECT_SYSTEM_REBOOT, IDS_BODY_CONTROLLER_REBOOT, kSupportAddress);
            break;
    }
    if (!message) return;
    if (wait) {
        services_.notifications.SendNotification(std::move(message));
    } else {
        services_.notifications.SendNotificationInBackground(std::move(message));
    }
}

void WinEngineSystem::ReportStartFailure(const std::string& path) { services_.ui.ProgramStartFailed(path); }

void WinEngineSystem::StoreModule(const std::string& path, const ModuleEntry& entry) {
    ModuleStore(services_.store.Root()).Store(path, entry);
}


void WinEngineSystem::RefreshMainDialog() { services_.ui.RefreshMainDialog(); }

void WinEngineSystem::ShowHardwareReboot() { services_.ui.FloatWindowStateChanged(FloatState::HardwareReboot); }

std::uint32_t WinEngineSystem::ServerProcessId() { return ::GetCurrentProcessId(); }

std::string WinEngineSystem::ServerExecutablePath() { return serverExecutable_; }

void WinEngineSystem::AnnounceReboot() {
    if (services_.controller != nullptr) services_.controller->AnnounceReboot();
}

bool WinEngineSystem::OrderLastHeartbeat() {
    if (services_.controller == nullptr) return false;
    services_.controller->PostCommand(kLastHeartbeat);
    return services_.controller->WaitForRebootOrder(kRebootOrderWaitMs);
}

bool WinEngineSystem::OrderResetThroughCard() {
    if (services_.controller == nullptr) return false;
    services_.controller->PostCommand(kResetThroughCard);
    return services_.controller->WaitForRebootOrder(kRebootOrderWaitMs);
}

void WinEngineSystem::CancelReboot() {
    if (services_.controller != nullptr) services_.controller->CancelReboot();
}

bool WinEngineSystem::RebootWindows(std::uint32_t& error) {
    DWORD code = 0;
    if (SoftwareReboot(code)) return true;
    error = code;
    return false;
}

void WinEngineSystem::WaitForNotices() { services_.notifications.WaitForNoticesRaisedSoFar(); }

void WinEngineSystem::EndServer() { services_.ui.EndServer(); }

}  // namespace mrwd
