#include "daily_log_mail.h"

#include <windows.h>

#include <cstdint>

#include "base/core/log_format.h"
#include "base/win/handles.h"
#include "base/win/registry.h"
#include "base/win/system_clock.h"
#include "notify/core/daily_log.h"
#include "notify/core/support_address.h"
#include "resources/resource_ids.h"

namespace mrwd {
namespace {

constexpr char kLastDayValue[] = "LastDay";

bool ReadLastDay(HKEY key, int& day) {
    std::uint32_t value = 0;
    if (!ReadRegistryDword(key, kLastDayValue, value)) return false;
    // A day that no month has is as good as none.
    if (value < 1 || value > 31) return false;
    day = static_cast<int>(value);
    return true;
}

}  // namespace

void DailyLogMail::UpdateLastDay() {
    const LocalTime now = LocalNow();
    const int today = now.day;

    UniqueRegKey key;
    if (::RegOpenKeyExA(store_.Root(), kSettingsKey, 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS) {
        logDay_ = today;  // nothing persists; the day starts from today
    } else if (logDay_ != today) {
        if (!ReadLastDay(key.get(), logDay_)) {
            logDay_ = today;
            WriteRegistryDword(key.get(), kLastDayValue, static_cast<std::uint32_t>(today));
        }
    } else {
        WriteRegistryDword(key.get(), kLastDayValue, static_cast<std::uint32_t>(today));
    }

    // Only the day of the month is stored: the file is that of the latest
    // date with this day, last month's when the day is still to come in this one.
    const CalendarDate date = MostRecentDateWithDay({now.year, now.month, today}, logDay_);
    logPath_ = log_.Folder() + "\\" + DayFileName(date);
}

void DailyLogMail::SendDailyLog() {
    const LocalTime now = LocalNow();
    if (settings_.SendLog == 0 || logDay_ == now.day || settings_.Log == 0) return;

    log_.WriteLogString(IDS_SENDING_DAILY_LOG);
    auto message = NewNotification(IDS_SUBJECT_LOG, IDS_BODY_DAILY_LOG, kSupportAddress);
    message->AddAttachment(logPath_);
    notifications_.SendNotificationInBackground(std::move(message));

    // A failed mail is not repeated: the day counts as done.
    logDay_ = now.day;
    UpdateLastDay();
}

}  // namespace mrwd
