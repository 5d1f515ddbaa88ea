// Which day file the daily log mail carries: the days are kept by their day
// of the month only, so the date is found back from today.
#pragma once

namespace mrwd {

struct CalendarDate {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31
};

int DaysInMonth(int year, int month);

// The latest date up to `today` whose day of the month is `day`: this month's
// when `day` is not above today's, else the latest earlier month that has
// such a day (the 31st seen on the 2nd of March is the 31st of January).
CalendarDate MostRecentDateWithDay(const CalendarDate& today, int day);

}  // namespace mrwd
