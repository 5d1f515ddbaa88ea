// window_shots: draws every window of the product on the screen, one at a
// time, in the states worth looking at, and saves each as a 24-bit BMP (the
// float window with a piece of the desktop around it).
//   window_shots.exe OUTDIR
// Run it on an X display (scripts/screenshots does, and turns the files
// into PNGs). The settings it shows are made up; nothing is stored.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "ui/win/float_window.h"
#include "ui/win/notification_dialog.h"

namespace mrwd {
namespace {

// Answers every warning at once: the pictures show the windows, not the boxes.
class SilentPrompts : public DialogPrompts {
public:
    void Warn(HWND, UINT) override {}
};

void PumpFor(DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < milliseconds) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        ::Sleep(10);
    }
}

// A rectangle of the screen, written as a bottom-up BMP.
bool SaveScreen(const RECT& rect, const std::string& path) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    ::GdiFlush();
    const DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    const DWORD imageBytes = rowBytes * static_cast<DWORD>(height);
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info.bmiHeader;
    header.bfSize = header.bfOffBits + imageBytes;
    bool saved = false;
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        saved = std::fwrite(&header, sizeof header, 1, file) == 1 &&
                std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, file) == 1 &&
                std::fwrite(bits, imageBytes, 1, file) == 1;
        std::fclose(file);
    }
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return saved;
}

// The window's rectangle as it is on the screen.
bool SaveWindow(HWND window, const std::string& path) {
    RECT rect;
    ::GetWindowRect(window, &rect);
    return SaveScreen(rect, path);
}

void SetBuffer(char* buffer, std::size_t size, const char* text) {
    std::memset(buffer, 0, size);
    std::strncpy(buffer, text, size - 1);
}

// Shows one window, lets `prepare` put it into the state to show, saves it.
bool Shoot(HWND window, const std::string& path, const std::function<void(HWND)>& prepare) {
    if (window == nullptr) return false;
    prepare(window);
    ::ShowWindow(window, SW_SHOW);
    ::SetForegroundWindow(window);
    PumpFor(500);
    const bool saved = SaveWindow(window, path);
    ::DestroyWindow(window);
    PumpFor(100);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", path.c_str());
    return saved;
}

bool ShootNotificationDialog(const std::string& folder) {
    Settings settings;
    SetBuffer(settings.SMTPServer, sizeof settings.SMTPServer, "mail.example.org");
    settings.SMTPPort = 587;
    SetBuffer(settings.UserEMail, sizeof settings.UserEMail, "operator@example.org");
    SetBuffer(settings.SenderEMail, sizeof settings.SenderEMail, "kiosk-17@example.org");
    SetBuffer(settings.UserName, sizeof settings.UserName, "kiosk-17");
    SetBuffer(reinterpret_cast<char*>(settings.Password), sizeof settings.Password, "password");
    settings.NotifyReboot = 1;
    settings.SendLog = 1;
    std::mutex lock;
    SilentPrompts prompts;
    // Nothing is stored from here: the dialogs are never confirmed.
    NotificationDialogContext context{settings, lock, SettingsStore(false), prompts};
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    auto open = [&] {
        return ::CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_NOTIFICATION_SETTINGS), nullptr,
                                    NotificationDialogProc, reinterpret_cast<LPARAM>(&context));
    };
    settings.AuthType = 0;
    bool ok = Shoot(open(), folder + "notification_settings_no_auth.bmp", [](HWND) {});
    settings.AuthType = 1;
    ok = Shoot(open(), folder + "notification_settings_auth.bmp", [](HWND) {}) && ok;
    return ok;
}

// The float window's owner and host: supervision as the state says, no clicks.
class StillHost : public FloatWindowHost {
public:
    bool SupervisionOn() const override { return true; }
    bool AnyProgramAliveSeen() const override { return true; }
    void OpenMakerPage(HWND) override {}
};

// The float window in each state, with some of the desktop around it.
bool ShootFloatWindow(const std::string& folder) {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    HWND owner = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, instance, nullptr);
    StillHost host;
    CFloatWindow window(instance, owner, host, WM_USER + 2);
    if (!window.IsCreated()) {
        std::printf("FAILED the float window\n");
        return false;
    }
    ::SetWindowPos(window.Window(), nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    window.Show();
    const RECT around{0, 0, 140, 120};
    struct Shot {
        FloatState state;
        int ticks;  // animation steps after the state was set
        const char* name;
    };
    const Shot shots[] = {
        {FloatState::On, 0, "float_window_on.bmp"},
        {FloatState::On, 2, "float_window_on_frame2.bmp"},
        {FloatState::On, 6, "float_window_on_frame6.bmp"},
        {FloatState::Off, 0, "float_window_off.bmp"},
        {FloatState::HardwareReboot, 0, "float_window_reboot.bmp"},
    };
    bool ok = true;
    for (const Shot& shot : shots) {
        window.SetState(shot.state);
        // The timer is stopped for the picture: the frame is stepped by hand.
        ::KillTimer(window.Window(), kFloatAnimationTimerId);
        for (int i = 0; i < shot.ticks; ++i) ::SendMessageW(window.Window(), WM_TIMER, kFloatAnimationTimerId, 0);
        PumpFor(300);
        const std::string path = folder + shot.name;
        const bool saved = SaveScreen(around, path);
        std::printf("%s %s\n", saved ? "wrote" : "FAILED", path.c_str());
        ok = saved && ok;
    }
    ::DestroyWindow(owner);
    return ok;
}

}  // namespace
}  // namespace mrwd

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_shots OUTDIR\n");
        return 2;
    }
    std::string folder = argv[1];
    if (folder.back() != '\\') folder += '\\';
    bool ok = mrwd::ShootNotificationDialog(folder);
    ok = mrwd::ShootFloatWindow(folder) && ok;
    return ok ? 0 : 1;
}
