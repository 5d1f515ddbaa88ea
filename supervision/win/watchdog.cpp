#include "watchdog.h"

#include "base/win/executable_path.h"
#include "base/win/handles.h"

namespace mrwd {

CWatchDog::CWatchDog(SupervisionState& state, const EngineServices& services, SupervisionFlag& supervision,
                     RebootMarker& marker)
    : state_(state),
      supervision_(supervision),
      marker_(marker),
      system_(services, StopEvent(), supervision.Value()),
      engine_(state, system_, services.settings),
      dailyLog_(services.settings, services.store, services.notifications, services.log),
      registrationsWaiting_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

CWatchDog::~CWatchDog() {
    // The thread first: it creates the marker when it begins, and a marker
    // created after its deletion would report a reboot that never happened.
    Stop(INFINITE);
    marker_.Delete();
}

void CWatchDog::CheckRebootMarker() {
    // The previous run never reached its orderly end: the computer was reset.
    if (marker_.FoundOrMade()) engine_.ReportHardwareReset();
}

void CWatchDog::Run() {
    MSG message;
    // Ping answers need a message queue on this thread before the first ping.
    ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    WinEngineSystem::AnswerPingsTo(&engine_);

    Tick deadline = ::GetTickCount() + kEngineCyclePeriodMs;
    dailyLog_.UpdateLastDay();
    CheckRebootMarker();

    // Without its event (none could be made) registrations are taken at once
    // instead; a null handle in the wait would end this thread.
    const HANDLE waits[] = {StopEvent(), endWatch_.EndedEvent(), registrationsWaiting_.get()};
    const DWORD kWaitCount = registrationsWaiting_ ? 3 : 2;
    lastJudgement_ = ::GetTickCount();
    for (;;) {
        Tick wake = deadline;
        const bool judgement = JudgementBefore(deadline, wake);
        const std::int32_t left = TickDiff(wake, ::GetTickCount());
        const DWORD result = ::MsgWaitForMultipleObjects(kWaitCount, waits, FALSE,
                                                         left > 0 ? static_cast<DWORD>(left) : 0, QS_ALLINPUT);
        if (result == WAIT_OBJECT_0 + kWaitCount) {
            // Dispatching delivers the answers of pinged windows.
            while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
            continue;
        }
        if (result == WAIT_OBJECT_0 + 1) {
            OnProcessesEnded();
            continue;
        }
        if (result == WAIT_OBJECT_0 + 2) {
            RegisterQueuedProcesses();
            continue;
        }
        if (result != WAIT_TIMEOUT) break;
        if (judgement) {
            RunDueJudgement();
            continue;
        }
        deadline = ::GetTickCount() + kEngineCyclePeriodMs;
        if (SupervisionOn()) RunCycle();
        FollowSupervised();
    }
    WinEngineSystem::AnswerPingsTo(nullptr);
}

void CWatchDog::RunCycle() {
    state_.failureActionInProgress = false;
    dailyLog_.SendDailyLog();
    engine_.Sweep();
    // Switched off (or unloading) during the sweep: nothing more this cycle.
    if (!SupervisionOn()) return;
    bool reboot = engine_.ClockCheck();
    if (!reboot) reboot = engine_.CheckPass();
    RebootIfDecided(reboot);
}

bool CWatchDog::JudgementBefore(Tick cycle, Tick& when) {
    Tick due = 0;
    if (!SupervisionOn() || !engine_.NextJudgement(due)) return false;
    if (!TickBefore(due, cycle) || !TickBefore(lastJudgement_, due)) return false;
    when = due;
    return true;
}

void CWatchDog::RunDueJudgement() {
    lastJudgement_ = ::GetTickCount();
    // As a cycle does, without the clock check (it compares whole cycles):
    // the sweep first, so that a process that has died is not judged hung.
    state_.failureActionInProgress = false;
    engine_.Sweep();
    if (!SupervisionOn()) return;
    RebootIfDecided(engine_.CheckPass());
    FollowSupervised();
}

void CWatchDog::FollowSupervised() {
    endWatch_.Follow(SupervisionOn() ? engine_.SupervisedProcessIds() : std::vector<std::uint32_t>());
}

void CWatchDog::RebootIfDecided(bool reboot) {
    if (!reboot || !SupervisionOn()) return;
    supervision_.SetFromAnyThread(false);  // nothing is judged or restarted any more
    if (engine_.RebootSequence()) return;   // the server ends
    // Neither the card nor Windows rebooted: watching goes on, and the next
    // reboot decision tries again.
    supervision_.SetFromAnyThread(true);
}

void CWatchDog::QueueRegistration(std::uint64_t seconds, std::uint32_t processId) {
    if (!registrationsWaiting_) {
        engine_.RegisterProcess(seconds, processId);
        return;
    }
    {
        std::lock_guard<std::mutex> guard(registrationsLock_);
        registrations_[processId] = seconds;
    }
    ::SetEvent(registrationsWaiting_.get());
}

void CWatchDog::RegisterQueuedProcesses() {
    std::map<std::uint32_t, std::uint64_t> taken;
    {
        std::lock_guard<std::mutex> guard(registrationsLock_);
        taken.swap(registrations_);
    }
    for (const auto& registration : taken) engine_.RegisterProcess(registration.second, registration.first);
}

void CWatchDog::OnProcessesEnded() {
    bool sweep = false;
    // Every id is asked about: each one is let go by TakeEnded either way.
    for (const std::uint32_t processId : endWatch_.TakeEnded()) sweep = engine_.EndCallsForSweep(processId) || sweep;
    if (!sweep || !SupervisionOn()) return;
    // Only when the sweep runs changes; the clock check and the check pass
    // keep their 2-second cycle.
    engine_.Sweep();
    endWatch_.Follow(engine_.SupervisedProcessIds());
}

}  // namespace mrwd
