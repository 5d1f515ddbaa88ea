// What the fleet outputs need to know of each logged line: its kind (the
// message's string number), its level, whether it goes to the Windows event
// log, its syslog MSGID, and the line itself as one event.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/core/calendar_time.h"

namespace mrwd {

enum class LogLevel { Information, Warning, Error };
enum class LogReach { WindowsLog, SyslogOnly };

struct LogEventKind {
    unsigned id;      // the message's string number, also its Windows event id
    LogLevel level;
    LogReach reach;
    const char* msgId;  // syslog MSGID: printable ASCII, at most 32 characters
};

// Lines logged without a kind of their own.
constexpr unsigned kUntypedLogEvent = 0;
extern const LogEventKind kUntypedLogEventKind;

// Every kind the server logs, in the order of its table.
const std::vector<LogEventKind>& LogEventKinds();
// The kind of `id`; the untyped kind for a number not in the table.
const LogEventKind& LogEventKindOf(unsigned id);

// One logged line, handed to the fleet outputs.
struct LoggedEvent {
    unsigned kind = kUntypedLogEvent;
    std::vector<std::string> arguments{};  // each conversion of its format rendered alone, in order
    std::string text{};                    // the message, Windows-1251, without stamp or line end
    UtcTime time{};                        // when it was logged
};

// Receives every logged line, on the thread that logs it: it must only hand
// the line on, never wait.
class LogListener {
public:
    virtual ~LogListener() = default;
    virtual void Logged(LoggedEvent event) = 0;
};

}  // namespace mrwd
