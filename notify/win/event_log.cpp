#include "event_log.h"

#include "app/win/handles.h"
#include "app/win/server_process.h"
#include "app/win/texts.h"
#include "notify/core/log_format.h"

namespace mrwd {
namespace {

// Another process (a second start, "/k") may be appending to the same day
// file; its open-write-close takes a few milliseconds, so a short series of
// retries gets the line in without ever blocking a caller for long.
constexpr int kOpenAttempts = 20;
constexpr DWORD kRetryPauseMs = 10;

LocalTime ReadLocalTime() {
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    LocalTime t;
    t.year = st.wYear;
    t.month = st.wMonth;
    t.day = st.wDay;
    t.hour = st.wHour;
    t.minute = st.wMinute;
    t.second = st.wSecond;
    t.milliseconds = st.wMilliseconds;
    return t;
}

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
    char path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return {};
    return LogFolderOf(std::string(path, length));
}

bool AppendLogLine(const std::string& folder, const std::string& fileName, const std::string& line) {
    // Writers of this process queue here instead of failing on each other's open.
    static CriticalSection writers;
    CriticalSectionLock lock(writers);

    ::CreateDirectoryA(folder.c_str(), nullptr);  // normally exists already
    UniqueFile file = OpenForAppend(folder + "\\" + fileName);
    if (!file) return false;
    ::SetFilePointer(file.get(), 0, nullptr, FILE_END);
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::FlushFileBuffers(file.get());
    return ok && written == line.size();
}

void WriteLogV(const char* format, std::va_list args) {
    if (Server().settings.Log == 0 || format == nullptr) return;
    const LocalTime now = ReadLocalTime();
    const std::string line = ComposeLogLine(now, format, args);
    const std::string folder = ProcessLogFolder();
    if (folder.empty()) return;
    AppendLogLine(folder, DayFileName(now), line);
}

void WriteLog(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    WriteLogV(format, args);
    va_end(args);
}

void WriteLogString(UINT id, ...) {
    if (Server().settings.Log == 0) return;
    const std::string format = LoadText(id);
    std::va_list args;
    va_start(args, id);
    WriteLogV(format.c_str(), args);
    va_end(args);
}

}  // namespace mrwd
