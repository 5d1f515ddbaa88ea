// The notification settings dialog: the mail server, addresses,
// authentication and the two mail switches. OK changes the settings in memory
// (a mail on its way keeps the copy it started with, so nothing here waits for
// one) and in the registry; Cancel changes nothing.
#pragma once

#include <windows.h>

#include "base/core/settings.h"
#include "base/win/settings_store.h"
#include "ui/win/dialog_prompts.h"

namespace mrwd {

struct NotificationDialogContext {
    Settings& settings;
    SettingsStore store;
    DialogPrompts& prompts;
};

// Runs the modal dialog; IDOK or IDCANCEL (or -1 when it cannot be made).
INT_PTR RunNotificationDialog(HINSTANCE instance, HWND owner, NotificationDialogContext& context);

// The dialog's procedure, for a dialog made from the template with the
// context as its parameter (tests make it modeless).
INT_PTR CALLBACK NotificationDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace mrwd
