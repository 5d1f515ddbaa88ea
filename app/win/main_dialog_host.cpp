#include "main_dialog_host.h"

#include "app/win/autostart.h"
#include "app/win/server_process.h"
#include "app/win/tray_icon.h"
#include "hardware/win/controller.h"
#include "resources/resource_ids.h"
#include "supervision/win/watchdog.h"
#include "ui/win/main_dialog.h"
#include "ui/win/notification_dialog.h"
#include "ui/win/program_dialog.h"
#include "ui/win/program_help.h"
#include "ui/win/version_reader.h"

namespace mrwd {
namespace {

// Switches the state itself: on forgets every supervised process, so each
// running program is discovered afresh with no failures counted.
void SetSupervision(bool on) {
    ServerProcess& server = Server();
    if (on && server.watchdog) server.watchdog->Engine().ForgetProcesses();
    server.supervisionOn = on;
}

class ServerDialogHost final : public MainDialogHost {
public:
    HWND MainWindow() override { return Server().mainWindow; }
    void SwitchSupervision(bool on) override { SetSupervision(on); }
    void UpdateTrayIcon(DWORD operation) override { mrwd::UpdateTrayIcon(operation); }
    bool IsAutostart() override { return mrwd::IsAutostart(); }
    bool SetAutostart(bool enable) override { return mrwd::SetAutostart(enable); }
    FloatWindowControl* FloatWindow() override { return Server().FloatWindow(); }
    const StatusLine* ControllerStatus() override {
        return Server().controller ? &Server().controller->ControllerStatus() : nullptr;
    }
    const StatusLine* ModemStatus() override {
        return Server().controller ? &Server().controller->ModemStatus() : nullptr;
    }
    void RequestModemStatusRefresh() override {
        if (Server().controller) Server().controller->Logic().RequestModemStatusRefresh();
    }
    void RequestCardSearch() override {
        if (Server().controller) Server().controller->Logic().RequestSearchAgain();
    }
    HWND ShowHelp(HWND owner) override { return ShowProgramHelp(owner); }
    bool EditProgram(HWND owner, std::string& path, ModuleEntry& entry) override {
        ServerProcess& server = Server();
        MessageBoxPrompts prompts;
        ProgramDialogContext context{path,    entry,     server.settings.MailConfigured != 0, server.excludedPrograms,
                                     prompts, server.log};
        return RunProgramDialog(server.instance, owner, context) == IDOK;
    }
    void EditNotificationSettings(HWND owner) override {
        ServerProcess& server = Server();
        MessageBoxPrompts prompts;
        NotificationDialogContext context{server.settings, server.Store(), prompts};
        RunNotificationDialog(server.instance, owner, context);
    }
};

void ShowFloatState(FloatState state) {
    if (FloatWindowControl* floatWindow = Server().FloatWindow()) floatWindow->SetState(state);
}

void RefreshTrayIconIfShown() {
    if (Server().settings.Icon != 0) UpdateTrayIcon(NIM_MODIFY);
}

// With the dialog open its own toggle switches, so that its buttons follow.
bool ToggleThroughDialog() {
    HWND dialog = MainDialogWindow();
    if (dialog == nullptr) return false;
    ::SetForegroundWindow(dialog);
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SUPERVISION_TOGGLE, BN_CLICKED), 0);
    return true;
}

}  // namespace

void BringUpMainDialog(HWND owner) {
    if (owner != nullptr) ::SetForegroundWindow(owner);
    if (HWND open = MainDialogWindow()) {
        ::SetForegroundWindow(open);
        return;
    }
    ServerProcess& server = Server();
    ServerDialogHost host;
    MessageBoxPrompts prompts;
    // The title carries the version; without a version resource the template's stays.
    VersionInfo version;
    ReadVersionInfo(version);
    MainDialogContext context{server.instance, server.settings, server.Store(), server.supervisionOn,
                              server.supervision, host, prompts, VersionTitle(version),
                              &server.uiEvents};
    ShowMainDialog(owner, context);
}

void SwitchSupervisionOn() {
    ServerProcess& server = Server();
    if (server.supervisionOn) return;
    if (!ToggleThroughDialog()) {
        SetSupervision(true);
        RefreshTrayIconIfShown();
    }
    ShowFloatState(FloatState::On);
}

void SetSupervisionAndShow(bool on) {
    SetSupervision(on);
    ShowSupervisionSwitch();
}

void ShowSupervisionSwitch() {
    RefreshTrayIconIfShown();
    ShowFloatState(Server().supervisionOn ? FloatState::On : FloatState::Off);
    RefreshMainDialog();
}

void SwitchSupervisionOff() {
    ServerProcess& server = Server();
    if (!server.supervisionOn) return;
    if (!ToggleThroughDialog()) {
        SetSupervision(false);
        RefreshTrayIconIfShown();
    }
    ShowFloatState(FloatState::Off);
}

}  // namespace mrwd
