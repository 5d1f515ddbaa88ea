// The running service's line to the service manager: the status handle, the
// status as last reported, and the worker thread that runs the server. The
// control handler (on the dispatcher's thread) and the worker share it.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>

#include "app/core/service_status.h"
#include "base/core/supervision_flag.h"
#include "supervision/win/reboot_marker.h"

namespace mrwd {

class ServiceChannel {
public:
    void Attach(SERVICE_STATUS_HANDLE handle);
    // The thread whose message loop a stop ends; 0 when none runs.
    void SetWorker(DWORD threadId);

    // Accepts the pre-shutdown control from the next report on.
    void OfferPreshutdown(bool offered);

    // Tells the manager `state`; false when it did not take the report.
    bool Report(ServiceState state, DWORD exitCode, DWORD waitHint);
    // The server is ending: STOP_PENDING with the next check point and the
    // time the next step of the teardown may take. Nothing once STOPPED, and
    // nothing outside the service (no handle).
    void ReportStopProgress(DWORD waitHint);

    // Answers a control: a stop ends the worker's message loop (a shutdown of
    // the system deletes the reboot marker and switches supervision off
    // first); every control is answered with the true state.
    void Control(DWORD control, SupervisionFlag& supervision, RebootMarker& marker);

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
