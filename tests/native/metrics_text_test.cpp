#include "notify/core/metrics_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace mrwd {
namespace {

TEST(MetricsText, ExpositionIsByteExact) {
    const std::vector<MetricFamily> families = {
        {"a_total", "Back\\slash and\nline.", MetricType::Counter,
         {{{{"path", "C:\\x \"q\"\nЖ"}, {"k", ""}}, 3}, {{}, 0.5}}},
        {"b:ratio", "Empty.", MetricType::Gauge, {}},
        {"9bad", "Left out.", MetricType::Gauge, {{{}, 1}}},
        {"a_total", "A second family of that name is left out.", MetricType::Gauge, {{{}, 1}}},
        {"c", "Bad labels left out.", MetricType::Gauge,
         {{{{"bad-name", "1"}, {"ok", "2"}, {"ok", "3"}, {"a:b", "4"}}, 7}}},
    };
    EXPECT_EQ(ExpositionText(families),
              "# HELP a_total Back\\\\slash and\\nline.\n"
              "# TYPE a_total counter\n"
              "a_total{path=\"C:\\\\x \\\"q\\\"\\nЖ\",k=\"\"} 3\n"
              "a_total 0.5\n"
              "# HELP b:ratio Empty.\n"
              "# TYPE b:ratio gauge\n"
              "# HELP c Bad labels left out.\n"
              "# TYPE c gauge\n"
              "c{ok=\"2\"} 7\n");
}

TEST(MetricsText, ValuesReadBackExactly) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {3, "3"}, {12345678901.0, "12345678901"}, {-7, "-7"}, {-0.0, "0"}, {0.1, "0.1"},
        {1.0 / 3, "0.3333333333333333"}, {2.5e-7, "2.5e-07"}, {1e300, "1e+300"},
        {std::nan(""), "NaN"}, {inf, "+Inf"}, {-inf, "-Inf"},
    };
    for (const auto& c : cases) EXPECT_EQ(MetricValueText(c.value), c.text) << c.value;
}

}  // namespace
}  // namespace mrwd
