#include "controller.h"

#include "base/win/texts.h"
#include "resources/resource_ids.h"

namespace mrwd {

ControllerTexts LoadControllerTexts() {
    ControllerTexts t;
    t.off = LoadText(IDS_CONTROLLER_OFF);
    t.searchWait = LoadText(IDS_CONTROLLER_SEARCH_WAIT);
    t.foundIdle = LoadText(IDS_CONTROLLER_FOUND_IDLE);
    t.searching = LoadText(IDS_CONTROLLER_SEARCHING);
    t.working = LoadText(IDS_CONTROLLER_WORKING);
    t.dead = LoadText(IDS_CONTROLLER_DEAD);
    t.notFoundOnPort = LoadText(IDS_CONTROLLER_NOT_ON_PORT);
    t.numberSign = LoadText(IDS_PORT_NUMBER_SIGN);
    t.notFoundOnFreePorts = LoadText(IDS_CONTROLLER_NOT_ON_FREE_PORTS);
    t.freePortsOpen = LoadText(IDS_FREE_PORTS_OPEN);
    t.noFreePorts = LoadText(IDS_NO_FREE_PORTS);
    t.started = LoadText(IDS_CONTROLLER_STARTED);
    t.startFailed = LoadText(IDS_CONTROLLER_START_FAILED);
    t.modemControlOff = LoadText(IDS_MODEM_CONTROL_OFF);
    t.modemPortNotSet = LoadText(IDS_MODEM_PORT_NOT_SET);
    t.modemPortWrong = LoadText(IDS_MODEM_PORT_WRONG);
    t.modemPortBusy = LoadText(IDS_PORT_BUSY);
    t.modemDead = LoadText(IDS_MODEM_DEAD);
    t.modemWorks = LoadText(IDS_MODEM_WORKS);
    t.modemChecking = LoadText(IDS_MODEM_CHECKING);
    t.modemHangReset = LoadText(IDS_MODEM_HANG_RESET);
    t.modemResetDone = LoadText(IDS_MODEM_RESET_DONE);
    t.modemResetFailed = LoadText(IDS_MODEM_RESET_FAILED);
    t.modemForcedReset = LoadText(IDS_MODEM_FORCED_RESET);
    t.modemResetRefused = LoadText(IDS_MODEM_RESET_REFUSED);
    return t;
}

CController::CController(Settings& settings, const std::atomic<bool>& supervisionOn, SettingsStore store,
                         const EventLog& log, UiEvents& ui)
    : store_(store),
      log_(log),
      ui_(ui),
      texts_(LoadControllerTexts()),
      commandEvent_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      rebootOrdered_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      system_(*this),
      logic_(rebooter_, system_, settings, texts_, supervisionOn) {
    Start();
}

CController::~CController() {
    Stop(INFINITE);
    failureWindow_.reset();
}

void CController::PostCommand(int code) {
    // A waiter for this order must not take an earlier one's outcome.
    if (code == kResetThroughCard || code == kLastHeartbeat) ::ResetEvent(rebootOrdered_.get());
    if (mailbox_.Post(code)) ::SetEvent(commandEvent_.get());
}

bool CController::WaitForRebootOrder(unsigned milliseconds) {
    // A controller told to stop takes no more orders.
    const HANDLE waits[2] = {rebootOrdered_.get(), StopEvent()};
    return ::WaitForMultipleObjects(2, waits, FALSE, milliseconds) == WAIT_OBJECT_0 && logic_.RebootOrderAnswered();
}

void CController::CancelReboot() {
    ::ResetEvent(rebootOrdered_.get());
    logic_.CancelReboot();
}

void CController::Run() {
    const HANDLE events[2] = {commandEvent_.get(), StopEvent()};
    // The time-outs (and with them the heartbeats) keep their own deadline:
    // commands, however many arrive, do not put it off.
    Tick deadline = ::GetTickCount() + kControllerPeriodMs;
    for (;;) {
        const std::int32_t left = TickDiff(deadline, ::GetTickCount());
        const DWORD result =
            ::WaitForMultipleObjects(2, events, FALSE, left > 0 ? static_cast<DWORD>(left) : 0);
        if (result == WAIT_OBJECT_0) {
            logic_.OnCommand(mailbox_.Take());
            mailbox_.Done();
            if (logic_.RebootInProgress()) ::SetEvent(rebootOrdered_.get());
        } else if (result == WAIT_TIMEOUT) {
            logic_.OnTimeout();
            deadline = ::GetTickCount() + kControllerPeriodMs;
        } else {
            logic_.OnStop();
            return;
        }
    }
}

Tick CController::System::Now() { return ::GetTickCount(); }

void CController::System::Wait(unsigned milliseconds) { ::Sleep(milliseconds); }

int CController::System::FindFreePort(int after) { return CComPort::FindFreePort(after); }

ModemProbe CController::System::ProbeModem(int port, const std::function<void()>& whileWaiting) {
    CModem modem;
    ModemProbe probe;
    probe.answered = modem.Probe(port, whileWaiting);
    probe.busy = modem.Busy();
    return probe;
}

void CController::System::Log(unsigned kind, const std::string& format, long number) {
    owner_.log_.WriteLogKind(kind, format.c_str(), number);
}

void CController::System::StorePinnedPort(int port) {
    owner_.store_.StoreDword("CustomControllerPort", 1);
    owner_.store_.StoreDword("ControllerPort", static_cast<std::uint32_t>(port));
}

void CController::System::RefreshMainDialog() { owner_.ui_.RefreshMainDialog(); }

void CController::System::ReportCardFailure() {
    if (!owner_.failureWindow_ || !owner_.failureWindow_->IsOpen()) {
        owner_.failureWindow_.reset();  // its window was closed: its thread has ended
        owner_.failureWindow_ = std::make_unique<ErrorMsg>();
    }
    owner_.failureWindow_->AddFailureLine();
}

void CController::System::Beep() { ::MessageBeep(MB_ICONHAND); }

void CController::System::StatusChanged(bool modemLine) {
    if (modemLine) {
        owner_.ui_.ModemStatusChanged();
    } else {
        owner_.ui_.ControllerStatusChanged();
    }
}

}  // namespace mrwd
