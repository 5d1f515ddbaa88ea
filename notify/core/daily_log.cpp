#include "daily_log.h"

namespace mrwd {

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2) {
        const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        return leap ? 29 : 28;
    }
    return kDays[(month - 1 + 12) % 12];
}

CalendarDate MostRecentDateWithDay(const CalendarDate& today, int day) {
    if (day < 1 || day > 31) return today;
    CalendarDate date{today.year, today.month, day};
    if (day <= today.day) return date;
    // Back month by month until one has that day (the 31st may skip a
    // 30-day month, the 29th to 31st may skip February).
    do {
        if (--date.month == 0) {
            date.month = 12;
            --date.year;
        }
    } while (DaysInMonth(date.year, date.month) < day);
    return date;
}

}  // namespace mrwd
