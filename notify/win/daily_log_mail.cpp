#include "daily_log_mail.h"

#include <windows.h>

#include <cstdint>

#include "app/win/handles.h"
#include "app/win/server_process.h"
#include "app/win/settings_store.h"
#include "notify/core/daily_log.h"
#include "notify/core/log_format.h"
#include "notify/core/support_address.h"
#include "notify/win/event_log.h"
#include "notify/win/notifications.h"
#include "resources/resource_ids.h"

namespace mrwd {
namespace {

constexpr char kLastDayValue[] = "LastDay";

bool ReadLastDay(HKEY key, int& day) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (::RegQueryValueExA(key, kLastDayValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        size != sizeof value) {
        return false;
    }
    // A day that no month has is as good as none.
    if (value < 1 || value > 31) return false;
    day = static_cast<int>(value);
    return true;
}

void WriteLastDay(HKEY key, int day) {
    const DWORD value = static_cast<DWORD>(day);
    ::RegSetValueExA(key, kLastDayValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

}  // namespace

void UpdateLastDay(DailyLogState& state) {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const int today = now.wDay;

    UniqueRegKey key;
    if (::RegOpenKeyExA(ServerSettingsStore().Root(), kSettingsKey, 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS) {
        state.logDay = today;  // nothing persists; the day starts from today
    } else if (state.logDay != today) {
        if (!ReadLastDay(key.get(), state.logDay)) {
            state.logDay = today;
            WriteLastDay(key.get(), today);
        }
    } else {
        WriteLastDay(key.get(), today);
    }

    // Only the day of the month is stored: the file is that of the latest
    // date with this day, last month's when the day is still to come in this one.
    const CalendarDate date = MostRecentDateWithDay({now.wYear, now.wMonth, today}, state.logDay);
    LocalTime fileDate;
    fileDate.year = date.year;
    fileDate.month = date.month;
    fileDate.day = date.day;
    state.logPath = ProcessLogFolder() + "\\" + DayFileName(fileDate);
}

void SendDailyLog(DailyLogState& state) {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const Settings& settings = Server().settings;
    if (settings.SendLog == 0 || state.logDay == now.wDay || settings.Log == 0) return;

    WriteLogString(IDS_SENDING_DAILY_LOG);
    auto message = NewNotification(IDS_SUBJECT_LOG, IDS_BODY_DAILY_LOG, kSupportAddress);
    message->AddAttachment(state.logPath);
    SendNotificationInBackground(std::move(message));

    // A failed mail is not repeated: the day counts as done.
    state.logDay = now.wDay;
    UpdateLastDay(state);
}

}  // namespace mrwd
