// The fleet outputs' worker: every logged line is handed over to it (never
// waiting: a full queue drops its oldest line and counts it), and on its own
// thread it reports the line to the Windows event log and to syslog, counts
// it for the metrics, and rewrites the metrics file every 15 seconds. So no
// slow disk, network or event log ever holds up the engine or the card.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "base/core/bounded_queue.h"
#include "base/core/log_events.h"
#include "base/core/settings.h"
#include "base/win/handles.h"
#include "base/win/thread.h"
#include "notify/core/fleet_metrics.h"
#include "notify/win/windows_event_log.h"

namespace mrwd {

class SyslogSender;

// The values the metrics sample when the file is written (on the
// reporter's thread).
class FleetGaugeSource {
public:
    virtual ~FleetGaugeSource() = default;
    virtual FleetGauges Gauges() = 0;
};

class FleetReporter : public CThread, public LogListener {
public:
    static constexpr std::size_t kQueueSize = 1024;
    static constexpr DWORD kMetricsPeriodMs = 15 * 1000;
    static constexpr DWORD kFinishWaitMs = 5 * 1000;

    // The outputs the settings switch on, as they are at the start.
    FleetReporter(const Settings& settings, FleetGaugeSource& gauges);
    ~FleetReporter() override;

    // Whether any output is on: without one the reporter need not start.
    bool AnyOutput() const { return eventLogOn_ || syslog_ || !metricsFolder_.empty(); }

    // Any thread.
    void Logged(LoggedEvent event) override;

    // Ends the thread after it has delivered what was queued and written the
    // metrics file a last time, with the server no longer up.
    void Finish();

    void Run() override;

private:
    void Deliver(const LoggedEvent& event);
    void WriteMetrics(bool serverUp);

    FleetGaugeSource& gauges_;
    const bool eventLogOn_;
    const std::string metricsFolder_;
    std::unique_ptr<SyslogSender> syslog_;
    const std::string hostName_;
    BoundedQueue<LoggedEvent> queue_{kQueueSize};
    UniqueHandle wake_;
    WindowsEventLog eventLog_;
    FleetMetrics metrics_;
};

}  // namespace mrwd
