#include "notification_dialog.h"

#include <memory>

#include "base/win/center_window.h"
#include "resources/resource_ids.h"
#include "ui/core/notification_model.h"
#include "ui/win/dialog_binding.h"
#include "ui/win/dialog_state.h"

namespace mrwd {
namespace {

constexpr ControlBinding<MailField> kBindings[] = {
    {MailField::Server, IDC_SMTP_SERVER, ControlKind::Edit},
    {MailField::Port, IDC_SMTP_PORT, ControlKind::Edit},
    {MailField::Recipient, IDC_RECIPIENT, ControlKind::Edit},
    {MailField::Sender, IDC_SENDER, ControlKind::Edit},
    {MailField::Authentication, IDC_AUTHENTICATION, ControlKind::CheckBox},
    {MailField::Rfc2554, IDC_AUTH_RFC2554, ControlKind::CheckBox},
    {MailField::PopBeforeSmtp, IDC_AUTH_POP_BEFORE_SMTP, ControlKind::CheckBox},
    {MailField::UserName, IDC_USER_NAME, ControlKind::Edit},
    {MailField::Password, IDC_PASSWORD, ControlKind::Edit},
    {MailField::NotifyReboot, IDC_NOTIFY_REBOOT, ControlKind::CheckBox},
    {MailField::SendLog, IDC_SEND_LOG, ControlKind::CheckBox},
};

// What lives while the dialog is open.
struct DialogState {
    NotificationDialogContext& context;
    NotificationModel model;
};

int ControlOf(MailField field) {
    for (const ControlBinding<MailField>& row : kBindings) {
        if (row.field == field) return row.controlId;
    }
    return 0;
}

void StoreAccepted(const SettingsStore& store, const MailAcceptance& accepted) {
    store.StoreMail(accepted.mail);
    store.StoreDword("NotifyReboot", accepted.notifyReboot ? 1 : 0);
    store.StoreDword("SendLog", accepted.sendLog ? 1 : 0);
}

void OnOk(HWND dialog, DialogState& state) {
    const MailAcceptance accepted = state.model.Accept();
    for (const DialogWarning& note : accepted.notes) state.context.prompts.Warn(dialog, note.stringId);
    if (accepted.blocking) {
        state.context.prompts.Warn(dialog, accepted.blocking->stringId);
        ::SetFocus(::GetDlgItem(dialog, ControlOf(accepted.blocking->field)));
        return;
    }
    ApplyAcceptance(accepted, state.context.settings);
    StoreAccepted(state.context.store, accepted);
    ::EndDialog(dialog, IDOK);
}

void OnCommand(HWND dialog, DialogState& state, int controlId, int notification) {
    if (controlId == IDOK) {
        OnOk(dialog, state);
        return;
    }
    if (controlId == IDCANCEL) {
        ::EndDialog(dialog, IDCANCEL);
        return;
    }
    if (notification == EN_CHANGE) {
        PullText(dialog, state.model, kBindings, controlId);
        return;
    }
    const ControlBinding<MailField>* row = FindBinding(kBindings, controlId);
    if (notification == BN_CLICKED && row != nullptr && row->kind == ControlKind::CheckBox) {
        state.model.Click(row->field, ::IsDlgButtonChecked(dialog, controlId) == BST_CHECKED);
        PushModel(dialog, state.model, kBindings, false);
    }
}

}  // namespace

INT_PTR CALLBACK NotificationDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            auto& context = *reinterpret_cast<NotificationDialogContext*>(lParam);
            std::unique_ptr<DialogState> state(new DialogState{context, NotificationModel::FromSettings(context.settings)});
            PushModel(dialog, AttachDialogState(dialog, std::move(state)).model, kBindings, true);
            CenterWindow(dialog, ::GetWindow(dialog, GW_OWNER));
            return TRUE;
        }
        case WM_COMMAND:
            if (auto* state = DialogStateOf<DialogState>(dialog)) OnCommand(dialog, *state, LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_NCDESTROY:
            ReleaseDialogState<DialogState>(dialog);
            return FALSE;
        default:
            return FALSE;
    }
}

INT_PTR RunNotificationDialog(HINSTANCE instance, HWND owner, NotificationDialogContext& context) {
    return ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_NOTIFICATION_SETTINGS), owner, NotificationDialogProc,
                             reinterpret_cast<LPARAM>(&context));
}

}  // namespace mrwd
