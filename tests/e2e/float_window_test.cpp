// The float window of the real mrwd.exe on a real window system (Xvfb): what
// the screen shows, where the window may go and stays, and what clicks do.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "supervision/win/module_store.h"
#include "tests/harness/pictures.h"
#include "tests/harness/win_harness.h"
#include "ui/win/float_window.h"

namespace mrwd::testing {
namespace {

const char kLoaded[] = "Watchdog сервер загружен.";
const char kUnloaded[] = "Watchdog сервер выгружен.";
constexpr UINT kSwitchOn = 40002;
constexpr UINT kSwitchOff = 40003;

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

HWND VisibleFloatWindow() {
    HWND window = ::FindWindowW(kFloatWindowClass, nullptr);
    return window != nullptr && ::IsWindowVisible(window) ? window : nullptr;
}

RECT RectOf(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return rect;
}

Box WorkArea() {
    RECT r;
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    return Box{r.left, r.top, r.right, r.bottom};
}

// A click as the user makes it: the pointer over the window's middle, the
// button pressed and released (twice, quickly, for a double click).
void Click(HWND window, bool right, int times) {
    const RECT rect = RectOf(window);
    ::SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    std::vector<INPUT> inputs;
    for (int i = 0; i < times; ++i) {
        for (DWORD flag : {right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN,
                           right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP}) {
            INPUT input{};
            input.type = INPUT_MOUSE;
            input.mi.dwFlags = flag;
            inputs.push_back(input);
        }
    }
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

class FloatWindowE2e : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(LoadFloatPictures(pictures_, TestProgramFolder() + "mrwd.exe")); }

    ChildProcess& StartServer() {
        ChildProcess& server = sandbox_.Start("");
        EXPECT_TRUE(sandbox_.WaitForLog(kLoaded));
        mainWindow_ = WaitForServerWindow();
        EXPECT_TRUE(WaitUntil([&] { return (float_ = VisibleFloatWindow()) != nullptr; }, kDeadlineMs));
        return server;
    }
    // Ends the run, the `run`th of the test.
    void Unload(ChildProcess& server, int run = 1) {
        ::PostMessageA(mainWindow_, WM_CLOSE, 0, 0);
        ASSERT_TRUE(server.WaitForExit(kDeadlineMs));
        EXPECT_EQ(sandbox_.CountInLog(kUnloaded), run);
    }
    // The screen shows `frame` where the window is (waits for it).
    bool ScreenShows(const CRaster& frame) {
        return WaitUntil([&] { return ShowsFrame(frame, ReadWindowFromScreen(float_)); }, kDeadlineMs);
    }
    bool ScreenShowsAnyOf(const CRasterSet& picture) {
        return WaitUntil([&] { return !MatchingFrames(picture, ReadWindowFromScreen(float_)).empty(); },
                         kDeadlineMs);
    }
    // Watches the animation for at least two seconds, until `distinct`
    // different pictures have been seen: every look must show a frame of the
    // "on" picture, each change one to three frames further on in its turn
    // (a busy test machine may miss a frame between two looks).
    void ExpectTheOnAnimation(int distinct) {
        std::vector<Pixels> seen;
        std::vector<int> previous;
        const DWORD start = ::GetTickCount();
        while (::GetTickCount() - start < 2000 || static_cast<int>(seen.size()) < distinct) {
            ASSERT_LT(::GetTickCount() - start, kDeadlineMs) << "saw only " << seen.size() << " pictures";
            Pixels shown = ReadWindowFromScreen(float_);
            std::vector<int> frames = MatchingFrames(pictures_.on, shown);
            if (frames.empty()) {  // read while the window was being drawn: look again
                shown = ReadWindowFromScreen(float_);
                frames = MatchingFrames(pictures_.on, shown);
            }
            ASSERT_FALSE(frames.empty()) << "the window shows no frame of the on picture";
            if (!previous.empty() && frames != previous) {
                bool forward = false;
                for (int from : previous) {
                    for (int to : frames) forward = forward || ((to - from + 8) % 8 >= 1 && (to - from + 8) % 8 <= 3);
                }
                EXPECT_TRUE(forward) << "from frame " << previous[0] << " to " << frames[0];
            }
            previous = frames;
            bool known = false;
            for (const Pixels& p : seen) known = known || p.values == shown.values;
            if (!known) seen.push_back(shown);
            ::Sleep(100);
        }
    }

