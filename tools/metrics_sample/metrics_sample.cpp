// Writes a metrics file as the server would, with awkward program paths (a
// backslash, a double quote, Cyrillic, a line feed), for checking the file
// with the collectors' own parser. Usage: metrics_sample <file>
#include <cstdio>
#include <string>

#include "notify/core/fleet_metrics.h"
#include "resources/resource_ids.h"

namespace {

// "C:\Программы\a.exe" in Windows-1251, and paths with a quote and a line feed.
const std::string kCyrillic = "C:\\\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB\\a.exe";
const std::string kQuoted = "C:\\odd \"name\"\\b.exe";
const std::string kLineFeed = "C:\\line\nfeed\\c.exe";

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: metrics_sample <file>\n");
        return 2;
    }
    mrwd::FleetMetrics metrics;
    metrics.Count({IDS_RESTART_PROGRAM, {"1", kCyrillic}});
    metrics.Count({IDS_RESTART_PROGRAM, {"2", kQuoted}});
    metrics.Count({IDS_CRASH_LOOP_BEGUN, {kQuoted, "60"}});
    metrics.Count({IDS_MODEM_CHECKING, {}});
    metrics.Count({IDS_NOTIFY_SENT, {}});
    metrics.Count({IDS_NOTIFY_FAILED, {"timeout", "text"}});

    mrwd::FleetGauges gauges;
    gauges.supervisionOn = true;
    gauges.programs = {{kCyrillic, 1, true, 2.5}, {kQuoted, 0, false, 0}, {kLineFeed, 3, true, 12345678901.0}};
    gauges.cardState = "working";
    gauges.cardHeartbeats = 4242;
    gauges.modemState = "fault";
    gauges.outboxMails = 3;
    gauges.eventsDropped = 7;
    const std::string text = mrwd::ExpositionText(metrics.Families(gauges));

    std::FILE* file = std::fopen(argv[1], "wb");
    if (!file) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written ? 0 : 1;
}
