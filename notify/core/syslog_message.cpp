#include "notify/core/syslog_message.h"

#include <cstddef>
#include <cstdio>

#include "base/core/utf8.h"

namespace mrwd {

namespace {

// The longest header fields the receivers must accept. PROCID (128) is a
// decimal process number here and never comes near its limit.
constexpr std::size_t kHostLength = 255;
constexpr std::size_t kAppNameLength = 48;
constexpr std::size_t kMsgIdLength = 32;

std::string HeaderField(const std::string& value, std::size_t maxLength) {
    if (value.empty()) return "-";
    std::string out = value.substr(0, maxLength);
    for (char& c : out) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 33 || u > 126) c = '_';
    }
    return out;
}

bool IsValidTime(const UtcTime& t) {
    // Leap seconds are not allowed in the stamp.
    return t.year >= 1 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
           t.day <= 31 && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 &&
           t.second >= 0 && t.second <= 59 && t.milliseconds >= 0 && t.milliseconds <= 999;
}

std::string Timestamp(const UtcTime& t) {
    if (!IsValidTime(t)) return "-";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, t.milliseconds);
    return buffer;
}

}  // namespace

std::string Rfc5424Message(const SyslogFields& f) {
    const int facility = f.facility >= 0 && f.facility <= 23 ? f.facility : 1;
    const int priority = facility * 8 + static_cast<int>(f.severity);
    std::string out = "<" + std::to_string(priority) + ">1 ";
    out += Timestamp(f.time) + " ";
    out += HeaderField(f.host, kHostLength) + " ";
    out += HeaderField(f.appName, kAppNameLength) + " ";
    out += (f.processId ? std::to_string(f.processId) : std::string("-")) + " ";
    out += HeaderField(f.msgId, kMsgIdLength) + " -";
    if (!f.text.empty()) {
        // The BOM tells the receiver the text is UTF-8.
        out += " \xEF\xBB\xBF";
        out += ValidUtf8(f.text);
    }
    return out;
}

}  // namespace mrwd
