// The harness's way to the fleet's real peers from inside Wine: rsyslog's
// parsed lines and Prometheus's answers.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "base/win/socket_handle.h"
#include "tests/harness/fleet_peers.h"
#include "tests/harness/win_harness.h"

namespace mrwd::testing {
namespace {

bool SendDatagram(std::uint16_t port, const std::string& bytes) {
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
    bool sent = false;
    {
        UniqueSocket socket(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = ::htons(port);
        to.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
        sent = socket && ::sendto(socket.get(), bytes.data(), static_cast<int>(bytes.size()), 0,
                                  reinterpret_cast<const sockaddr*>(&to), sizeof to) == static_cast<int>(bytes.size());
    }
    ::WSACleanup();
    return sent;
}

TEST(FleetPeers, ASyslogMessageSentFromWineArrivesParsed) {
    const FleetPeers peers;
    ASSERT_TRUE(peers.Available()) << "run under with-fleet-peers";
    const std::string text = "\xEF\xBB\xBF" "Сервер запущен";
    ASSERT_TRUE(SendDatagram(peers.SyslogPort(),
                             "<134>1 2026-12-09T10:15:00.250+03:00 KIOSK-7 mrwd 42 START - " + text));
    ASSERT_TRUE(peers.WaitForSyslogLines(1, kDeadlineMs));
    const std::string line = peers.SyslogLines().at(0);
    EXPECT_EQ(JsonField(line, "protocol-version"), std::string("1")) << line;
    EXPECT_EQ(JsonField(line, "severity"), std::string("6"));
    EXPECT_EQ(JsonField(line, "facility"), std::string("16"));
    EXPECT_EQ(JsonField(line, "hostname"), std::string("KIOSK-7"));
    EXPECT_EQ(JsonField(line, "app-name"), std::string("mrwd"));
    EXPECT_EQ(JsonField(line, "procid"), std::string("42"));
    EXPECT_EQ(JsonField(line, "msgid"), std::string("START"));
    EXPECT_EQ(JsonField(line, "structured-data"), std::string("-"));
    EXPECT_EQ(JsonField(line, "msg"), text) << "the byte order mark stays in the text";
}

void WriteMetrics(const std::string& folder, int restarts) {
    // Replaced whole, as the server replaces it: the collector never sees half a file.
    const std::string temporary = folder + "\\mrwd.prom.tmp";
    std::ofstream(temporary, std::ios::binary | std::ios::trunc)
        << "# HELP mrwd_program_restarts_total Restarts of a supervised program.\n"
           "# TYPE mrwd_program_restarts_total counter\n"
           "mrwd_program_restarts_total{program=\"kiosk.exe\"} "
        << restarts << "\n";
    ASSERT_TRUE(::MoveFileExA(temporary.c_str(), (folder + "\\mrwd.prom").c_str(), MOVEFILE_REPLACE_EXISTING));
}

TEST(FleetPeers, PrometheusAnswersQueriesOverTheMetricsFile) {
    const FleetPeers peers;
    ASSERT_TRUE(peers.Available()) << "run under with-fleet-peers";
    const std::uint16_t port = peers.PrometheusPort();
    EXPECT_NE(HttpGet(port, "/-/ready").find("Ready"), std::string::npos);
    EXPECT_EQ(HttpGet(peers.SyslogPort(), "/"), "") << "no TCP server on the syslog port";

    double value = 0;
    EXPECT_TRUE(PrometheusValue(port, "1 + 2", value));  // a scalar
    EXPECT_EQ(value, 3);
    EXPECT_FALSE(PrometheusValue(port, "mrwd_never_written_total", value)) << "no sample";
    EXPECT_FALSE(PrometheusValue(port, "sum(", value)) << "refused (400)";
    EXPECT_FALSE(PrometheusValue(port, "up[5m]", value)) << "a range";

    // Braces, quotes and '=' reach Prometheus encoded.
    const std::string restarts = "mrwd_program_restarts_total{program=\"kiosk.exe\"}";
    WriteMetrics(peers.MetricsFolder(), 3);
    EXPECT_TRUE(WaitUntil([&] { return PrometheusValue(port, restarts, value) && value == 3; }, kDeadlineMs, 200));
    WriteMetrics(peers.MetricsFolder(), 7);
    EXPECT_TRUE(WaitUntil([&] { return PrometheusValue(port, restarts, value) && value == 7; }, kDeadlineMs, 200));
    EXPECT_EQ(value, 7);
}

}  // namespace
}  // namespace mrwd::testing
