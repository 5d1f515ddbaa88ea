// The fleet's real peers a test runs against (tests/harness/with-fleet-peers):
// what rsyslog received and parsed, the metrics folder node_exporter reads,
// and Prometheus's query API, all reached from inside Wine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mrwd::testing {

// The body of "GET pathAndQuery HTTP/1.0" to 127.0.0.1:port, read to the
// end. Empty when the connection fails, the status is not 2xx, the answer is
// cut short or `timeoutMs` passes first.
std::string HttpGet(std::uint16_t port, const std::string& pathAndQuery, unsigned timeoutMs = 5000);

// Percent-encoding for a query component: everything but A-Z a-z 0-9 - _ . ~.
std::string UrlEncode(const std::string& text);

// The value of the first sample an instant query (/api/v1/query) returns, or
// of a scalar result; false when the query fails, is refused, returns no
// sample, or returns a range. The answer is searched, not parsed: it relies on
// Prometheus's own layout (`"value":[time,"number"]`), which a label value
// cannot imitate because its quotes are escaped.
bool PrometheusValue(std::uint16_t port, const std::string& query, double& value);

// The top-level string member `name` of the JSON object `object` (one line
// of the rsyslog file), unescaped to UTF-8. Nothing when the text is not an
// object, the member is missing or its value is not a string.
std::optional<std::string> JsonField(const std::string& object, const std::string& name);

class FleetPeers {
public:
    // From the environment with-fleet-peers sets; Available() is false outside it.
    FleetPeers();
    bool Available() const { return syslogPort_ != 0; }

    std::uint16_t SyslogPort() const { return syslogPort_; }
    std::uint16_t PrometheusPort() const { return prometheusPort_; }
    // The server's MetricsFolder, as a Windows path (Z:...), no trailing backslash.
    const std::string& MetricsFolder() const { return metricsFolder_; }

    // One JSON object per message rsyslog received, in the order of arrival.
    // A last line not yet ended by its newline is left out.
    std::vector<std::string> SyslogLines() const;

private:
    std::uint16_t syslogPort_ = 0;
    std::uint16_t prometheusPort_ = 0;
    std::string syslogReceived_;
    std::string metricsFolder_;
};

}  // namespace mrwd::testing
