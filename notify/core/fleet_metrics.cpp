#include "notify/core/fleet_metrics.h"

#include <set>

#include "base/core/cp1251.h"
#include "resources/resource_ids.h"

namespace mrwd {

namespace {

struct CountedKind {
    unsigned kind;
    FleetMetrics::Counter counter;
};

const CountedKind kCountedKinds[] = {
    {IDS_BODY_CONTROLLER_REBOOT, FleetMetrics::CardResets},
    {IDS_CONTROLLER_DEAD, FleetMetrics::CardFaults},
    {IDS_CONTROLLER_START_FAILED, FleetMetrics::CardFaults},
    {IDS_CARD_REBOOT_FAILED, FleetMetrics::CardFaults},
    {IDS_MODEM_CHECKING, FleetMetrics::ModemChecks},
    {IDS_MODEM_HANG_RESET, FleetMetrics::ModemResets},
    {IDS_MODEM_FORCED_RESET, FleetMetrics::ModemResets},
    {IDS_MODEM_DEAD, FleetMetrics::ModemFaults},
    {IDS_MODEM_RESET_FAILED, FleetMetrics::ModemFaults},
    {IDS_NOTIFY_SENT, FleetMetrics::MailsSent},
    {IDS_NOTIFY_FAILED, FleetMetrics::MailsFailed},
    {IDS_OUTBOX_DROPPED_OLD, FleetMetrics::MailsDropped},
    {IDS_OUTBOX_DROPPED_FULL, FleetMetrics::MailsDropped},
    {IDS_OUTBOX_DROPPED_REFUSED, FleetMetrics::MailsDropped},
    {IDS_NOTIFY_DROPPED, FleetMetrics::MailsDropped},
    {IDS_REBOOT_SYSTEM_HANG, FleetMetrics::RebootsDecided},
    {IDS_REBOOT_PROGRAM_HANG, FleetMetrics::RebootsDecided},
};

const char* const kCardStates[] = {"off", "searching", "working", "fault"};
const char* const kModemStates[] = {"off", "working", "fault"};

std::string ListKey(const std::string& path) {
    std::string key = path;
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return key;
}

MetricFamily Family(const char* name, const char* help, MetricType type) {
    return MetricFamily{name, help, type, {}};
}

MetricFamily Single(const char* name, const char* help, MetricType type, double value) {
    MetricFamily f = Family(name, help, type);
    f.samples.push_back({{}, value});
    return f;
}

// A state set: one sample per state, 1 for the current one (none for a state
// this list does not know).
template <std::size_t N>
MetricFamily States(const char* name, const char* help, const char* const (&states)[N],
                    const std::string& current) {
    MetricFamily f = Family(name, help, MetricType::Gauge);
    for (const char* state : states) f.samples.push_back({{{"state", state}}, current == state ? 1.0 : 0.0});
    return f;
}

}  // namespace

std::uint64_t FleetMetrics::RisingTotal::Update(std::uint64_t now) {
    if (now < last) base += last;
    last = now;
    return base + last;
}

FleetMetrics::ProgramCounts& FleetMetrics::Program(const std::string& path) {
    ProgramCounts& p = programs_[ListKey(path)];
    p.countedLately = true;
    return p;
}

void FleetMetrics::Count(const LoggedEvent& e) {
    if (e.kind == IDS_RESTART_PROGRAM) {
        if (e.arguments.size() > 1) ++Program(e.arguments[1]).restarts;
        return;
    }
    if (e.kind == IDS_CRASH_LOOP_BEGUN || e.kind == IDS_CRASH_LOOP_ENDED) {
        if (!e.arguments.empty()) Program(e.arguments[0]).crashLoopPaused = e.kind == IDS_CRASH_LOOP_BEGUN;
        return;
    }
    for (const CountedKind& k : kCountedKinds) {
        if (k.kind == e.kind) ++counts_[k.counter];
    }
}

void FleetMetrics::Forget(const std::vector<ProgramGauge>& listed) {
    std::set<std::string> keys;
    for (const ProgramGauge& p : listed) keys.insert(ListKey(p.path));
    for (auto it = programs_.begin(); it != programs_.end();) {
        const bool keep = keys.count(it->first) || it->second.countedLately;
        it->second.countedLately = false;
        it = keep ? std::next(it) : programs_.erase(it);
    }
}

std::vector<MetricFamily> FleetMetrics::Families(const FleetGauges& g) {
    Forget(g.programs);
    std::vector<MetricFamily> out;
    out.push_back(Single("mrwd_up", "1 while the watchdog server runs.", MetricType::Gauge, g.serverUp ? 1 : 0));
    out.push_back(Single("mrwd_supervision_on", "1 while the supervision of the programs is on.",
                         MetricType::Gauge, g.serverUp && g.supervisionOn ? 1 : 0));

    MetricFamily copies = Family("mrwd_program_running_copies", "Copies of the program running now.",
                                 MetricType::Gauge);
    MetricFamily restarts = Family("mrwd_program_restarts_total",
                                   "Restarts of the program since the server started or the program was listed.",
                                   MetricType::Counter);
    MetricFamily alive = Family("mrwd_program_seconds_since_alive",
                                "Seconds since the program's last sign of life.", MetricType::Gauge);
    MetricFamily paused = Family("mrwd_program_crash_loop_paused",
                                 "1 while the program's starts are spaced because it keeps ending soon after its start.",
                                 MetricType::Gauge);
    std::set<std::string> written;
    for (const ProgramGauge& p : g.programs) {
        const std::string key = ListKey(p.path);
        if (!written.insert(key).second) continue;  // one sample per program and family
        const std::vector<MetricLabel> labels = {{"path", Utf8FromCp1251(p.path)}};
        auto counted = programs_.find(key);
        const ProgramCounts none;
        const ProgramCounts& c = counted == programs_.end() ? none : counted->second;
        copies.samples.push_back({labels, static_cast<double>(p.runningCopies)});
        restarts.samples.push_back({labels, static_cast<double>(c.restarts)});
        if (p.hasSignOfLife) alive.samples.push_back({labels, p.secondsSinceSignOfLife});
        paused.samples.push_back({labels, c.crashLoopPaused ? 1.0 : 0.0});
    }
    out.push_back(copies);
    out.push_back(restarts);
    out.push_back(alive);
    out.push_back(paused);

    const auto total = [this, &out](Counter counter, const char* name, const char* help) {
        out.push_back(Single(name, help, MetricType::Counter, static_cast<double>(counts_[counter])));
    };
    out.push_back(States("mrwd_card_state", "The watchdog card's state: 1 for the current one.",
                         kCardStates, g.cardState));
    out.push_back(Single("mrwd_card_heartbeats_total", "Heartbeats exchanged with the watchdog card.",
                         MetricType::Counter, static_cast<double>(heartbeats_.Update(g.cardHeartbeats))));
    total(CardResets, "mrwd_card_resets_total", "Reboots of the computer by the watchdog card.");
    total(CardFaults, "mrwd_card_faults_total", "Times the watchdog card failed to start, answer or reboot.");
    out.push_back(States("mrwd_modem_state", "The modem's state: 1 for the current one.", kModemStates,
                         g.modemState));
    total(ModemChecks, "mrwd_modem_checks_total", "Checks of the modem.");
    total(ModemResets, "mrwd_modem_resets_total", "Resets of the modem, after a hang or forced.");
    total(ModemFaults, "mrwd_modem_faults_total", "Times the modem did not answer or failed to reset.");
    total(MailsSent, "mrwd_mails_sent_total", "Notification mails sent.");
    total(MailsFailed, "mrwd_mails_failed_total", "Attempts to send a notification mail that failed.");
    total(MailsDropped, "mrwd_mails_dropped_total", "Notification mails given up without being sent.");
    out.push_back(Single("mrwd_outbox_mails", "Notification mails waiting in the outbox.", MetricType::Gauge,
                         static_cast<double>(g.outboxMails)));
    total(RebootsDecided, "mrwd_reboots_decided_total",
          "Reboots of the computer decided on a hang of the system or a program.");
    out.push_back(Single("mrwd_log_events_dropped_total",
                         "Log events the outputs lost because they fell behind.", MetricType::Counter,
                         static_cast<double>(g.eventsDropped)));
    return out;
}

}  // namespace mrwd
