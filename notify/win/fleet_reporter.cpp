#include "notify/win/syslog_sender.h"

#include "notify/win/fleet_reporter.h"

#include "base/core/cp1251.h"
#include "notify/core/metrics_text.h"
#include "notify/core/syslog_message.h"
#include "notify/win/metrics_file.h"

namespace mrwd {
namespace {

// Syslog's facility "system daemons".
constexpr int kDaemonFacility = 3;

SyslogSeverity SeverityOf(LogLevel level) {
    switch (level) {
        case LogLevel::Error:
            return SyslogSeverity::Error;
        case LogLevel::Warning:
            return SyslogSeverity::Warning;
        case LogLevel::Information:
            break;
    }
    return SyslogSeverity::Informational;
}

}  // namespace

FleetReporter::FleetReporter(const Settings& settings, FleetGaugeSource& gauges)
    : gauges_(gauges),
      eventLogOn_(settings.EventLog != 0),
      metricsFolder_(settings.MetricsFolder),
      hostName_(SyslogHostName()),
      wake_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    const std::uint32_t port = settings.SyslogPort;
    if (!settings.SyslogServer.empty() && port > 0 && port <= 65535) {
        syslog_ = std::make_unique<SyslogSender>(settings.SyslogServer, static_cast<std::uint16_t>(port));
    }
}

FleetReporter::~FleetReporter() { Stop(INFINITE); }

void FleetReporter::Logged(LoggedEvent event) {
    if (queue_.Push(std::move(event))) ::SetEvent(wake_.get());
}

void FleetReporter::Finish() {
    // A syslog host's name being looked up may hold the thread for the
    // resolver's own time-outs; the unload waits for it only so long.
    Stop(kFinishWaitMs);
}

void FleetReporter::Deliver(const LoggedEvent& event) {
    const LogEventKind& kind = LogEventKindOf(event.kind);
    metrics_.Count(event);
    if (eventLogOn_) eventLog_.Report(event);
    if (syslog_) {
        SyslogFields fields;
        fields.facility = kDaemonFacility;
        fields.severity = SeverityOf(kind.level);
        fields.time = event.time;
        fields.host = hostName_;
        fields.appName = "mrwd";
        fields.processId = ::GetCurrentProcessId();
        fields.msgId = kind.msgId;
        fields.text = Utf8FromCp1251(event.text);
        syslog_->Send(Rfc5424Message(fields));
    }
}

void FleetReporter::WriteMetrics(bool serverUp) {
    if (metricsFolder_.empty()) return;
    FleetGauges gauges = gauges_.Gauges();
    gauges.serverUp = serverUp;
    gauges.eventsDropped = queue_.Dropped();  // only grows: the queue lives as long as the reporter
    ReplaceMetricsFile(metricsFolder_, ExpositionText(metrics_.Families(gauges)));
}

void FleetReporter::Run() {
    WriteMetrics(true);
    DWORD lastWrite = ::GetTickCount();
    const HANDLE waits[] = {StopEvent(), wake_.get()};
    for (;;) {
        // Without a metrics file the thread sleeps until a line comes.
        DWORD wait = INFINITE;
        if (!metricsFolder_.empty()) {
            const DWORD since = ::GetTickCount() - lastWrite;
            wait = since >= kMetricsPeriodMs ? 0 : kMetricsPeriodMs - since;
        }
        // A stop leaves the last lines to the delivery after the loop.
        if (::WaitForMultipleObjects(2, waits, FALSE, wait) == WAIT_OBJECT_0) break;
        for (const LoggedEvent& event : queue_.TakeAll()) Deliver(event);
        if (::GetTickCount() - lastWrite >= kMetricsPeriodMs) {
            WriteMetrics(true);
            lastWrite = ::GetTickCount();
        }
    }
    for (const LoggedEvent& event : queue_.TakeAll()) Deliver(event);
    WriteMetrics(false);
}

}  // namespace mrwd
