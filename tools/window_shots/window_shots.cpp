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
#include <set>
#include <string>
#include <vector>

#include "base/win/handles.h"
#include "base/win/texts.h"
#include "resources/resource_ids.h"
#include "ui/win/main_dialog.h"
#include "ui/win/float_window.h"
#include "ui/win/notification_dialog.h"
#include "ui/win/program_dialog.h"

namespace mrwd {
namespace {

// Answers every warning at once: the pictures show the windows, not the boxes.
class SilentPrompts : public DialogPrompts {
public:
    void Warn(HWND, UINT) override {}
    void Inform(HWND, UINT) override {}
    std::optional<std::string> ChooseFile(HWND, UINT, const std::string&) override { return std::nullopt; }
    std::optional<std::string> ChooseFolder(HWND, UINT) override { return std::nullopt; }
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
    WindowDc screen;
    UniqueMemoryDc memory(::CreateCompatibleDC(screen.get()));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueGdiObject bitmap(::CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    HGDIOBJ old = ::SelectObject(memory.get(), bitmap.get());
    ::BitBlt(memory.get(), 0, 0, width, height, screen.get(), rect.left, rect.top, SRCCOPY);
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
    ::SelectObject(memory.get(), old);
    return saved;
}

// The window's rectangle as it is on the screen.
bool SaveWindow(HWND window, const std::string& path) {
    RECT rect;
    ::GetWindowRect(window, &rect);
    return SaveScreen(rect, path);
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
    MailSettings mail;
    mail.server = "smtp.yandex.ru";
    mail.port = 587;
    mail.security = MailSecurity::StartTls;
    mail.recipient = "operator@example.org";
    mail.sender = "kiosk-17@yandex.ru";
    mail.userName = "kiosk-17@yandex.ru";
    mail.password = "password";
    settings.NotifyReboot = 1;
    settings.SendLog = 1;
    SilentPrompts prompts;
    // Nothing is stored from here: the dialogs are never confirmed.
    NotificationDialogContext context{settings, SettingsStore(false), prompts};
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    auto open = [&] {
        return ::CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_NOTIFICATION_SETTINGS), nullptr,
                                    NotificationDialogProc, reinterpret_cast<LPARAM>(&context));
    };
    mail.authentication = MailAuthentication::None;
    settings.Mail.Set(mail);
    bool ok = Shoot(open(), folder + "notification_settings_no_auth.bmp", [](HWND) {});
    mail.authentication = MailAuthentication::Login;
    settings.Mail.Set(mail);
    ok = Shoot(open(), folder + "notification_settings_auth.bmp", [](HWND) {}) && ok;
    mail.server = "smtp.office365.com";
    mail.sender = "kiosk-17@contoso.com";
    mail.userName = "kiosk-17@contoso.com";
    mail.authentication = MailAuthentication::OAuth;
    mail.oauthTenant = "contoso.onmicrosoft.com";
    mail.oauthClientId = "4a1b2c3d-5e6f-4a8b-9c0d-1e2f3a4b5c6d";
    mail.oauthSecret = "secret";
    settings.Mail.Set(mail);
    ok = Shoot(open(), folder + "notification_settings_oauth.bmp", [](HWND) {}) && ok;
    return ok;
}

// The server around the main dialog, made up: a card working on COM5 and a
// modem that does not answer.
class PictureHost : public MainDialogHost {
public:
    PictureHost() {
        std::string working = LoadText(IDS_CONTROLLER_WORKING);
        working.replace(working.find("%0ld"), 4, "5");
        controller_.Publish(working, kWorking);
        modem_.Publish(LoadText(IDS_MODEM_DEAD), kFault);
    }
    HWND MainWindow() override { return ::GetDesktopWindow(); }
    void SwitchSupervision(bool) override {}
    void UpdateTrayIcon(DWORD) override {}
    bool IsAutostart() override { return true; }
    bool SetAutostart(bool) override { return true; }
    FloatWindowControl* FloatWindow() override { return nullptr; }
    const StatusLine* ControllerStatus() override { return &controller_; }
    const StatusLine* ModemStatus() override { return &modem_; }
    void RequestModemStatusRefresh() override {}
    void RequestCardSearch() override {}
    HWND ShowHelp(HWND) override { return nullptr; }
    void EditNotificationSettings(HWND) override {}
    bool EditProgram(HWND, std::string&, ModuleEntry&) override { return false; }

private:
    StatusLine controller_;
    StatusLine modem_;
};

void AddProgram(SupervisionState& state, const std::string& path, bool aliveSeen, bool controlOn, Tick lastAlive,
                std::uint32_t pid) {
    ModuleEntry entry;
    entry.AliveSeen = aliveSeen ? 1 : 0;
    entry.ControlEnabled = controlOn ? 1 : 0;
    entry.CheckInterval = 10000;
    state.modules.Add(path, entry);
    AliveEntry alive;
    alive.ExePath = path;
    alive.LastAlive = lastAlive;
    alive.StartTick = lastAlive;
    state.alive[pid] = alive;
    state.snapshot[pid] = path;
}

bool ShootMainDialog(const std::string& folder) {
    Settings settings;
    settings.ControllerPort = 5;
    settings.CustomControllerPort = 1;
    settings.Modem = 3;
    settings.ControlMdm = 0;
    std::atomic<bool> supervisionOn{true};
    SupervisionState supervision;
    const Tick now = ::GetTickCount();
    AddProgram(supervision, "C:\\Kiosk\\terminal.exe", true, true, now - 3000, 101);
    AddProgram(supervision, "C:\\Kiosk\\printer_agent.exe", true, true, now - 7000, 102);
    AddProgram(supervision, "C:\\Program Files\\Scanner\\scanner_service.exe", false, true, now - 9000, 103);
    PictureHost host;
    SilentPrompts prompts;
    MainDialogContext context{::GetModuleHandleW(nullptr), settings, SettingsStore(false), supervisionOn,
                              supervision, host, prompts, std::wstring()};
    auto open = [&] {
        return ::CreateDialogParamW(context.instance, MAKEINTRESOURCEW(IDD_MAIN_DIALOG), nullptr, MainDialogProc,
                                    reinterpret_cast<LPARAM>(&context));
    };
    bool ok = Shoot(open(), folder + "main_dialog_on.bmp", [](HWND) {});
    supervisionOn = false;
    ok = Shoot(open(), folder + "main_dialog_off.bmp", [](HWND) {}) && ok;
    ok = Shoot(open(), folder + "main_dialog_taller.bmp", [](HWND dialog) {
        RECT r;
        ::GetWindowRect(dialog, &r);
        ::SetWindowPos(dialog, nullptr, r.left, 0, r.right - r.left, r.bottom - r.top + 150, SWP_NOZORDER);
    }) && ok;
    return ok;
}

bool ShootProgramDialog(const std::string& folder) {
    SilentPrompts prompts;
    std::atomic<std::uint32_t> logOff{0};
    EventLog log(logOff);
    const std::set<std::string> excluded{"drweb32w.exe"};
    std::string path;
    ModuleEntry entry = UserAddedEntry();
    ProgramDialogContext context{path, entry, true, excluded, prompts, log};
    auto open = [&] {
        return ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROGRAM_PARAMETERS), nullptr,
                                    ProgramDialogProc, reinterpret_cast<LPARAM>(&context));
    };
    bool ok = Shoot(open(), folder + "program_new.bmp", [](HWND) {});
    path = "C:\\Kiosk\\terminal.exe";
    entry.Parameters = "/fullscreen";
    entry.Copies = 1;
    entry.StartDelay = 15000;
    entry.CheckInterval = 20000;
    entry.RunAfter = 2;
    entry.RunPath = "C:\\Kiosk\\repair.bat";
    entry.CopyAfter = 1;
    entry.BackupFolder = "D:\\Backup\\Kiosk";
    entry.RestoreFolder = "C:\\Kiosk";
    entry.CopyOnlyDifferent = 1;
    entry.CopySubfolders = 1;
    entry.RebootAfter = 5;
    entry.Notify = 1;
    entry.NotifyAfter = 3;
    ok = Shoot(open(), folder + "program_every_action.bmp", [](HWND) {}) && ok;
    return ok;
}

// The float window's owner and host: supervision as the state says, no clicks.
class StillHost : public FloatWindowHost {
public:
    bool SupervisionOn() const override { return true; }
    bool AnyProgramAliveSeen() const override { return true; }
    void OpenMakerPage(HWND) override {}
    void SwitchSupervision(bool) override {}
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
    ok = mrwd::ShootMainDialog(folder) && ok;
    ok = mrwd::ShootProgramDialog(folder) && ok;
    ok = mrwd::ShootFloatWindow(folder) && ok;
    return ok ? 0 : 1;
}
