// Seen from the fleet: the real mrwd.exe tells a real rsyslog, a real
// Prometheus (through node_exporter's textfile collector) and the Windows
// event log (as Wine traces its reports) of a program that hangs and is
// restarted. Run under with-fleet-peers, which also has promtool check the
// metrics file the server leaves.
#include <gtest/gtest.h>

#include <sstream>

#include "base/win/settings_store.h"
#include "supervision/win/module_store.h"
#include "tests/harness/fleet_peers.h"
#include "tests/harness/win_harness.h"

namespace mrwd::testing {
namespace {

const char kBom[] = "\xEF\xBB\xBF";

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

bool StoreText(const char* name, const std::string& value) {
    return ::RegSetKeyValueA(HKEY_CURRENT_USER, kSettingsKey, name, REG_SZ, value.c_str(),
                             static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

// rsyslog's lines of the MSGID, as it parsed them.
std::vector<std::string> SyslogOf(const FleetPeers& peers, const std::string& msgId) {
    std::vector<std::string> lines;
    for (const std::string& line : peers.SyslogLines()) {
        if (JsonField(line, "msgid").value_or("") == msgId) lines.push_back(line);
    }
    return lines;
}

// The lines of Wine's event-log trace the server wrote so far.
std::vector<std::string> EventLogTrace() {
    std::vector<std::string> lines;
    std::istringstream in(ReadWholeFile(WindowsPathOf(Environment("MRWD_WINE_STDERR"))));
    for (std::string line; std::getline(in, line);) {
        if (line.find("ReportEventW") != std::string::npos || line.find(":eventlog:") != std::string::npos) {
            lines.push_back(line);
        }
    }
    return lines;
}

TEST(Fleet, AHangAndItsRestartsReachSyslogPrometheusAndTheEventLog) {
    const FleetPeers peers;
    ASSERT_TRUE(peers.Available()) << "run under with-fleet-peers";
    CleanSettings clean;
    ServerSandbox sandbox(TestName());
    const std::string app = sandbox.AddProgram("hangs.exe");
    ModuleEntry hangs = RegisteredEntry(10000);
    hangs.Parameters = "--hang-after 0";  // it registers, then never beats again
    ASSERT_TRUE(ModuleStore(HKEY_CURRENT_USER).Store(app, hangs));
    ASSERT_TRUE(StoreText("MetricsFolder", peers.MetricsFolder()));
    ASSERT_TRUE(StoreText("SyslogServer", "127.0.0.1"));
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "SyslogPort", peers.SyslogPort()));

    // The server traces its reports to the event log on Wine's channels.
    ::SetEnvironmentVariableA("WINEDEBUG", "fixme+advapi,+eventlog");
    ChildProcess& server = sandbox.Start("");
    ::SetEnvironmentVariableA("WINEDEBUG", nullptr);
    const std::string restart1 = "Перезапуск номер 1, программы " + Utf8FromCp1251(app) + ".";
    const std::string restart2 = "Перезапуск номер 2, программы " + Utf8FromCp1251(app) + ".";
    ASSERT_TRUE(sandbox.WaitForLog(restart1, 1, 60000)) << sandbox.Log();

    // Prometheus has the first restart, then sees the counter grow with the next.
    double first = 0, later = 0;
    ASSERT_TRUE(WaitUntil([&] { return PrometheusValue(peers.PrometheusPort(), "mrwd_program_restarts_total", first) && first >= 1; },
                          60000, 500));
    ASSERT_TRUE(sandbox.WaitForLog(restart2, 1, 60000)) << sandbox.Log();
    EXPECT_TRUE(WaitUntil([&] { return PrometheusValue(peers.PrometheusPort(), "mrwd_program_restarts_total", later) && later > first; },
                          60000, 500))
        << first << " then " << later;
    double value = -1;
    EXPECT_TRUE(PrometheusValue(peers.PrometheusPort(), "node_textfile_scrape_error", value) && value == 0)
        << "the collector could not read mrwd.prom";
    EXPECT_TRUE(PrometheusValue(peers.PrometheusPort(), "mrwd_up", value) && value == 1);
    EXPECT_TRUE(PrometheusValue(peers.PrometheusPort(), "mrwd_program_running_copies", value) && value == 1);

    // rsyslog parsed each line as RFC 5424, with the text as the day log has it.
    ASSERT_TRUE(WaitUntil([&] { return SyslogOf(peers, "PROGRAM_RESTART").size() >= 2; }, kDeadlineMs))
        << peers.SyslogLines().size() << " lines";
    const std::string restart = SyslogOf(peers, "PROGRAM_RESTART").front();
    EXPECT_EQ(JsonField(restart, "protocol-version"), "1") << restart;
    EXPECT_EQ(JsonField(restart, "app-name"), "mrwd");
    EXPECT_EQ(JsonField(restart, "procid"), std::to_string(server.Id()));
    EXPECT_EQ(JsonField(restart, "structured-data"), "-");
    EXPECT_EQ(JsonField(restart, "severity"), "4") << "a restart is a warning";
    EXPECT_EQ(JsonField(restart, "facility"), "3");
    EXPECT_NE(JsonField(restart, "hostname").value_or("-"), "-");
    EXPECT_EQ(JsonField(restart, "msg"), kBom + restart1);
    ASSERT_EQ(SyslogOf(peers, "SERVER_LOADED").size(), 1u);
    EXPECT_EQ(JsonField(SyslogOf(peers, "SERVER_LOADED").front(), "severity"), "6");

    // The Windows event log: the restart reported as a warning (type 2) with
    // its event id 31, the path as its insert; a start up to now is information.
    bool restartReported = false, loadedReported = false;
    for (const std::string& line : EventLogTrace()) {
        restartReported = restartReported || line.find(",0x0002,0x0000,0x0000001f,") != std::string::npos;
        loadedReported = loadedReported || line.find(",0x0004,0x0000,0x0000001b,") != std::string::npos;
    }
    EXPECT_TRUE(restartReported && loadedReported) << EventLogTrace().size() << " lines traced";

    // Unloaded, the server leaves a file that says it is down.
    EXPECT_EQ(sandbox.Run("/k"), 0u);
    EXPECT_TRUE(server.WaitForExit(kDeadlineMs));
    const std::string metrics = ReadWholeFile(peers.MetricsFolder() + "\\mrwd.prom");
    EXPECT_NE(metrics.find("\nmrwd_up 0\n"), std::string::npos) << metrics;
}

}  // namespace
}  // namespace mrwd::testing
