// The once-a-day mail of the past day's log file. The state belongs to the
// supervision engine's thread, the only one that touches it.
#pragma once

#include <string>

namespace mrwd {

struct DailyLogState {
    int logDay = 0;       // day of the month whose file goes out next; 0 before the engine starts
    std::string logPath;  // that file
};

// At engine start: takes over the stored "LastDay" (writing today's day when
// there is none). After a mailing: stores today. Then names the day's file.
void UpdateLastDay(DailyLogState& state);

// On each engine tick: when the day has changed and both "SendLog" and "Log"
// are set, mails the file in the background and moves on to today, whatever
// becomes of that mail.
void SendDailyLog(DailyLogState& state);

}  // namespace mrwd
