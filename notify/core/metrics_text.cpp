#include "notify/core/metrics_text.h"

#include <charconv>
#include <cmath>
#include <set>

#include "base/core/utf8.h"

namespace mrwd {

namespace {

bool IsNameStart(char c, bool colonAllowed) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || (colonAllowed && c == ':');
}

bool IsName(const std::string& name, bool colonAllowed) {
    if (name.empty() || !IsNameStart(name[0], colonAllowed)) return false;
    for (char c : name) {
        if (!IsNameStart(c, colonAllowed) && !(c >= '0' && c <= '9')) return false;
    }
    return true;
}

bool IsMetricName(const std::string& name) { return IsName(name, true); }
bool IsLabelName(const std::string& name) { return IsName(name, false); }

// Help text escapes backslash and line feed; label values a double quote too.
std::string Escaped(const std::string& text, bool quote) {
    std::string out;
    for (char c : ValidUtf8(text)) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (quote && c == '"') out += "\\\"";
        else out += c;
    }
    return out;
}

void AppendSample(std::string& out, const std::string& name, const MetricSample& sample) {
    out += name;
    std::set<std::string> seen;
    bool first = true;
    for (const MetricLabel& label : sample.labels) {
        if (!IsLabelName(label.name) || !seen.insert(label.name).second) continue;
        out += first ? "{" : ",";
        first = false;
        out += label.name;
        out += "=\"";
        out += Escaped(label.value, true);
        out += '"';
    }
    if (!first) out += '}';
    out += ' ';
    out += MetricValueText(sample.value);
    out += '\n';
}

}  // namespace

std::string MetricValueText(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "+Inf" : "-Inf";
    if (value == 0) return "0";  // also for -0
    char buffer[64];
    std::to_chars_result r;
    // Integers up to this size come out in plain digits; larger ones would
    // need up to 309 digits and take the exponent form.
    if (std::fabs(value) < 1e18 && std::floor(value) == value) {
        r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    } else {
        r = std::to_chars(buffer, buffer + sizeof buffer, value);
    }
    return std::string(buffer, r.ptr);
}

std::string ExpositionText(const std::vector<MetricFamily>& families) {
    std::string out;
    std::set<std::string> written;
    for (const MetricFamily& family : families) {
        if (!IsMetricName(family.name) || !written.insert(family.name).second) continue;
        out += "# HELP " + family.name + " " + Escaped(family.help, false) + "\n";
        out += "# TYPE " + family.name + (family.type == MetricType::Counter ? " counter\n" : " gauge\n");
        for (const MetricSample& sample : family.samples) AppendSample(out, family.name, sample);
    }
    return out;
}

}  // namespace mrwd
