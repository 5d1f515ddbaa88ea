#include "notify/win/windows_event_log.h"

#include <vector>

#include "base/win/texts.h"
#include "sdk/mrwd_alive.h"

namespace mrwd {

// The server's own name, as the service and the window class have it.
const wchar_t kEventSourceName[] = L"" MRWD_SERVER_WINDOW_CLASS;
const wchar_t kEventSourceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" MRWD_SERVER_WINDOW_CLASS;

namespace {

WORD EventType(LogLevel level) {
    switch (level) {
        case LogLevel::Error:
            return EVENTLOG_ERROR_TYPE;
        case LogLevel::Warning:
            return EVENTLOG_WARNING_TYPE;
        case LogLevel::Information:
            break;
    }
    return EVENTLOG_INFORMATION_TYPE;
}

}  // namespace

bool InstallEventSource(const std::wstring& executablePath) {
    if (executablePath.empty()) return false;
    UniqueRegKey key;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEventSourceKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                          nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    const DWORD bytes = static_cast<DWORD>((executablePath.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key.get(), L"EventMessageFile", 0, REG_EXPAND_SZ,
                            reinterpret_cast<const BYTE*>(executablePath.c_str()), bytes) == ERROR_SUCCESS &&
           ::RegSetValueExW(key.get(), L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types),
                            sizeof types) == ERROR_SUCCESS;
}

bool RemoveEventSource() {
    const LSTATUS result = ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kEventSourceKey);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

bool WindowsEventLog::Report(const LoggedEvent& event) {
    const LogEventKind& kind = LogEventKindOf(event.kind);
    if (kind.reach != LogReach::WindowsLog) return true;
    if (!source_) source_.reset(::RegisterEventSourceW(nullptr, kEventSourceName));
    if (!source_) return false;
    std::vector<std::wstring> texts;
    texts.reserve(event.arguments.size());
    for (const std::string& argument : event.arguments) texts.push_back(WidenText(argument, 1251));
    std::vector<const wchar_t*> inserts;
    for (const std::wstring& text : texts) inserts.push_back(text.c_str());
    return ::ReportEventW(source_.get(), EventType(kind.level), 0, kind.id, nullptr, static_cast<WORD>(inserts.size()),
                          0, inserts.empty() ? nullptr : inserts.data(), nullptr) != FALSE;
}

}  // namespace mrwd
