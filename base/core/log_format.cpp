#include "log_format.h"

#include <cstdio>

#include "base/core/path_rules.h"

namespace mrwd {

std::string LogStamp(const LocalTime& t) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d ", t.hour, t.minute, t.second,
                  t.milliseconds);
    return stamp;
}

std::string DayFileName(const LocalTime& t) {
    char name[32];
    std::snprintf(name, sizeof name, "%02d-%02d-%02d.txt", t.day, t.month, t.year % 100);
    return name;
}

std::string LogFolderOf(const std::string& executablePath) {
    return FolderPrefix(executablePath) + "Logs";
}

std::string ComposeLogLine(const LocalTime& t, const char* format, std::va_list args) {
    static const char kLineEnd[] = "\r\n";
    std::string line = LogStamp(t);
    const std::size_t room = kLogLineSize - line.size() - (sizeof kLineEnd - 1);

    char text[kLogLineSize];
    std::va_list copy;
    va_copy(copy, args);
    const int written = std::vsnprintf(text, room + 1, format, copy);
    va_end(copy);
    if (written > 0) line.append(text, static_cast<std::size_t>(written) < room ? written : room);
    line += kLineEnd;
    return line;
}

}  // namespace mrwd
