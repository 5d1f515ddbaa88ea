#include "notification_dialog.h"

#include <memory>
#include <mutex>
#include <string>

#include "base/win/background_work.h"
#include "base/win/center_window.h"
#include "base/win/texts.h"
#include "notify/win/test_mail.h"
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
    {MailField::OAuth, IDC_AUTH_OAUTH, ControlKind::CheckBox},
    {MailField::UserName, IDC_USER_NAME, ControlKind::Edit},
    {MailField::Password, IDC_PASSWORD, ControlKind::Edit},
    {MailField::Password, IDC_PASSWORD_LABEL, ControlKind::Label},
    {MailField::OAuthTenant, IDC_OAUTH_TENANT, ControlKind::Edit},
    {MailField::OAuthTenant, IDC_OAUTH_TENANT_LABEL, ControlKind::Label},
    {MailField::OAuthClientId, IDC_OAUTH_CLIENT_ID, ControlKind::Edit},
    {MailField::OAuthClientId, IDC_OAUTH_CLIENT_ID_LABEL, ControlKind::Label},
    {MailField::OAuthSecret, IDC_OAUTH_SECRET, ControlKind::Edit},
    {MailField::OAuthSecret, IDC_OAUTH_SECRET_LABEL, ControlKind::Label},
    {MailField::NotifyReboot, IDC_NOTIFY_REBOOT, ControlKind::CheckBox},
    {MailField::SendLog, IDC_SEND_LOG, ControlKind::CheckBox},
};

// The drop-down's rows, in the order of the setting's values.
constexpr UINT kSecurityTexts[] = {IDS_SECURITY_NONE, IDS_SECURITY_STARTTLS, IDS_SECURITY_TLS};

// Posted to the dialog by the test mail's thread when it is over.
constexpr UINT kTestMailDone = WM_APP + 1;

// Shared by the dialog and the test mail's thread, which may outlive it.
struct TestMailRun {
    std::mutex lock;
    HWND dialog = nullptr;  // null once the dialog is gone
    TestMailOutcome outcome;
};

// What lives while the dialog is open.
struct DialogState {
    NotificationDialogContext& context;
    NotificationModel model;
    std::shared_ptr<TestMailRun> testRun;
};

// The control a warning sends the user back to: the field's own, not its label.
int ControlOf(MailField field) {
    for (const ControlBinding<MailField>& row : kBindings) {
        if (row.field == field && row.kind != ControlKind::Label) return row.controlId;
    }
    return 0;
}

void StoreAccepted(const SettingsStore& store, const MailAcceptance& accepted) {
    store.StoreMail(accepted.mail);
    store.StoreDword("NotifyReboot", accepted.notifyReboot ? 1 : 0);
    store.StoreDword("SendLog", accepted.sendLog ? 1 : 0);
}

// The accepted values, or nothing when a warning keeps the dialog as it is.
std::optional<MailAcceptance> Accepted(HWND dialog, DialogState& state) {
    MailAcceptance accepted = state.model.Accept();
    for (const DialogWarning& note : accepted.notes) state.context.prompts.Warn(dialog, note.stringId);
    if (!accepted.blocking) return accepted;
    state.context.prompts.Warn(dialog, accepted.blocking->stringId);
    ::SetFocus(::GetDlgItem(dialog, ControlOf(accepted.blocking->field)));
    return std::nullopt;
}

void OnOk(HWND dialog, DialogState& state) {
    const std::optional<MailAcceptance> accepted = Accepted(dialog, state);
    if (!accepted) return;
    ApplyAcceptance(*accepted, state.context.settings);
    StoreAccepted(state.context.store, *accepted);
    ::EndDialog(dialog, IDOK);
}

