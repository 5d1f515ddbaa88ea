// The once-a-day mail of the past day's log file. It belongs to the
// supervision engine's thread, the only one that touches it.
#pragma once

#include <string>

#include "base/core/settings.h"
#include "base/win/event_log.h"
#include "base/win/settings_store.h"
#include "notify/win/notifications.h"

namespace mrwd {

class DailyLogMail {
public:
    // `store` names the settings key that keeps "LastDay".
    DailyLogMail(const Settings& settings, SettingsStore store, NotificationSender& notifications,
                 const EventLog& log)
        : settings_(settings), store_(store), notifications_(notifications), log_(log) {}

    // At engine start: takes over the stored "LastDay" (writing today's day
    // when there is none). After a mailing: stores today. Then names the day's file.
    void UpdateLastDay();

    // On each engine tick: when the day has changed and both "SendLog" and
    // "Log" are set, mails the file in the background and moves on to today,
    // whatever becomes of that mail.
    void SendDailyLog();

    int LogDay() const { return logDay_; }
    const std::string& LogPath() const { return logPath_; }

private:
    const Settings& settings_;
    SettingsStore store_;
    NotificationSender& notifications_;
    const EventLog& log_;
    int logDay_ = 0;       // day of the month whose file goes out next; 0 before the engine starts
    std::string logPath_;  // that file
};

}  // namespace mrwd
