// One reading of a clock, broken into its calendar fields. The log stamps
// lines with local readings; the mail's "Date:" uses readings in UTC.
#pragma once

namespace mrwd {

struct CalendarTime {
    int year = 0;
    int month = 0;      // 1..12
    int day = 0;        // 1..31
    int dayOfWeek = 0;  // 0 = Sunday
    int hour = 0;
    int minute = 0;
    int second = 0;
    int milliseconds = 0;
};

// A reading of the local clock.
using LocalTime = CalendarTime;
// A reading of the clock in UTC.
using UtcTime = CalendarTime;

}  // namespace mrwd
