#include "system_clock.h"

namespace mrwd {

CalendarTime FromSystemTime(const SYSTEMTIME& time) {
    CalendarTime t;
    t.year = time.wYear;
    t.month = time.wMonth;
    t.day = time.wDay;
    t.dayOfWeek = time.wDayOfWeek;
    t.hour = time.wHour;
    t.minute = time.wMinute;
    t.second = time.wSecond;
    t.milliseconds = time.wMilliseconds;
    return t;
}

LocalTime LocalNow() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return FromSystemTime(now);
}

UtcTime UtcNow() {
    SYSTEMTIME now;
    ::GetSystemTime(&now);
    return FromSystemTime(now);
}

}  // namespace mrwd
