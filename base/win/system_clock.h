// The system's clock as calendar readings.
#pragma once

#include <windows.h>

#include "base/core/calendar_time.h"

namespace mrwd {

CalendarTime FromSystemTime(const SYSTEMTIME& time);

// The local time now (GetLocalTime).
LocalTime LocalNow();

// UTC now (GetSystemTime).
UtcTime UtcNow();

}  // namespace mrwd
