// The main dialog: the program list with its live state, the global
// switches, the controller's and the modem's settings and status. Modal, on
// the thread of the server's hidden window; every change takes effect and is
// stored at once. Other threads reach it only through that window's thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "base/core/settings.h"
#include "base/core/ui_events.h"
#include "base/win/settings_store.h"
#include "hardware/core/status_line.h"
#include "supervision/core/supervision_state.h"
#include "ui/win/dialog_prompts.h"
#include "ui/win/float_window_control.h"

namespace mrwd {

// What the dialog asks of the server around it.
class MainDialogHost {
public:
    virtual ~MainDialogHost() = default;
    // The server's hidden window; null when it could not be made.
    virtual HWND MainWindow() = 0;
    // Switches supervision through the server's one owner of the switch,
    // which forgets every supervised process when it goes on and has the
    // tray icon, the float window and this dialog show it.
    virtual void SwitchSupervision(bool on) = 0;
    // NIM_ADD, NIM_MODIFY or NIM_DELETE of the tray icon.
    virtual void UpdateTrayIcon(DWORD operation) = 0;
    virtual bool IsAutostart() = 0;
    virtual bool SetAutostart(bool enable) = 0;
    // Null when there is none.
    virtual FloatWindowControl* FloatWindow() = 0;
    // The controller's and the modem's status lines (null: no controller).
    virtual const StatusLine* ControllerStatus() = 0;
    virtual const StatusLine* ModemStatus() = 0;
    virtual void RequestModemStatusRefresh() = 0;
    virtual void RequestCardSearch() = 0;
    // Opens the help; null when no help viewer could show it.
    virtual HWND ShowHelp(HWND owner) = 0;
    // The notification settings dialog, modal.
    virtual void EditNotificationSettings(HWND owner) = 0;
    // The program parameters dialog on `path` and `entry`, modal; true when
    // the user confirmed it, and then they hold the result.
    virtual bool EditProgram(HWND owner, std::string& path, ModuleEntry& entry) = 0;
};

struct MainDialogContext {
    HINSTANCE instance;
    Settings& settings;
    SettingsStore store;
    const std::atomic<bool>& supervisionOn;
    SupervisionState& supervision;  // its lock guards the list, the alive table and the snapshot
    MainDialogHost& host;
    DialogPrompts& prompts;
    // The title's version text; empty keeps the template's title.
    std::wstring title;
    // The route by which the icons looked up off this thread come to it;
    // without one they show at the next refresh.
    UiEvents* ui = nullptr;
};

// Runs the dialog modally; returns when it ends.
void ShowMainDialog(HWND owner, MainDialogContext& context);

// Null while the dialog is not open.
HWND MainDialogWindow();

// On the dialog's thread; nothing happens while it is not open. Takes the
// list afresh, puts the controller port and the float window rule in place,
// and repaints.
void RefreshMainDialog();
// A status line changed: its colour box is repainted, which puts the text in.
void ShowControllerStatus();
void ShowModemStatus();

// The dialog's procedure, for tests that make it modeless.
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace mrwd
