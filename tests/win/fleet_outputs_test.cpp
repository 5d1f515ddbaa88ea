// The Windows side of the fleet outputs: what Event Viewer will read from
// the message table, the event source's registration, and the metrics file.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <vector>

#include "base/win/event_log.h"
#include "base/win/texts.h"
#include "notify/win/metrics_file.h"
#include "notify/win/windows_event_log.h"
#include "resources/resource_ids.h"
#include "tests/harness/win_harness.h"

namespace mrwd {
namespace {

class Capture final : public LogListener {
public:
    void Logged(LoggedEvent event) override { events.push_back(std::move(event)); }
    std::vector<LoggedEvent> events;
};

// The event's text as Event Viewer shows it: its kind's message from the
// table of this module, filled with the event's arguments.
std::wstring AsEventViewerShowsIt(const LoggedEvent& event) {
    std::vector<std::wstring> texts;
    for (const std::string& argument : event.arguments) texts.push_back(WidenText(argument, 1251));
    std::vector<DWORD_PTR> inserts;
    for (const std::wstring& text : texts) inserts.push_back(reinterpret_cast<DWORD_PTR>(text.c_str()));
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_ALLOCATE_BUFFER,
        ::GetModuleHandleW(nullptr), event.kind, 0, reinterpret_cast<wchar_t*>(&buffer), 0,
        inserts.empty() ? nullptr : reinterpret_cast<va_list*>(inserts.data()));
    std::wstring text = length > 0 ? std::wstring(buffer, length) : std::wstring();
    ::LocalFree(buffer);
    return text;
}

TEST(FleetOutputs, EventViewerShowsTheDayLogsTextForEveryKindItIsSent) {
    std::atomic<std::uint32_t> logOff{0};  // the day file's switch does not silence the listener
    EventLog log(logOff, testing::FreshTestFolder("fleet-log-") + "\\Logs");
    Capture capture;
    log.SetListener(&capture);
    const std::string kiosk = testing::Cp1251FromUtf8("C:\\Киоск\\kiosk.exe");
    log.WriteLogString(IDS_SERVER_LOADED);
    log.WriteLogString(IDS_RESTART_PROGRAM, 3L, kiosk.c_str());
    log.WriteLogString(IDS_KILL_FAILED, "C:\\kiosk.exe", 5UL);
    log.WriteLogString(IDS_NOTIFY_FAILED, "Socket receive error: 10060", "Перезапуск 100% готов");
    log.WriteLogKind(IDS_CONTROLLER_STARTED, LoadText(IDS_CONTROLLER_STARTED).c_str(), 5L);
    log.WriteLogString(IDS_CRASH_LOOP_BEGUN, "C:\\a!b.exe", 2UL);
    ASSERT_EQ(capture.events.size(), 6u);
    EXPECT_FALSE(std::filesystem::exists(log.Folder())) << "the day file was written with Log off";

    EXPECT_EQ(capture.events[1].kind, static_cast<unsigned>(IDS_RESTART_PROGRAM));
    EXPECT_EQ(capture.events[1].arguments, (std::vector<std::string>{"3", kiosk}));
    for (const LoggedEvent& event : capture.events) {
        EXPECT_EQ(AsEventViewerShowsIt(event), WidenText(event.text, 1251)) << "kind " << event.kind;
    }

    // Every kind sent to the Windows event log has its text in the table.
    for (const LogEventKind& kind : LogEventKinds()) {
        if (kind.reach != LogReach::WindowsLog) continue;
        wchar_t text[2048];
        EXPECT_GT(::FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   ::GetModuleHandleW(nullptr), kind.id, 0, text, 2048, nullptr),
                  0u)
            << "no message for kind " << kind.id;
    }
}

TEST(FleetOutputs, TheEventSourceIsRegisteredWithItsMessageFileAndRemovedWhole) {
    const std::wstring path = L"C:\\Program Files\\Marotel\\ZedevUdo Server\\mrwd.exe";
    ASSERT_TRUE(InstallEventSource(path));
    wchar_t file[MAX_PATH] = {};
    DWORD size = sizeof file, type = 0, types = 0, typesSize = sizeof types;
    EXPECT_EQ(::RegGetValueW(HKEY_LOCAL_MACHINE, kEventSourceKey, L"EventMessageFile", RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                             &type, file, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(std::wstring(file), path);
    EXPECT_EQ(::RegGetValueW(HKEY_LOCAL_MACHINE, kEventSourceKey, L"TypesSupported", RRF_RT_REG_DWORD, nullptr, &types,
                             &typesSize),
              ERROR_SUCCESS);
    EXPECT_EQ(types, 7u);

    ASSERT_TRUE(RemoveEventSource());
    UniqueRegKey key;
    EXPECT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEventSourceKey, 0, KEY_READ, key.put()), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(RemoveEventSource()) << "a second removal is no failure";
}

TEST(FleetOutputs, TheMetricsFileIsReplacedWholeAndItsFolderMade) {
    const std::string folder = testing::FreshTestFolder("fleet-metrics-") + "\\textfile";
    ASSERT_TRUE(ReplaceMetricsFile(folder, "mrwd_up 1\n"));
    ASSERT_TRUE(ReplaceMetricsFile(folder, "mrwd_up 1\nmrwd_supervision_on 0\n"));
    EXPECT_EQ(testing::ReadWholeFile(folder + "\\mrwd.prom"), "mrwd_up 1\nmrwd_supervision_on 0\n");
    EXPECT_FALSE(std::filesystem::exists(folder + "\\mrwd.prom.tmp"));
    EXPECT_FALSE(ReplaceMetricsFile("Q:\\no such drive", "mrwd_up 1\n"));
}

}  // namespace
}  // namespace mrwd
