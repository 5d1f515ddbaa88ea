// The float window in this test's own process, on an X display (Xvfb): its
// pictures read back from the window, its moves, clicks and resources.
#include "ui/win/float_window.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/win/settings_store.h"
#include "resources/resource_ids.h"
#include "tests/harness/pictures.h"
#include "tests/harness/win_harness.h"

namespace mrwd {
namespace {

using testing::FloatPictures;
using testing::Pixels;

constexpr UINT kTrayNotify = WM_USER + 2;

class FakeHost final : public FloatWindowHost {
public:
    bool SupervisionOn() const override { return supervisionOn; }
    bool AnyProgramAliveSeen() const override { return aliveSeen; }
    void OpenMakerPage(HWND owner) override { pageOwners.push_back(owner); }
    void SwitchSupervision(bool on) override { switches.push_back(on); }

    bool supervisionOn = true;
    bool aliveSeen = true;
    std::vector<HWND> pageOwners;
    std::vector<bool> switches;
};

// What reached the stand-in for the main window.
struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Received> g_received;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND || message == kTrayNotify) {
        g_received.push_back(Received{message, wParam, lParam});
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateStandInMainWindow() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = RecordingProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"FloatWindowTestOwner";
    ::RegisterClassW(&windowClass);
    return ::CreateWindowExW(0, L"FloatWindowTestOwner", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
}

void DeliverPosted() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
}

Box WorkArea() {
    RECT r;
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    return Box{r.left, r.top, r.right, r.bottom};
}

class FloatWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testing::LoadFloatPictures(pictures_));
        owner_ = CreateStandInMainWindow();
        ASSERT_NE(owner_, nullptr);
        window_ = std::make_unique<CFloatWindow>(::GetModuleHandleW(nullptr), owner_, host_, kTrayNotify);
        ASSERT_TRUE(window_->IsCreated());
        g_received.clear();
    }
    void TearDown() override {
        window_.reset();
        if (::IsWindow(owner_)) ::DestroyWindow(owner_);
        DeliverPosted();
    }

    HWND Float() const { return window_->Window(); }
    // The window's own pixels, as its device context gives them back.
    Pixels Shown() const {
        HDC dc = ::GetDC(Float());
        Pixels p = testing::ReadPixels(dc, 0, 0, 60, 60);
        ::ReleaseDC(Float(), dc);
        return p;
    }
    bool TimerRuns() const {
        // Killing a timer that is not there fails; one that is is started again.
        if (!::KillTimer(Float(), kFloatAnimationTimerId)) return false;
        ::SetTimer(Float(), kFloatAnimationTimerId, kFloatFramePeriodMs, nullptr);
        return true;
    }
    // The posted system move a left button press starts, taken off the queue
    // so that no move loop waits for a button that is never released.
    bool TakeSystemMove(MSG& move) {
        return ::PeekMessageW(&move, Float(), WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE) != FALSE;
    }

    FloatPictures pictures_;
    FakeHost host_;
    HWND owner_ = nullptr;
    std::unique_ptr<CFloatWindow> window_;
};

TEST_F(FloatWindowTest, IsAHiddenTopmostToolPopupOfTheFirstOnFrameSizeOwnedByTheMainWindow) {
    wchar_t name[64] = {};
    ::GetClassNameW(Float(), name, 64);
    EXPECT_STREQ(name, kFloatWindowClass);
    EXPECT_TRUE(::GetClassLongPtrW(Float(), GCL_STYLE) & CS_DBLCLKS);
    EXPECT_EQ(::GetClassLongPtrW(Float(), GCLP_HBRBACKGROUND), 0);
    EXPECT_EQ(::GetWindow(Float(), GW_OWNER), owner_);
    const LONG_PTR style = ::GetWindowLongPtrW(Float(), GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME));
    const LONG_PTR exStyle = ::GetWindowLongPtrW(Float(), GWL_EXSTYLE);
    EXPECT_EQ(exStyle & (WS_EX_TOOLWINDOW | WS_EX_TOPMOST), WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
    RECT rect;
    ::GetWindowRect(Float(), &rect);
    EXPECT_EQ(rect.right - rect.left, pictures_.on.Frame(0)->Width());
    EXPECT_EQ(rect.bottom - rect.top, pictures_.on.Frame(0)->Height());
    EXPECT_FALSE(::IsWindowVisible(Float()));
    window_->Show();
    EXPECT_TRUE(::IsWindowVisible(Float()));
    window_->Hide();
    EXPECT_FALSE(::IsWindowVisible(Float()));
}

