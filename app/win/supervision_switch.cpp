#include "supervision_switch.h"

#include "app/win/server_process.h"
#include "app/win/tray_icon.h"
#include "supervision/win/watchdog.h"
#include "ui/win/main_dialog.h"

namespace mrwd {

void SupervisionSwitch::Switch(bool on) {
    if (On() == on) return;
    if (HWND dialog = MainDialogWindow()) ::SetForegroundWindow(dialog);
    Set(on);
}

void SupervisionSwitch::Set(bool on) {
    // Switching on forgets every supervised process, so each running program
    // is discovered afresh with no failures counted.
    if (on && server_.watchdog) server_.watchdog->Engine().ForgetProcesses();
    on_ = on;
    Show();
}

void SupervisionSwitch::SetFromAnyThread(bool on) {
    // No window may be touched from here: the main window's thread is told.
    // The processes are not forgotten: a reboot that failed resumes watching
    // where it paused.
    if (on_.exchange(on) != on) server_.uiEvents.SupervisionSwitched();
}

void SupervisionSwitch::Show() {
    const bool on = On();
    if (server_.mainWindow != nullptr && server_.settings.Icon != 0) UpdateTrayIcon(NIM_MODIFY);
    if (FloatWindowControl* floatWindow = server_.FloatWindow()) {
        floatWindow->SetState(on ? FloatState::On : FloatState::Off);
    }
    RefreshMainDialog();
}

}  // namespace mrwd