// "Проверить": a mail with the values as typed, on a thread of its own; the
// dialog stays responsive and shows the outcome when it comes.
void StartTestMail(HWND dialog, DialogState& state) {
    const std::optional<MailAcceptance> accepted = Accepted(dialog, state);
    if (!accepted) return;
    ::EnableWindow(::GetDlgItem(dialog, IDC_TEST_MAIL), FALSE);
    ::SetDlgItemTextW(dialog, IDC_TEST_MAIL_RESULT, LoadWideText(IDS_TEST_MAIL_RUNNING).c_str());
    std::shared_ptr<TestMailRun> run = state.testRun;
    const MailSettings mail = accepted->mail;
    UniqueHandle thread = StartBackgroundWork([run, mail] {
        const TestMailOutcome outcome = SendTestMail(mail);
        std::lock_guard<std::mutex> guard(run->lock);
        run->outcome = outcome;
        if (run->dialog != nullptr) ::PostMessageW(run->dialog, kTestMailDone, 0, 0);
    });
    if (!thread) ::EnableWindow(::GetDlgItem(dialog, IDC_TEST_MAIL), TRUE);
}

// `format` with its "%s" marks filled in order.
std::wstring Filled(std::wstring format, const std::string& first, const std::string& second) {
    for (const std::string* text : {&first, &second}) {
        const std::size_t mark = format.find(L"%s");
        if (mark == std::wstring::npos) break;
        format.replace(mark, 2, WidenText(*text, CP_ACP));
    }
    return format;
}

void ShowTestOutcome(HWND dialog, DialogState& state) {
    TestMailOutcome outcome;
    {
        std::lock_guard<std::mutex> guard(state.testRun->lock);
        outcome = state.testRun->outcome;
    }
    std::wstring text;
    if (outcome.sent) {
        text = LoadWideText(IDS_TEST_MAIL_SENT);
    } else if (!outcome.lastReply.empty() && outcome.lastReply != outcome.reason) {
        text = Filled(LoadWideText(IDS_TEST_MAIL_FAILED_REPLY), outcome.reason, outcome.lastReply);
    } else {
        text = Filled(LoadWideText(IDS_TEST_MAIL_FAILED), outcome.reason, std::string());
    }
    ::SetDlgItemTextW(dialog, IDC_TEST_MAIL_RESULT, text.c_str());
    ::EnableWindow(::GetDlgItem(dialog, IDC_TEST_MAIL), TRUE);
}

void FillSecurityChoices(HWND dialog, MailSecurity chosen) {
    HWND box = ::GetDlgItem(dialog, IDC_SECURITY);
    for (UINT text : kSecurityTexts) {
        ::SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(LoadWideText(text).c_str()));
    }
    const auto index = static_cast<std::uint32_t>(chosen);
    ::SendMessageW(box, CB_SETCURSEL, index < std::size(kSecurityTexts) ? index : 0, 0);
}

void OnCommand(HWND dialog, DialogState& state, int controlId, int notification) {
    if (controlId == IDOK) {
        OnOk(dialog, state);
        return;
    }
    if (controlId == IDC_TEST_MAIL && notification == BN_CLICKED) {
        StartTestMail(dialog, state);
        return;
    }
    if (controlId == IDC_SECURITY && notification == CBN_SELCHANGE) {
        const LRESULT index = ::SendDlgItemMessageW(dialog, IDC_SECURITY, CB_GETCURSEL, 0, 0);
        if (index >= 0) state.model.SetSecurity(static_cast<MailSecurity>(index));
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
            std::unique_ptr<DialogState> state(new DialogState{
                context, NotificationModel::FromSettings(context.settings), std::make_shared<TestMailRun>()});
            state->testRun->dialog = dialog;
            FillSecurityChoices(dialog, state->model.Security());
            PushModel(dialog, AttachDialogState(dialog, std::move(state)).model, kBindings, true);
            CenterWindow(dialog, ::GetWindow(dialog, GW_OWNER));
            return TRUE;
        }
        case WM_COMMAND:
            if (auto* state = DialogStateOf<DialogState>(dialog)) OnCommand(dialog, *state, LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case kTestMailDone:
            if (auto* state = DialogStateOf<DialogState>(dialog)) ShowTestOutcome(dialog, *state);
            return TRUE;
        case WM_NCDESTROY:
            if (auto* state = DialogStateOf<DialogState>(dialog)) {
                // A test mail still on its way finishes without the dialog.
                std::lock_guard<std::mutex> guard(state->testRun->lock);
                state->testRun->dialog = nullptr;
            }
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