TEST_F(FloatWindowTest, ShowsTheDecodedFrameOfEachStateAndAnimatesOnlyTheOnPicture) {
    window_->Show();
    window_->SetState(FloatState::Off);
    EXPECT_TRUE(testing::ShowsFrame(*pictures_.off.Frame(0), Shown()));
    EXPECT_FALSE(TimerRuns());
    window_->SetState(FloatState::HardwareReboot);
    EXPECT_TRUE(testing::ShowsFrame(*pictures_.reboot.Frame(0), Shown()));
    EXPECT_FALSE(TimerRuns());

    window_->SetState(FloatState::On);
    EXPECT_TRUE(TimerRuns());
    // Every tick shows the next frame, all eight and round again.
    for (int tick = 0; tick <= 9; ++tick) {
        EXPECT_TRUE(testing::ShowsFrame(*pictures_.on.Frame(tick % 8), Shown())) << "tick " << tick;
        ::SendMessageW(Float(), WM_TIMER, kFloatAnimationTimerId, 0);
    }
    // A new state starts from the first frame.
    window_->SetState(FloatState::On);
    EXPECT_TRUE(testing::ShowsFrame(*pictures_.on.Frame(0), Shown()));
    window_->SetState(FloatState::Off);
    EXPECT_FALSE(TimerRuns());
    EXPECT_TRUE(testing::ShowsFrame(*pictures_.off.Frame(0), Shown()));
}