    CleanSettings clean_;
    ServerSandbox sandbox_{TestName()};
    FloatPictures pictures_;
    HWND mainWindow_ = nullptr;
    HWND float_ = nullptr;
};

TEST_F(FloatWindowE2e, FirstStartShowsTheAnimatedTopmostPictureAndFollowsTheSwitch) {
    ChildProcess& server = StartServer();
    ASSERT_NE(float_, nullptr);  // found by its class
    // Class and styles are checked in-process (tests/win); here that the
    // server made it, for its main window, at the size of its pictures.
    EXPECT_EQ(::GetWindow(float_, GW_OWNER), mainWindow_);
    EXPECT_TRUE(::GetWindowLongPtrW(float_, GWL_EXSTYLE) & WS_EX_TOPMOST);
    const RECT rect = RectOf(float_);
    EXPECT_EQ(rect.right - rect.left, 60);
    EXPECT_EQ(rect.bottom - rect.top, 60);
    // The first start switches the window on for good.
    DWORD stored = 0;
    EXPECT_TRUE(RegistryReadDword(HKEY_CURRENT_USER, "FloatWindow", &stored));
    EXPECT_EQ(stored, 1u);

    ExpectTheOnAnimation(4);
    ::PostMessageA(mainWindow_, WM_COMMAND, kSwitchOff, 0);
    EXPECT_TRUE(ScreenShows(*pictures_.off.Frame(0)));
    ::PostMessageA(mainWindow_, WM_COMMAND, kSwitchOn, 0);
    EXPECT_TRUE(ScreenShowsAnyOf(pictures_.on));
    Unload(server);
}

TEST_F(FloatWindowE2e, StaysHiddenWhenSwitchedOffOnceAProgramHasSpokenTheAliveProtocol) {
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "FloatWindow", 0));
    ModuleEntry entry = RegisteredEntry(10000);  // has sent alive messages before
    entry.ControlEnabled = 0;                    // and is not to be started here
    ASSERT_TRUE(ModuleStore(HKEY_CURRENT_USER).Store(sandbox_.Folder() + "spoke.exe", entry));
    ChildProcess& server = sandbox_.Start("");
    ASSERT_TRUE(sandbox_.WaitForLog(kLoaded));
    mainWindow_ = WaitForServerWindow();
    ASSERT_NE(mainWindow_, nullptr);
    // The engine makes its reboot marker once it runs, and it is started
    // after the float window was made and shown or not.
    ASSERT_TRUE(WaitUntil([&] { return ::GetFileAttributesA(sandbox_.MarkerPath().c_str()) != INVALID_FILE_ATTRIBUTES; },
                          kDeadlineMs));
    HWND window = ::FindWindowW(kFloatWindowClass, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(::IsWindowVisible(window));
    DWORD stored = 1;
    EXPECT_TRUE(RegistryReadDword(HKEY_CURRENT_USER, "FloatWindow", &stored));
    EXPECT_EQ(stored, 0u);
    Unload(server);
}

TEST_F(FloatWindowE2e, AMoveOffTheWorkAreaStopsAtItsEdgeAndTheServerStartsThereNextTime) {
    ChildProcess& first = StartServer();
    ASSERT_NE(float_, nullptr);
    const Box work = WorkArea();
    // Partly off the right edge and below the bottom.
    ::SetWindowPos(float_, nullptr, work.right - 20, work.bottom + 100, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    const long wantX = work.right - 60;
    const long wantY = work.bottom - 60;
    EXPECT_TRUE(WaitUntil([&] { return RectOf(float_).left == wantX && RectOf(float_).top == wantY; }, kDeadlineMs))
        << RectOf(float_).left << "," << RectOf(float_).top;
    Unload(first);
    DWORD x = 0;
    DWORD y = 0;
    ASSERT_TRUE(RegistryReadDword(HKEY_CURRENT_USER, "FWX", &x));
    ASSERT_TRUE(RegistryReadDword(HKEY_CURRENT_USER, "FWY", &y));
    EXPECT_EQ(static_cast<long>(x), wantX);
    EXPECT_EQ(static_cast<long>(y), wantY);

    ChildProcess& second = StartServer();
    ASSERT_NE(float_, nullptr);
    EXPECT_EQ(RectOf(float_).left, wantX);
    EXPECT_EQ(RectOf(float_).top, wantY);
    Unload(second, 2);
}

TEST_F(FloatWindowE2e, DoubleClickSwitchesSupervisionOffAndOnAgain) {
    ChildProcess& server = StartServer();
    ASSERT_NE(float_, nullptr);
    // A program that speaks the alive protocol: a double click then switches.
    const std::string app = sandbox_.AddProgram("registers.exe");
    ChildProcess& program = sandbox_.StartProgram(app, "--interval 30");
    const std::string pid = std::to_string(program.Id());
    ASSERT_TRUE(sandbox_.WaitForLog("Зарегистрировался для контроля процесс " + pid));
    const std::string controlBegun = "Начат контроль процесса " + pid;
    EXPECT_EQ(sandbox_.CountInLog(controlBegun), 0);

    Click(float_, false, 2);
    EXPECT_TRUE(ScreenShows(*pictures_.off.Frame(0)));
    // Switched on again, the engine forgets its processes and finds the
    // running program anew: only possible after a real switch off.
    ::Sleep(::GetDoubleClickTime() + 100);  // two double clicks, not one quadruple click
    Click(float_, false, 2);
    EXPECT_TRUE(ScreenShowsAnyOf(pictures_.on));
    EXPECT_TRUE(sandbox_.WaitForLog(controlBegun)) << sandbox_.Log();
    Unload(server);
}

TEST_F(FloatWindowE2e, AfterAHardwareRebootTheRebootPictureStaysUntilClicked) {
    // The marker of a run that never ended in order.
    { std::ofstream(sandbox_.MarkerPath()); }
    ChildProcess& server = StartServer();
    ASSERT_NE(float_, nullptr);
    ASSERT_TRUE(ScreenShows(*pictures_.reboot.Frame(0)));
    // It stays: the animation would have moved on within these looks.
    for (int look = 0; look < 15; ++look) {
        ::Sleep(100);
        EXPECT_TRUE(ShowsFrame(*pictures_.reboot.Frame(0), ReadWindowFromScreen(float_))) << "look " << look;
    }
    Click(float_, false, 1);
    // Supervision was on all the while: the on picture, animated.
    EXPECT_TRUE(ScreenShowsAnyOf(pictures_.on));
    ExpectTheOnAnimation(3);
    Unload(server);
}

}  // namespace
}  // namespace mrwd::testing
