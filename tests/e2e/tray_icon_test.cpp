// The tray icon of the real mrwd.exe, on a real window system (Xvfb).
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstring>

#include "supervision/core/module_entry.h"
#include "supervision/win/module_store.h"
#include "tests/harness/win_harness.h"

namespace mrwd::testing {
namespace {

const char kLoaded[] = "Watchdog сервер загружен.";

// Sends the shell a request about the server's icon (owner window, id 1).
bool NotifyAboutServerIcon(HWND owner, DWORD operation) {
    NOTIFYICONDATAA data;
    std::memset(&data, 0, sizeof data);
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = owner;
    data.uID = 1;
    return ::Shell_NotifyIconA(operation, &data) != FALSE;
}

// Modifying an icon succeeds only while it exists, whoever asks.
bool TrayIconExists(HWND owner) { return NotifyAboutServerIcon(owner, NIM_MODIFY); }
bool RemoveTrayIcon(HWND owner) { return NotifyAboutServerIcon(owner, NIM_DELETE); }

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

TEST(TrayIcon, RecordIsTheFirstVersionSizeOfThisPlatform) {
    EXPECT_EQ(NOTIFYICONDATAA_V1_SIZE, sizeof(void*) == 8 ? 104u : 88u);
}

TEST(TrayIcon, IsShownAndComesBackWithinASecondAfterTheTaskbarLostIt) {
    CleanSettings clean;
    ServerSandbox sandbox(TestName());
    ChildProcess& server = sandbox.Start("");
    ASSERT_TRUE(sandbox.WaitForLog(kLoaded));
    HWND window = WaitForServerWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return TrayIconExists(window); }, kDeadlineMs));

    // What a re-created taskbar looks like to the program: its icon is gone.
    // (Whether the next timer tick comes before the next look is chance, so
    // only its return is checked.)
    ASSERT_TRUE(RemoveTrayIcon(window));
    EXPECT_TRUE(WaitUntil([&] { return TrayIconExists(window); }, 5000));

    ::PostMessageA(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(server.WaitForExit(kDeadlineMs));
    EXPECT_FALSE(TrayIconExists(window));
}

TEST(TrayIcon, IsNeverAddedWhenSwitchedOff) {
    CleanSettings clean;
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "Icon", 0));
    ServerSandbox sandbox(TestName());
    ChildProcess& server = sandbox.Start("");
    ASSERT_TRUE(sandbox.WaitForLog(kLoaded));
    HWND window = WaitForServerWindow();
    ASSERT_NE(window, nullptr);
    // Three timer periods: the icon would have been put back by now.
    const bool appeared = WaitUntil([&] { return TrayIconExists(window); }, 3000);
    EXPECT_FALSE(appeared);
    if (appeared) RemoveTrayIcon(window);
    ::PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(server.WaitForExit(kDeadlineMs));
}

// A right click opens the tray menu on the server's own thread.
TEST(TrayIcon, RightClickMenuCanUnloadTheServer) {
    CleanSettings clean;
    ServerSandbox sandbox(TestName());
    ChildProcess& server = sandbox.Start("");
    ASSERT_TRUE(sandbox.WaitForLog(kLoaded));
    HWND window = WaitForServerWindow();
    ASSERT_NE(window, nullptr);

    ::PostMessageA(window, WM_USER + 2, 1, WM_RBUTTONUP);
    HWND menuWindow = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (menuWindow = ::FindWindowA("#32768", nullptr)) != nullptr &&
                                       ::IsWindowVisible(menuWindow); },
                          kDeadlineMs));
    EXPECT_EQ(::GetWindowThreadProcessId(menuWindow, nullptr), ::GetWindowThreadProcessId(window, nullptr));

    // From no selection, "up" lands on the last item, "&Выгрузить".
    ::PostMessageA(menuWindow, WM_KEYDOWN, VK_UP, 0);
    ::PostMessageA(menuWindow, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(server.WaitForExit(kDeadlineMs));
    EXPECT_EQ(sandbox.CountInLog("Watchdog сервер выгружен."), 1);
}

// "/k" on a window system, where removing the tray icon takes a while: from
// the unload's log line on, nothing is started or put under control any more.
TEST(TrayIcon, UnloadBeginsNothingAfterItsLogLine) {
    CleanSettings clean;
    ServerSandbox sandbox(TestName());
    // A program that dies a moment after each start keeps the engine starting it.
    ModuleEntry entry = RegisteredEntry(10000);
    entry.Parameters = "--exit-after 100 --exit silent";
    ASSERT_TRUE(ModuleStore(HKEY_CURRENT_USER).Store(sandbox.AddProgram("dies.exe"), entry));
    ChildProcess& server = sandbox.Start("");
    ASSERT_TRUE(sandbox.WaitForLog(kLoaded));
    HWND window = WaitForServerWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return TrayIconExists(window); }, kDeadlineMs));
    ASSERT_TRUE(sandbox.WaitForLog("Начат контроль процесса", 3));

    EXPECT_EQ(sandbox.Run("/k"), 0u);
    ASSERT_TRUE(server.WaitForExit(kDeadlineMs));
    const std::string log = sandbox.Log();
    const size_t unload = log.find("Выгрузка Watchdog Server из памяти...");
    ASSERT_NE(unload, std::string::npos);
    EXPECT_EQ(log.find("Начат контроль процесса", unload), std::string::npos) << log.substr(unload);
}

}  // namespace
}  // namespace mrwd::testing
