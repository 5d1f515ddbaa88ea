// One syslog message in the layout of RFC 5424, for sending over UDP: the
// header in printable ASCII, no structured data, the text as UTF-8.
#pragma once

#include <cstdint>
#include <string>

#include "base/core/calendar_time.h"

namespace mrwd {

enum class SyslogSeverity { Error = 3, Warning = 4, Informational = 6 };

struct SyslogFields {
    int facility = 1;  // 0..23; anything else is sent as 1 (user-level)
    SyslogSeverity severity = SyslogSeverity::Informational;
    UtcTime time;
    std::string host;
    std::string appName;
    std::uint32_t processId = 0;  // 0: not known, sent as "-"
    std::string msgId;
    std::string text;  // UTF-8
};

// "<PRI>1 TIMESTAMP HOSTNAME APP-NAME PROCID MSGID - " followed by the BOM and
// the text. Header fields keep to printable ASCII (others become '_') and to
// their longest lengths (cut); an empty one, or a time that is no valid
// reading, becomes "-". Ill-formed UTF-8 in the text becomes U+FFFD. An empty
// text leaves out the message part, BOM included.
std::string Rfc5424Message(const SyslogFields& f);

}  // namespace mrwd
