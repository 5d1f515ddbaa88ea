#include "float_window.h"

#include <shellapi.h>

#include <cstdint>

#include "base/win/registry.h"
#include "base/win/settings_store.h"
#include "resources/resource_ids.h"
#include "ui/win/raster_draw.h"
#include "ui/win/raster_resource.h"

namespace mrwd {
namespace {

HKEY SettingsRoot(bool serviceMode) { return serviceMode ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

Box WorkArea() {
    RECT work{};
    if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
        work = RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    }
    return Box{work.left, work.top, work.right, work.bottom};
}

}  // namespace

void OpenMakerPageInBrowser(HWND owner) { ::ShellExecuteW(owner, L"open", kMakerPage, nullptr, nullptr, SW_SHOW); }

CFloatWindow::CFloatWindow(HINSTANCE instance, HWND parent, FloatWindowHost& host, UINT trayMessage)
    : parent_(parent), host_(host), trayMessage_(trayMessage), model_({0, 0, 0}) {
    LoadGif(on_, instance, "GIF", IDG_PICTURE_ON);
    LoadGif(reboot_, instance, "GIF", IDG_PICTURE_REBOOT);
    LoadGif(off_, instance, "GIF", IDG_PICTURE_OFF);
    // Indexed by state: off, on, hardware reboot.
    model_ = FloatWindowModel({off_.FrameCount(), on_.FrameCount(), reboot_.FrameCount()});
    if (on_.FrameCount() == 0) return;
    width_ = on_.Frame(0)->Width();
    height_ = on_.Frame(0)->Height();
    if (!CreateOffscreen()) return;

    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    // No background brush: every pixel comes from the off-screen picture, so
    // erasing first would only make the window flicker.
    windowClass.lpszClassName = kFloatWindowClass;
    if (!::RegisterClassExW(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return;

    ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kFloatWindowClass, L"", WS_POPUP, CW_USEDEFAULT,
                      CW_USEDEFAULT, width_, height_, parent, nullptr, instance, this);
    created_ = window_ != nullptr;  // set by WM_NCCREATE
}

CFloatWindow::~CFloatWindow() {
    if (window_ != nullptr) {
        ::ShowWindow(window_, SW_HIDE);
        ::DestroyWindow(window_);
    }
    if (memoryDc_ && initialBitmap_ != nullptr) ::SelectObject(memoryDc_.get(), initialBitmap_);
    memoryDc_.reset();
    bitmap_.reset();
}

bool CFloatWindow::CreateOffscreen() {
    WindowDc screen;
    if (screen.get() == nullptr) return false;
    memoryDc_.reset(::CreateCompatibleDC(screen.get()));
    bitmap_.reset(::CreateCompatibleBitmap(screen.get(), width_, height_));
    if (!memoryDc_ || !bitmap_) return false;
    initialBitmap_ = ::SelectObject(memoryDc_.get(), bitmap_.get());
    // Defined pixels before the first picture is drawn.
    ::PatBlt(memoryDc_.get(), 0, 0, width_, height_, BLACKNESS);
    return initialBitmap_ != nullptr;
}

void CFloatWindow::Show() {
    if (window_ != nullptr) ::ShowWindow(window_, SW_SHOW);
}

void CFloatWindow::Hide() {
    if (window_ != nullptr) ::ShowWindow(window_, SW_HIDE);
}

void CFloatWindow::SetState(FloatState state) {
    if (window_ == nullptr) return;
    ::KillTimer(window_, kFloatAnimationTimerId);
    const FloatWindowModel::Step step = model_.SetState(state);
    if (step.timer) ::SetTimer(window_, kFloatAnimationTimerId, kFloatFramePeriodMs, nullptr);
    if (step.render) Render();
}

const CRasterSet& CFloatWindow::PictureOf(int state) const {
    switch (state) {
        case static_cast<int>(FloatState::On):
            return on_;
        case static_cast<int>(FloatState::HardwareReboot):
            return reboot_;
        default:
            return off_;
    }
}

void CFloatWindow::Render() {
    if (window_ == nullptr) return;
    const CRaster* frame = PictureOf(model_.State()).Frame(model_.FrameIndex());
    if (frame == nullptr) return;  // an empty set: the last picture drawn stays
    Draw(*frame, memoryDc_.get(), frame->Left(), frame->Top());
    ::InvalidateRect(window_, nullptr, FALSE);
    ::UpdateWindow(window_);
}

void CFloatWindow::LoadPosition(const char* settingsKey, bool serviceMode) {
    if (window_ == nullptr) return;
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    UniqueRegKey key;
    if (::RegOpenKeyExA(SettingsRoot(serviceMode), settingsKey, 0, KEY_READ, key.put()) == ERROR_SUCCESS) {
        if (!ReadRegistryDword(key.get(), "FWX", x)) x = 0;
        if (!ReadRegistryDword(key.get(), "FWY", y)) y = 0;
    }
    // Stored as 32-bit numbers; a position left of or above the primary
    // display is negative.
    ::SetWindowPos(window_, nullptr, static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CFloatWindow::SavePosition(const char* settingsKey, bool serviceMode) const {
    if (!created_) return false;
    UniqueRegKey key;
    if (::RegCreateKeyExA(SettingsRoot(serviceMode), settingsKey, 0, const_cast<char*>(kSettingsKeyClass),
                          REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const bool x = WriteRegistryDword(key.get(), "FWX", static_cast<std::uint32_t>(position_.x));
    const bool y = WriteRegistryDword(key.get(), "FWY", static_cast<std::uint32_t>(position_.y));
    return x && y;
}

LRESULT CALLBACK CFloatWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<CFloatWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<CFloatWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // Also when the owner's end takes this window along: from now on
        // every call does nothing, and the kept position stays for saving.
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return self->OnMessage(message, wParam, lParam);
}

LRESULT CFloatWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_WINDOWPOSCHANGING:
            OnPositionChanging(*reinterpret_cast<WINDOWPOS*>(lParam));
            break;
        case WM_DISPLAYCHANGE:
            FitToScreen();
            return 0;
        case WM_TIMER:
            if (wParam != kFloatAnimationTimerId) break;
            if (model_.NextFrame().render) Render();
            return 0;
        case WM_LBUTTONDOWN: {
            LeaveRebootPicture();
            // Dragging by any point of the picture: the system moves the
            // window as if its caption had been grabbed.
            POINT cursor{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            ::ClientToScreen(window_, &cursor);
            ::PostMessageW(window_, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(cursor.x, cursor.y));
            return 0;
        }
        case WM_LBUTTONDBLCLK:
            OnDoubleClick();
            return 0;
        case WM_RBUTTONDOWN:
            LeaveRebootPicture();
            // The tray icon's right click: the main window opens the tray menu
            // (or brings the open main dialog forward).
            ::PostMessageW(parent_, trayMessage_, wParam, WM_RBUTTONUP);
            return 0;
        default:
            break;
    }
    return ::DefWindowProcW(window_, message, wParam, lParam);
}

void CFloatWindow::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(window_, &paint);
    if (dc != nullptr && !::IsRectEmpty(&paint.rcPaint)) {
        ::BitBlt(dc, 0, 0, width_, height_, memoryDc_.get(), 0, 0, SRCCOPY);
    }
    ::EndPaint(window_, &paint);
}

void CFloatWindow::OnPositionChanging(WINDOWPOS& change) {
    if (change.flags & SWP_NOMOVE) return;
    // A move without a size (SWP_NOSIZE) carries no usable one: clamp with
    // the window's own, or it could slip off the right and bottom edges.
    long width = change.cx;
    long height = change.cy;
    if (change.flags & SWP_NOSIZE) {
        RECT rect;
        ::GetWindowRect(window_, &rect);
        width = rect.right - rect.left;
        height = rect.bottom - rect.top;
    }
    position_ = ClampToWorkArea(WorkArea(), Position{change.x, change.y}, width, height);
    change.x = static_cast<int>(position_.x);
    change.y = static_cast<int>(position_.y);
}

void CFloatWindow::FitToScreen() {
    RECT rect;
    ::GetWindowRect(window_, &rect);
    const Position fitted = mrwd::FitToScreen(position_, ::GetSystemMetrics(SM_CXFULLSCREEN),
                                              ::GetSystemMetrics(SM_CYFULLSCREEN), rect.right - rect.left,
                                              rect.bottom - rect.top);
    ::SetWindowPos(window_, nullptr, static_cast<int>(fitted.x), static_cast<int>(fitted.y), 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CFloatWindow::LeaveRebootPicture() {
    FloatState next = FloatState::Off;
    if (model_.LeaveRebootPicture(host_.SupervisionOn(), next)) SetState(next);
}

void CFloatWindow::OnDoubleClick() {
    LeaveRebootPicture();
    switch (model_.DoubleClick(host_.AnyProgramAliveSeen())) {
        case DoubleClickAction::SwitchOff:
            SetState(FloatState::Off);
            host_.SwitchSupervision(false);
            break;
        case DoubleClickAction::SwitchOn:
            SetState(FloatState::On);
            host_.SwitchSupervision(true);
            break;
        case DoubleClickAction::OpenMakerPage:
            host_.OpenMakerPage(parent_);
            break;
    }
}

}  // namespace mrwd
