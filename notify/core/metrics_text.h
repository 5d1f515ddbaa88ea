// The Prometheus text exposition format (version 0.0.4), as the textfile
// collectors of windows_exporter and node_exporter read it.
#pragma once

#include <string>
#include <vector>

namespace mrwd {

enum class MetricType { Counter, Gauge };

struct MetricLabel {
    std::string name;
    std::string value;  // UTF-8
};

struct MetricSample {
    std::vector<MetricLabel> labels;
    double value = 0;
};

struct MetricFamily {
    std::string name;
    std::string help;
    MetricType type = MetricType::Gauge;
    std::vector<MetricSample> samples;
};

// Each family as its "# HELP" and "# TYPE" lines followed by its samples. A
// family without samples keeps those two lines, so the file always lists what
// the program measures. One bad line makes the collector drop the whole file,
// so what would break it is left out instead: a family whose name is not a
// metric name or repeats an earlier family's, a label whose name is not a
// label name or repeats one before it in its sample. Ill-formed UTF-8 in help
// texts and label values becomes U+FFFD.
std::string ExpositionText(const std::vector<MetricFamily>& families);

// A sample value: integers in plain digits ("3", "12345678901"), others in
// the shortest form that reads back to the same double, "NaN", "+Inf", "-Inf".
std::string MetricValueText(double value);

}  // namespace mrwd
