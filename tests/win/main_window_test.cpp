// The main window's procedure, driven inside this test program.
#include "app/win/main_window.h"

#include <gtest/gtest.h>

#include <thread>
#include <utility>
#include <vector>

#include "base/win/center_window.h"
#include "app/win/server_process.h"
#include "app/win/tray_icon.h"
#include "base/win/texts.h"
#include "resources/resource_ids.h"
#include "tests/harness/win_harness.h"

namespace mrwd {
namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        Server().instance = ::GetModuleHandleA(nullptr);
        Server().settings.Icon = 0;  // no tray here: the null display driver has none
        Server().supervisionSwitch.Set(false);
        window_ = CreateMainWindow(Server().instance);
        ASSERT_NE(window_, nullptr);
        Server().mainWindow = window_;
    }
    void TearDown() override {
        if (::IsWindow(window_)) ::DestroyWindow(window_);
        Server().mainWindow = nullptr;
        // Drop the WM_QUIT the destruction posted, so the next test starts clean.
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    LRESULT Command(UINT id) { return ::SendMessageA(window_, WM_COMMAND, id, 0); }

    HWND window_ = nullptr;
};

TEST_F(MainWindowTest, IsAHiddenWindowOfTheServerClass) {
    char text[64] = {};
    ::GetClassNameA(window_, text, sizeof text);
    EXPECT_STREQ(text, kServerName);
    ::GetWindowTextA(window_, text, sizeof text);
    EXPECT_STREQ(text, kServerName);
    EXPECT_FALSE(::IsWindowVisible(window_));
    EXPECT_EQ(::FindWindowA(kServerName, nullptr), window_);
}

TEST_F(MainWindowTest, TimerTicksEverySecond) {
    MSG message;
    const bool ticked = testing::WaitUntil(
        [&] { return ::PeekMessageA(&message, window_, WM_TIMER, WM_TIMER, PM_REMOVE) != FALSE; }, 5000);
    ASSERT_TRUE(ticked);
    EXPECT_EQ(message.wParam, kTrayTimerId);
}

TEST_F(MainWindowTest, SwitchItemsOnlyChangeTheStateTheyName) {
    Command(IDM_SWITCH_ON);
    EXPECT_EQ(Server().supervisionSwitch.On(), 1);
    Command(IDM_SWITCH_ON);  // already on: nothing happens
    EXPECT_EQ(Server().supervisionSwitch.On(), 1);
    Command(IDM_SWITCH_OFF);
    EXPECT_EQ(Server().supervisionSwitch.On(), 0);
    Command(IDM_SWITCH_OFF);
    EXPECT_EQ(Server().supervisionSwitch.On(), 0);
}

// Supervision goes off when Windows asks whether the session may end; when
// another program vetoes the end, it comes back as it was before the query.
TEST_F(MainWindowTest, EndOfSessionQuerySwitchesOffAndAVetoPutsTheSwitchBack) {
    for (bool before : {true, false}) {
        SCOPED_TRACE(before ? "on before the query" : "off before the query");
        Server().supervisionSwitch.Set(before);
        EXPECT_EQ(::SendMessageA(window_, WM_QUERYENDSESSION, 0, 0), TRUE);
        EXPECT_FALSE(Server().supervisionSwitch.On());
        EXPECT_EQ(::SendMessageA(window_, WM_QUERYENDSESSION, 0, 0), TRUE);  // asked twice: still the first state kept
        ::SendMessageA(window_, WM_ENDSESSION, FALSE, 0);
        EXPECT_EQ(Server().supervisionSwitch.On(), before);
        EXPECT_TRUE(::IsWindow(window_));
    }
}

// The reboot sequence and the service's stop move the switch on their own
// threads: it moves at once, and the float window follows only on the main
// window's thread, through the one report route.
TEST_F(MainWindowTest, AWorkersSwitchReachesTheFloatWindowOnTheMainWindowsThread) {
    ServerProcess& server = Server();
    server.uiEvents.AttachWindow(window_);
    server.floatWindow = std::make_unique<CFloatWindow>(server.instance, window_, server.floatWindowHost, kTrayMessage);
    ASSERT_TRUE(server.floatWindow->IsCreated());
    const auto shown = [&] { return static_cast<FloatState>(server.floatWindow->Model().State()); };
    server.floatWindow->SetState(FloatState::Off);
    for (bool on : {true, false}) {
        SCOPED_TRACE(on ? "on" : "off");
        std::thread([on] { Server().supervisionSwitch.SetFromAnyThread(on); }).join();
        EXPECT_EQ(server.supervisionSwitch.On(), on);
        EXPECT_NE(shown(), on ? FloatState::On : FloatState::Off) << "no window touched from the worker";
        EXPECT_TRUE(testing::PumpMessagesUntil([&] { return shown() == (on ? FloatState::On : FloatState::Off); }, 5000));
    }
    server.floatWindow.reset();
    server.uiEvents.AttachWindow(nullptr);
}

TEST_F(MainWindowTest, UnloadItemDestroysTheWindowAndEndsTheLoop) {
    Command(IDM_UNLOAD);
    EXPECT_FALSE(::IsWindow(window_));
    MSG message;
    ASSERT_TRUE(::PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 0u);
}

