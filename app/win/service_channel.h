// The running service's line to the service manager: the status handle, the
// status as last reported, and the worker thread that runs the server. The
// control handler (on the dispatcher's thread) and the worker share it.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>

#include "app/core/service_status.h"

namespace mrwd {

class ServiceChannel {
public:
    void Attach(SERVICE_STATUS_HANDLE handle);
    // The thread whose message loop a stop ends; 0 when none runs.
    void SetWorker(DWORD threadId);

    // Tells the manager `state`; false when it did not take the report.
    bool Report(ServiceState state, DWORD exitCode, DWORD waitHint);

    // Answers a control: a stop ends the worker's message loop (a shutdown of
    // the system switches supervision off first); every control is answered
    // with the true state.
    void Control(DWORD control, std::atomic<bool>& supervisionOn);

private:
    bool ReportLocked(ServiceState state, DWORD exitCode, DWORD waitHint);

    // Held over each report, so that a late answer to a control can never
    // follow the final STOPPED.
    std::mutex lock_;
    SERVICE_STATUS_HANDLE handle_ = nullptr;
    ServiceStatusBook book_;
    std::atomic<DWORD> workerThreadId_{0};
};

}  // namespace mrwd