TEST_F(FloatWindowTest, MovesStopAtTheWorkAreaAndTheClampedPositionIsStoredAndLoaded) {
    testing::CleanSettings clean;
    const Box work = WorkArea();
    // Dragged partly off the left and the bottom edge, with the size in the move.
    ::SetWindowPos(Float(), nullptr, work.left - 25, work.bottom - 20, 60, 60, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT rect;
    ::GetWindowRect(Float(), &rect);
    EXPECT_EQ(rect.left, work.left);
    EXPECT_EQ(rect.top, work.bottom - 60);
    // Far off the right and the top, moved without a size.
    ::SetWindowPos(Float(), nullptr, work.right + 500, work.top - 500, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ::GetWindowRect(Float(), &rect);
    EXPECT_EQ(rect.left, work.right - 60);
    EXPECT_EQ(rect.top, work.top);
    EXPECT_EQ(window_->KeptPosition().x, rect.left);
    EXPECT_EQ(window_->KeptPosition().y, rect.top);

    ASSERT_TRUE(window_->SavePosition(kSettingsKey, false));
    DWORD x = 0;
    DWORD y = 0;
    ASSERT_TRUE(testing::RegistryReadDword(HKEY_CURRENT_USER, "FWX", &x));
    ASSERT_TRUE(testing::RegistryReadDword(HKEY_CURRENT_USER, "FWY", &y));
    EXPECT_EQ(static_cast<long>(x), rect.left);
    EXPECT_EQ(static_cast<long>(y), rect.top);

    // A stored position off the screen (another display layout) is clamped on loading.
    ASSERT_TRUE(testing::RegistryWriteDword(HKEY_CURRENT_USER, "FWX", static_cast<DWORD>(-300)));
    CFloatWindow second(::GetModuleHandleW(nullptr), owner_, host_, kTrayNotify);
    second.LoadPosition(kSettingsKey, false);
    ::GetWindowRect(second.Window(), &rect);
    EXPECT_EQ(rect.left, work.left);
    EXPECT_EQ(rect.top, static_cast<long>(y));
}

TEST_F(FloatWindowTest, FirstClickOnTheRebootPictureShowsTheStateWithoutSwitchingSupervision) {
    window_->Show();
    for (bool on : {true, false}) {
        host_.supervisionOn = on;
        window_->SetState(FloatState::HardwareReboot);
        ::SendMessageW(Float(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 20));
        EXPECT_EQ(window_->Model().State(), static_cast<int>(on ? FloatState::On : FloatState::Off));
        const CRasterSet& expected = on ? pictures_.on : pictures_.off;
        EXPECT_TRUE(testing::ShowsFrame(*expected.Frame(0), Shown()));
        // The press also starts dragging: the system move, at the cursor on the screen.
        MSG move;
        ASSERT_TRUE(TakeSystemMove(move));
        EXPECT_EQ(move.wParam, static_cast<WPARAM>(HTCAPTION));
        POINT at{10, 20};
        ::ClientToScreen(Float(), &at);
        EXPECT_EQ(move.lParam, MAKELPARAM(at.x, at.y));
    }
    // A press on any other picture only drags.
    window_->SetState(FloatState::On);
    ::SendMessageW(Float(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
    MSG move;
    EXPECT_TRUE(TakeSystemMove(move));
    EXPECT_EQ(window_->Model().State(), static_cast<int>(FloatState::On));
    DeliverPosted();
    EXPECT_TRUE(g_received.empty());
}

TEST_F(FloatWindowTest, RightClickAsksTheMainWindowForTheTrayMenu) {
    host_.supervisionOn = true;
    window_->SetState(FloatState::HardwareReboot);
    ::SendMessageW(Float(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(window_->Model().State(), static_cast<int>(FloatState::On));
    DeliverPosted();
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(g_received[0].message, kTrayNotify);
    EXPECT_EQ(g_received[0].wParam, static_cast<WPARAM>(MK_RBUTTON));
    EXPECT_EQ(g_received[0].lParam, WM_RBUTTONUP);
}

TEST_F(FloatWindowTest, DoubleClickSwitchesThroughTheServerOrOpensTheMakersPage) {
    host_.aliveSeen = true;
    window_->SetState(FloatState::On);
    ::SendMessageW(Float(), WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
    EXPECT_EQ(window_->Model().State(), static_cast<int>(FloatState::Off));
    ::SendMessageW(Float(), WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
    EXPECT_EQ(window_->Model().State(), static_cast<int>(FloatState::On));
    // From the reboot picture: first back to "on", then switched off.
    window_->SetState(FloatState::HardwareReboot);
    ::SendMessageW(Float(), WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
    EXPECT_EQ(window_->Model().State(), static_cast<int>(FloatState::Off));
    EXPECT_EQ(host_.switches, (std::vector<bool>{false, true, false}));
    DeliverPosted();
    EXPECT_TRUE(g_received.empty()) << "the main window is not asked";
    EXPECT_TRUE(host_.pageOwners.empty());

    // No program has ever spoken the protocol: the page, and supervision stays.
    g_received.clear();
    host_.aliveSeen = false;
    ::SendMessageW(Float(), WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
    DeliverPosted();
    EXPECT_TRUE(g_received.empty());
    EXPECT_EQ(window_->Model().State(), static_cast<int>(FloatState::Off));
    EXPECT_EQ(host_.pageOwners, std::vector<HWND>{owner_});
}

TEST_F(FloatWindowTest, TheOwnersEndTakesTheWindowAlongAndThePositionCanStillBeSaved) {
    testing::CleanSettings clean;
    ::SetWindowPos(Float(), nullptr, 123, 45, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const Position kept = window_->KeptPosition();
    ::DestroyWindow(owner_);
    EXPECT_EQ(window_->Window(), nullptr);
    window_->SetState(FloatState::On);  // nothing left to draw on: does nothing
    window_->Show();
    ASSERT_TRUE(window_->SavePosition(kSettingsKey, false));
    DWORD x = 0;
    ASSERT_TRUE(testing::RegistryReadDword(HKEY_CURRENT_USER, "FWX", &x));
    EXPECT_EQ(static_cast<long>(x), kept.x);
}

TEST_F(FloatWindowTest, AThousandStateChangesAndFiftyWindowsLeaveTheGdiObjectCountAsItWas) {
    window_->Show();
    window_->SetState(FloatState::On);
    const DWORD before = testing::CountGdiObjects();
    {
        // The count sees one more object while one more exists.
        UniqueGdiObject brush(::CreateSolidBrush(RGB(1, 2, 3)));
        ASSERT_EQ(testing::CountGdiObjects(), before + 1);
    }
    const FloatState states[] = {FloatState::On, FloatState::Off, FloatState::HardwareReboot};
    for (int i = 0; i < 1000; ++i) {
        window_->SetState(states[i % 3]);
        ::SendMessageW(Float(), WM_TIMER, kFloatAnimationTimerId, 0);
    }
    window_->SetState(FloatState::On);
    DeliverPosted();
    EXPECT_EQ(testing::CountGdiObjects(), before);

    for (int i = 0; i < 50; ++i) {
        CFloatWindow other(::GetModuleHandleW(nullptr), owner_, host_, kTrayNotify);
        other.SetState(FloatState::On);
    }
    DeliverPosted();
    EXPECT_EQ(testing::CountGdiObjects(), before);
}

}  // namespace
}  // namespace mrwd
