#include "notify/core/fleet_metrics.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "resources/resource_ids.h"

namespace mrwd {
namespace {

// Every sample as "family{labels}" -> value, for looking values up by name.
std::map<std::string, double> Samples(FleetMetrics& m, const FleetGauges& g) {
    std::map<std::string, double> out;
    for (const MetricFamily& f : m.Families(g)) {
        for (const MetricSample& s : f.samples) {
            std::string key = f.name;
            for (const MetricLabel& l : s.labels) key += "{" + l.name + "=" + l.value + "}";
            out[key] = s.value;
        }
    }
    return out;
}

FleetGauges Listing(std::vector<std::string> paths) {
    FleetGauges g;
    for (const std::string& p : paths) g.programs.push_back({p, 1, false, 0});
    return g;
}

TEST(FleetMetrics, EventsCountUnderTheirFamilies) {
    const struct {
        const char* family;
        std::vector<unsigned> kinds;
    } cases[] = {
        {"mrwd_card_resets_total", {IDS_BODY_CONTROLLER_REBOOT}},
        {"mrwd_card_faults_total", {IDS_CONTROLLER_DEAD, IDS_CONTROLLER_START_FAILED, IDS_CARD_REBOOT_FAILED}},
        {"mrwd_modem_checks_total", {IDS_MODEM_CHECKING}},
        {"mrwd_modem_resets_total", {IDS_MODEM_HANG_RESET, IDS_MODEM_FORCED_RESET}},
        {"mrwd_modem_faults_total", {IDS_MODEM_DEAD, IDS_MODEM_RESET_FAILED}},
        {"mrwd_mails_sent_total", {IDS_NOTIFY_SENT}},
        {"mrwd_mails_failed_total", {IDS_NOTIFY_FAILED}},
        {"mrwd_mails_dropped_total",
         {IDS_OUTBOX_DROPPED_OLD, IDS_OUTBOX_DROPPED_FULL, IDS_OUTBOX_DROPPED_REFUSED, IDS_NOTIFY_DROPPED}},
        {"mrwd_reboots_decided_total", {IDS_REBOOT_SYSTEM_HANG, IDS_REBOOT_PROGRAM_HANG}},
    };
    FleetMetrics m;
    for (const auto& c : cases) {
        for (unsigned kind : c.kinds) m.Count({kind, {"x"}});
    }
    // Counted after all of them: a kind counted under a wrong family shows twice.
    auto s = Samples(m, {});
    for (const auto& c : cases) EXPECT_EQ(s[c.family], c.kinds.size()) << c.family;
}

TEST(FleetMetrics, ProgramsFollowTheListAndCountersOnlyGrow) {
    FleetMetrics m;
    const std::string restarts = "mrwd_program_restarts_total{path=C:\\Игры\\a.exe}";
    const std::string paused = "mrwd_program_crash_loop_paused{path=C:\\Игры\\a.exe}";
    const std::string listed = "C:\\\xC8\xE3\xF0\xFB\\a.exe";  // "Игры" in Windows-1251
    // Counted before the program shows in the list, and in another case.
    m.Count({IDS_RESTART_PROGRAM, {"1", "c:\\\xC8\xE3\xF0\xFB\\A.EXE"}});
    m.Count({IDS_CRASH_LOOP_BEGUN, {listed, "60"}});
    auto s = Samples(m, Listing({}));  // the list not yet showing it
    EXPECT_EQ(s.count(restarts), 0u);
    s = Samples(m, Listing({listed}));
    EXPECT_EQ(s[restarts], 1);
    EXPECT_EQ(s[paused], 1);
    EXPECT_EQ(s.count("mrwd_program_seconds_since_alive{path=C:\\Игры\\a.exe}"), 0u);  // no sign of life yet

    m.Count({IDS_RESTART_PROGRAM, {"2", listed}});
    m.Count({IDS_CRASH_LOOP_ENDED, {listed}});
    s = Samples(m, Listing({listed}));
    EXPECT_EQ(s[restarts], 2);
    EXPECT_EQ(s[paused], 0);

    // Removed from the list: gone from the file, its counts forgotten.
    s = Samples(m, Listing({}));
    EXPECT_EQ(s.count(restarts), 0u);
    EXPECT_EQ(Samples(m, Listing({listed}))[restarts], 0);
}

TEST(FleetMetrics, TotalsFromSampledValuesNeverGoDown) {
    FleetMetrics m;
    FleetGauges g;
    g.cardHeartbeats = 100;
    g.eventsDropped = 5;
    EXPECT_EQ(Samples(m, g)["mrwd_card_heartbeats_total"], 100);
    g.cardHeartbeats = 3;  // the card's count started again
    auto s = Samples(m, g);
    EXPECT_EQ(s["mrwd_card_heartbeats_total"], 103);
    EXPECT_EQ(s["mrwd_log_events_dropped_total"], 5);
}

// The last file of a run says the server is down, and so nothing is watched
// whatever the switch said.
TEST(FleetMetrics, UpAndSupervisionFollowTheServerAndTheSwitch) {
    struct Case {
        bool serverUp, supervisionOn;
        double up, supervision;
    };
    const Case cases[] = {{true, true, 1, 1}, {true, false, 1, 0}, {false, true, 0, 0}, {false, false, 0, 0}};
    for (const Case& c : cases) {
        FleetMetrics m;
        FleetGauges g;
        g.serverUp = c.serverUp;
        g.supervisionOn = c.supervisionOn;
        auto s = Samples(m, g);
        EXPECT_EQ(s["mrwd_up"], c.up) << c.serverUp << c.supervisionOn;
        EXPECT_EQ(s["mrwd_supervision_on"], c.supervision) << c.serverUp << c.supervisionOn;
    }
}

TEST(FleetMetrics, StatesAreSetsWithOneCurrentState) {
    FleetMetrics m;
    FleetGauges g;
    g.cardState = "searching";
    g.modemState = "off";
    auto s = Samples(m, g);
    EXPECT_EQ(s["mrwd_card_state{state=searching}"], 1);
    EXPECT_EQ(s["mrwd_card_state{state=off}"] + s["mrwd_card_state{state=working}"] + s["mrwd_card_state{state=fault}"], 0);
    EXPECT_EQ(s["mrwd_modem_state{state=off}"], 1);
    EXPECT_EQ(s["mrwd_modem_state{state=working}"] + s["mrwd_modem_state{state=fault}"], 0);
}

}  // namespace
}  // namespace mrwd
