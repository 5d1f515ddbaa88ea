// Which day file the daily log mail carries: the days are kept by their day
// of the month only, so the date is found back from today.
#pragma once

#include "base/core/calendar_time.h"

namespace mrwd {

// A date: year, month and day of a calendar reading; the time of day is unused.
using CalendarDate = CalendarTime;

int DaysInMonth(int year, int month);

// The latest date up to `today` whose day of the month is `day`: this month's
// when `day` is not above today's, else the latest earlier month that has
// such a day (the 31st seen on the 2nd of March is the 31st of January).
CalendarDate MostRecentDateWithDay(const CalendarDate& today, int day);

}  // namespace mrwd
