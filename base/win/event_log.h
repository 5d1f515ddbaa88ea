// The event log: one time-stamped line per event, appended to the day's file
// in the folder "Logs" beside the executable. One object serves every thread;
// it is given the Log switch it obeys instead of looking it up. Every line
// also goes to the listener (the fleet outputs), whatever the switch: they
// have switches of their own.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <string>

#include "base/core/log_events.h"

namespace mrwd {

class EventLog {
public:
    // `enabled` is the setting Log, read at every line, so switching it takes
    // effect at once. `folder` is where the day files go.
    EventLog(const std::atomic<std::uint32_t>& enabled, std::string folder);
    // The log folder of this process.
    explicit EventLog(const std::atomic<std::uint32_t>& enabled);

    // printf-style. Writes nothing while Log is 0 or when `format` is null.
    void WriteLog(const char* format, ...) const;
    void WriteLogV(const char* format, std::va_list args) const;
    // Loads string `id` from the string table and logs it as the format; the
    // line is of kind `id`.
    void WriteLogString(UINT id, ...) const;
    // A line of kind `kind` whose format the caller has loaded already.
    void WriteLogKind(UINT kind, const char* format, ...) const;

    // Set before the threads that log begin and cleared after they end (or
    // left: the listener outlives them).
    void SetListener(LogListener* listener) { listener_ = listener; }

    const std::string& Folder() const { return folder_; }

private:
    void Write(UINT kind, const char* format, std::va_list args) const;

    const std::atomic<std::uint32_t>& enabled_;
    std::atomic<LogListener*> listener_{nullptr};
    std::string folder_;
};

// The log folder of this process: the executable's folder followed by "Logs";
// empty when the executable's path is too long to be known.
std::string ProcessLogFolder();

// Appends one finished line to `fileName` inside `folder`, creating the folder
// when missing. Threads of this process take turns; when another process holds
// the file, the open is retried for a short while. False when the line was dropped.
bool AppendLogLine(const std::string& folder, const std::string& fileName, const std::string& line);

}  // namespace mrwd
