// The server's metrics for the fleet's monitoring: counts taken from the
// log's events, joined with values sampled when the metrics file is written.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "base/core/log_events.h"
#include "notify/core/metrics_text.h"

namespace mrwd {

struct ProgramGauge {
    std::string path;  // Windows-1251, the program list's key
    unsigned runningCopies = 0;
    bool hasSignOfLife = false;
    double secondsSinceSignOfLife = 0;
};

struct FleetGauges {
    // False for the last file of a run: the server is going, and nothing is watched.
    bool serverUp = true;
    bool supervisionOn = false;
    std::vector<ProgramGauge> programs;  // the program list as it is now
    std::string cardState;               // "off", "searching", "working", "fault"
    std::uint64_t cardHeartbeats = 0;
    std::string modemState;  // "off", "working", "fault"
    std::uint64_t outboxMails = 0;
    std::uint64_t eventsDropped = 0;
};

// Owned by the one worker that takes the log's events: not thread-safe.
class FleetMetrics {
public:
    void Count(const LoggedEvent& e);

    // Only programs of g.programs are written; the counts of a program that
    // has left the list are forgotten (a program counted for the first time
    // since the last call is kept one more call, as the list it belongs to
    // may not show it yet). Totals taken from g never go down: a source that
    // starts again from zero adds to what it had counted before. Both kinds
    // of bookkeeping happen here.
    std::vector<MetricFamily> Families(const FleetGauges& g);

    enum Counter {
        CardResets,
        CardFaults,
        ModemChecks,
        ModemResets,
        ModemFaults,
        MailsSent,
        MailsFailed,
        MailsDropped,
        RebootsDecided,
        CounterCount
    };

private:
    struct ProgramCounts {
        std::uint64_t restarts = 0;
        bool crashLoopPaused = false;
        bool countedLately = false;  // since the last Families()
    };
    // A total read from a source that may start again from zero.
    struct RisingTotal {
        std::uint64_t base = 0;
        std::uint64_t last = 0;
        std::uint64_t Update(std::uint64_t now);
    };

    ProgramCounts& Program(const std::string& path);
    void Forget(const std::vector<ProgramGauge>& listed);

    std::uint64_t counts_[CounterCount] = {};
    // Keyed by the path with ASCII letters in lower case, so that an event's
    // path finds its program however the letters were written.
    std::map<std::string, ProgramCounts> programs_;
    RisingTotal heartbeats_;
};

}  // namespace mrwd
