// The event log's text layout: the time stamp, the day file name and the
// composition of one line within the fixed line buffer.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>
#include <vector>

#include "base/core/calendar_time.h"

namespace mrwd {

// The stamp and the day file name of a line always come from the same
// reading of the local clock, so a line written at midnight lands in the file
// whose date it carries.

// The whole line, stamp and CR LF included, never exceeds this many bytes.
constexpr std::size_t kLogLineSize = 1024;

// "hh:mm:ss.mmm " (13 characters).
std::string LogStamp(const LocalTime& t);

// "dd-mm-yy.txt": day, month, year modulo 100.
std::string DayFileName(const LocalTime& t);

// The log folder for an executable path: its folder part followed by "Logs".
std::string LogFolderOf(const std::string& executablePath);

// Stamp, the formatted message (cut where the buffer ends) and CR LF.
std::string ComposeLogLine(const LocalTime& t, const char* format, std::va_list args);
// The same line around a message ComposeLogText made already.
std::string ComposeLogLine(const LocalTime& t, const std::string& text);

// The message alone, as ComposeLogLine puts it into the line (cut alike).
std::string ComposeLogText(const char* format, std::va_list args);

// Each conversion of `format` rendered alone, in order, as the whole format
// renders it: the arguments of an event for the Windows event log, whose
// message table holds the texts with numbered inserts. "%%" takes none.
std::vector<std::string> FormatArguments(const char* format, std::va_list args);

}  // namespace mrwd
