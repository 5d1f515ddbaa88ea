#include "base/core/log_events.h"

#include "resources/resource_ids.h"

namespace mrwd {

const LogEventKind kUntypedLogEventKind{kUntypedLogEvent, LogLevel::Information, LogReach::SyslogOnly, "LOG"};

const std::vector<LogEventKind>& LogEventKinds() {
    static const std::vector<LogEventKind> kinds = {
#define LOG_EVENT(id, level, reach, msgId) {id, LogLevel::level, LogReach::reach, msgId},
#include "base/core/log_event_table.inc"
#undef LOG_EVENT
    };
    return kinds;
}

const LogEventKind& LogEventKindOf(unsigned id) {
    for (const LogEventKind& kind : LogEventKinds()) {
        if (kind.id == id) return kind;
    }
    return kUntypedLogEventKind;
}

}  // namespace mrwd