TEST_F(MainWindowTest, CloseDestroysTheWindow) {
    ::SendMessageA(window_, WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindow(window_));
}

TEST_F(MainWindowTest, RegisteredMessagesAreAnsweredWithZero) {
    Server().aliveMessage = ::RegisterWindowMessageA(MRWD_ALIVE_MESSAGE);
    Server().modemResetMessage = ::RegisterWindowMessageA(MRWD_MODEM_RESET_MESSAGE);
    EXPECT_EQ(::SendMessageA(window_, Server().aliveMessage, 10, ::GetCurrentProcessId()), 0);
    EXPECT_EQ(::SendMessageA(window_, Server().modemResetMessage, 1, 2), 0);
    EXPECT_TRUE(::IsWindow(window_));
}

// What the filter was asked to let through, and for which window.
std::vector<std::pair<HWND, UINT>> filterRequests;

BOOL WINAPI RecordFilterRequest(HWND window, UINT message, DWORD action, void*) {
    if (action == 1) filterRequests.emplace_back(window, message);  // MSGFLT_ALLOW
    return TRUE;
}

TEST_F(MainWindowTest, MessagesOfOtherProgramsAreLetThroughTheFilter) {
    Server().aliveMessage = ::RegisterWindowMessageA(MRWD_ALIVE_MESSAGE);
    Server().modemResetMessage = ::RegisterWindowMessageA(MRWD_MODEM_RESET_MESSAGE);
    filterRequests.clear();
    EXPECT_TRUE(LetProgramsReachMainWindow(window_, RecordFilterRequest));
    const std::vector<std::pair<HWND, UINT>> expected = {
        {window_, Server().aliveMessage}, {window_, Server().modemResetMessage}, {window_, WM_USER + 1}};
    EXPECT_EQ(filterRequests, expected);
    EXPECT_FALSE(LetProgramsReachMainWindow(window_, nullptr)) << "a system without the filter";

    // The system's own filter, where there is one, and the messages still arrive.
    if (MessageFilterFn system = SystemMessageFilter()) EXPECT_TRUE(LetProgramsReachMainWindow(window_, system));
    for (UINT message : {Server().aliveMessage, Server().modemResetMessage, UINT{WM_USER + 1}}) {
        ASSERT_TRUE(::PostMessageA(window_, message, 0, 0));
        MSG got;
        EXPECT_TRUE(::PeekMessageA(&got, window_, message, message, PM_REMOVE)) << message;
    }
}

TEST(TrayMenu, EnablesExactlyTheSwitchThatChangesTheState) {
    Server().instance = ::GetModuleHandleA(nullptr);
    for (bool on : {true, false}) {
        UniqueMenu menu = LoadTrayMenu(on);
        ASSERT_TRUE(menu.valid());
        const bool onGrayed = ::GetMenuState(menu.get(), IDM_SWITCH_ON, MF_BYCOMMAND) & MF_GRAYED;
        const bool offGrayed = ::GetMenuState(menu.get(), IDM_SWITCH_OFF, MF_BYCOMMAND) & MF_GRAYED;
        EXPECT_EQ(onGrayed, on) << "supervision " << (on ? "on" : "off");
        EXPECT_EQ(offGrayed, !on) << "supervision " << (on ? "on" : "off");
        EXPECT_FALSE(::GetMenuState(menu.get(), IDM_UNLOAD, MF_BYCOMMAND) & MF_GRAYED);
    }
}

// Also run under code page 1252: the tip is Russian text on screen too.
TEST(TrayIcon, ScreenTextsReadRightInAnyCodePage) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    EXPECT_STREQ(TrayIconRecord(nullptr, instance, true).szTip, L"Marotel ZedevUdo Server - включен");
    EXPECT_STREQ(TrayIconRecord(nullptr, instance, false).szTip, L"Marotel ZedevUdo Server - выключен");
}

TEST(CenterWindow, KeepsAPopupCentredInsideTheWorkArea) {
    HWND popup = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                                   ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(popup, nullptr);
    RECT work;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    CenterWindow(popup, nullptr);
    RECT r;
    ::GetWindowRect(popup, &r);
    EXPECT_EQ(r.right - r.left, 200);
    EXPECT_EQ(r.left, (work.left + work.right) / 2 - 100);
    EXPECT_EQ(r.top, (work.top + work.bottom) / 2 - 50);
    ::DestroyWindow(popup);
}

TEST(CenterWindow, CentresAChildInItsParentsClientArea) {
    HWND parent = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 50, 50, 400, 300, nullptr, nullptr,
                                    ::GetModuleHandleA(nullptr), nullptr);
    HWND child = ::CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 100, 60, parent, nullptr,
                                   ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(child, nullptr);
    CenterWindow(child, nullptr);
    RECT r;
    ::GetWindowRect(child, &r);
    POINT topLeft = {r.left, r.top};
    ::ScreenToClient(parent, &topLeft);
    RECT client;
    ::GetClientRect(parent, &client);
    EXPECT_EQ(topLeft.x, client.right / 2 - 50);
    EXPECT_EQ(topLeft.y, client.bottom / 2 - 30);
    ::DestroyWindow(parent);
}

}  // namespace
}  // namespace mrwd
