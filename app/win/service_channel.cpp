#include "service_channel.h"

namespace mrwd {

void ServiceChannel::Attach(SERVICE_STATUS_HANDLE handle) {
    std::lock_guard<std::mutex> guard(lock_);
    handle_ = handle;
}

void ServiceChannel::SetWorker(DWORD threadId) {
    std::lock_guard<std::mutex> guard(lock_);
    workerThreadId_ = threadId;
}

void ServiceChannel::OfferPreshutdown(bool offered) {
    std::lock_guard<std::mutex> guard(lock_);
    book_.OfferPreshutdown(offered);
}

bool ServiceChannel::Report(ServiceState state, DWORD exitCode, DWORD waitHint) {
    std::lock_guard<std::mutex> guard(lock_);
    return ReportLocked(state, exitCode, waitHint);
}

void ServiceChannel::ReportStopProgress(DWORD waitHint) {
    std::lock_guard<std::mutex> guard(lock_);
    if (handle_ == nullptr || book_.Current() == ServiceState::Stopped) return;
    ReportLocked(ServiceState::StopPending, NO_ERROR, waitHint);
}

void ServiceChannel::Control(DWORD control, SupervisionFlag& supervision, RebootMarker& marker) {
    std::lock_guard<std::mutex> guard(lock_);
    const ControlAnswer answer = book_.Answer(control);
    if (answer.deleteRebootMarker) marker.Delete();
    if (answer.switchSupervisionOff) supervision.SetFromAnyThread(false);
    if (answer.endServer && workerThreadId_ != 0) ::PostThreadMessageA(workerThreadId_, WM_QUIT, 0, 0);
    ReportLocked(answer.report, NO_ERROR, 0);
}

bool ServiceChannel::ReportLocked(ServiceState state, DWORD exitCode, DWORD waitHint) {
    // The book follows even without a manager to tell, so the answers to
    // controls stay those of the state reached.
    const ServiceStatusReport report = book_.Report(state, exitCode, waitHint);
    if (handle_ == nullptr) return false;
    SERVICE_STATUS status{};
    status.dwServiceType = report.serviceType;
    status.dwCurrentState = report.currentState;
    status.dwControlsAccepted = report.controlsAccepted;
    status.dwWin32ExitCode = report.win32ExitCode;
    status.dwServiceSpecificExitCode = report.serviceSpecificExitCode;
    status.dwCheckPoint = report.checkPoint;
    status.dwWaitHint = report.waitHint;
    return ::SetServiceStatus(handle_, &status) != FALSE;
}

}  // namespace mrwd
