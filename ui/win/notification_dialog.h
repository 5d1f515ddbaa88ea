// The notification settings dialog: the mail server, addresses,
// authentication and the two mail switches. OK changes the settings in memory
// (under the mail lock, since mails may be on their way) and in the registry;
// Cancel changes nothing.
#pragma once

#include <windows.h>

#include <mutex>

#include "base/core/settings.h"
#include "base/win/settings_store.h"
#include "ui/win/dialog_prompts.h"

namespace mrwd {

struct NotificationDialogContext {
    Settings& settings;
    std::mutex& notifyLock;  // held by every mail dialogue that reads the mail settings
    SettingsStore store;
    DialogPrompts& prompts;
};

// Runs the modal dialog; IDOK or IDCANCEL (or -1 when it cannot be made).
INT_PTR RunNotificationDialog(HINSTANCE instance, HWND owner, NotificationDialogContext& context);

// The dialog's procedure, for a dialog made from the template with the
// context as its parameter (tests make it modeless).
INT_PTR CALLBACK NotificationDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace mrwd
