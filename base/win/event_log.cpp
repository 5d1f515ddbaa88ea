#include "event_log.h"

#include <mutex>

#include "base/core/log_format.h"
#include "base/win/executable_path.h"
#include "base/win/handles.h"
#include "base/win/system_clock.h"
#include "base/win/texts.h"

namespace mrwd {
namespace {

// Another process (a second start, "/k") may be appending to the same day
// file; its open-write-close takes a few milliseconds, so a short series of
// retries gets the line in without ever blocking a caller for long.
constexpr int kOpenAttempts = 20;
constexpr DWORD kRetryPauseMs = 10;

bool IsHeldByAnotherWriter(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

UniqueFile OpenForAppend(const std::string& path) {
    for (int attempt = 1;; ++attempt) {
        UniqueFile file(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file || attempt == kOpenAttempts || !IsHeldByAnotherWriter(::GetLastError())) return file;
        ::Sleep(kRetryPauseMs);
    }
}

}  // namespace

std::string ProcessLogFolder() {
    const std::string path = ThisExecutablePath();
    return path.empty() ? std::string() : LogFolderOf(path);
}

bool AppendLogLine(const std::string& folder, const std::string& fileName, const std::string& line) {
    // Writers of this process queue here instead of failing on each other's
    // open. Never destroyed: a thread may still log while the process exits.
    static std::mutex* const writers = new std::mutex;
    std::lock_guard<std::mutex> lock(*writers);

    ::CreateDirectoryA(folder.c_str(), nullptr);  // normally exists already
    UniqueFile file = OpenForAppend(folder + "\\" + fileName);
    if (!file) return false;
    ::SetFilePointer(file.get(), 0, nullptr, FILE_END);
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::FlushFileBuffers(file.get());
    return ok && written == line.size();
}

EventLog::EventLog(const std::atomic<std::uint32_t>& enabled, std::string folder)
    : enabled_(enabled), folder_(std::move(folder)) {}

EventLog::EventLog(const std::atomic<std::uint32_t>& enabled) : EventLog(enabled, ProcessLogFolder()) {}

void EventLog::Write(UINT kind, const char* format, std::va_list args) const {
    if (format == nullptr) return;
    const bool toFile = enabled_ != 0 && !folder_.empty();
    LogListener* listener = listener_.load();
    if (!toFile && listener == nullptr) return;
    // Formatted once for the day file and the listener alike.
    std::string text = ComposeLogText(format, args);
    if (toFile) {
        const LocalTime now = LocalNow();
        AppendLogLine(folder_, DayFileName(now), ComposeLogLine(now, text));
    }
    if (listener != nullptr) {
        LoggedEvent event;
        event.kind = kind;
        event.text = std::move(text);
        event.arguments = FormatArguments(format, args);
        event.time = UtcNow();
        listener->Logged(std::move(event));
    }
}

void EventLog::WriteLogV(const char* format, std::va_list args) const { Write(kUntypedLogEvent, format, args); }

void EventLog::WriteLog(const char* format, ...) const {
    std::va_list args;
    va_start(args, format);
    WriteLogV(format, args);
    va_end(args);
}

void EventLog::WriteLogString(UINT id, ...) const {
    if (enabled_ == 0 && listener_.load() == nullptr) return;
    const std::string format = LoadText(id);
    std::va_list args;
    va_start(args, id);
    Write(id, format.c_str(), args);
    va_end(args);
}

void EventLog::WriteLogKind(UINT kind, const char* format, ...) const {
    std::va_list args;
    va_start(args, format);
    Write(kind, format, args);
    va_end(args);
}

}  // namespace mrwd
