// The event log: one time-stamped line per event, appended to the day's file
// in the folder "Logs" beside the executable. Callable from any thread.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <string>

namespace mrwd {

// printf-style. Writes nothing while the setting Log is 0 or when `format` is null.
void WriteLog(const char* format, ...);
void WriteLogV(const char* format, std::va_list args);

// Loads string `id` from the string table and logs it as the format.
void WriteLogString(UINT id, ...);

// The log folder of this process: the executable's folder followed by "Logs";
// empty when the executable's path is too long to be known.
std::string ProcessLogFolder();

// Appends one finished line to `fileName` inside `folder`, creating the folder
// when missing. Threads of this process take turns; when another process holds
// the file, the open is retried for a short while. False when the line was dropped.
bool AppendLogLine(const std::string& folder, const std::string& fileName, const std::string& line);

}  // namespace mrwd
