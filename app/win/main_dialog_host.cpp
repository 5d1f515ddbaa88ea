#include "main_dialog_host.h"

#include "app/win/autostart.h"
#include "app/win/server_process.h"
#include "app/win/supervision_switch.h"
#include "app/win/tray_icon.h"
#include "hardware/win/controller.h"
#include "ui/win/main_dialog.h"
#include "ui/win/notification_dialog.h"
#include "ui/win/program_dialog.h"
#include "ui/win/program_help.h"
#include "ui/win/version_reader.h"

namespace mrwd {
namespace {

class ServerDialogHost final : public MainDialogHost {
public:
    HWND MainWindow() override { return Server().mainWindow; }
    void SwitchSupervision(bool on) override { Server().supervisionSwitch.Switch(on); }
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
    MainDialogContext context{server.instance, server.settings, server.Store(), server.supervisionSwitch.Value(),
                              server.supervision, host, prompts, VersionTitle(version),
                              &server.uiEvents};
    ShowMainDialog(owner, context);
}

}  // namespace mrwd
