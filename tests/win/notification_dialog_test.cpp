// The notification settings dialog from its real template, in this process
// under Wine, driven by the messages a user's clicks and typing produce; the
// registry and the settings read back.
#include "ui/win/notification_dialog.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <vector>

#include "base/win/texts.h"
#include "resources/resource_ids.h"
#include "tests/harness/modal_dialog.h"
#include "tests/harness/win_harness.h"

namespace mrwd::testing {
namespace {

// Warnings answered at once, remembered in order.
class RecordingPrompts : public DialogPrompts {
public:
    void Warn(HWND, UINT stringId) override {
        std::lock_guard<std::mutex> guard(lock_);
        warnings_.push_back(stringId);
    }
    void Inform(HWND owner, UINT stringId) override { Warn(owner, stringId); }
    std::optional<std::string> ChooseFile(HWND, UINT, const std::string&) override { return std::nullopt; }
    std::optional<std::string> ChooseFolder(HWND, UINT) override { return std::nullopt; }
    std::vector<UINT> Warnings() {
        std::lock_guard<std::mutex> guard(lock_);
        return warnings_;
    }

private:
    std::mutex lock_;
    std::vector<UINT> warnings_;
};

// The dialog as the main dialog runs it.
class OpenDialog : public ModalDialog {
public:
    explicit OpenDialog(NotificationDialogContext& context)
        : ModalDialog([&context] { return RunNotificationDialog(::GetModuleHandleW(nullptr), nullptr, context); }) {}
};

// Changes one part of the mail settings.
template <typename Change>
void ChangeMail(Settings& settings, Change change) {
    MailSettings mail = settings.Mail.Get();
    change(mail);
    settings.Mail.Set(mail);
}

class NotificationDialog : public ::testing::Test {
protected:
    NotificationDialog() {
        ChangeMail(settings_, [](MailSettings& mail) {
            mail.server = "mail.example.org";
            mail.port = 587;
            mail.recipient = "ops@example.org";
            mail.sender = "kiosk@example.org";
        });
    }

    NotificationDialogContext Context() { return NotificationDialogContext{settings_, SettingsStore(false), prompts_}; }

    CleanSettings clean_;
    Settings settings_;
    RecordingPrompts prompts_;
};

TEST_F(NotificationDialog, OpensWithTheSettingsAndTheirEnableRules) {
    ChangeMail(settings_, [](MailSettings& mail) {
        mail.authentication = MailAuthentication::PopBeforeSmtp;
        mail.userName = "kiosk";
    });
    settings_.SendLog = 1;
    settings_.Log = 0;
    NotificationDialogContext context = Context();
    OpenDialog dialog(context);
    ASSERT_NE(dialog.Window(), nullptr);
    for (int id : {IDC_AUTH_GROUP, IDC_SMTP_SERVER_LABEL, IDC_RECIPIENT_LABEL, IDC_SMTP_SERVER, IDC_RECIPIENT,
                   IDC_NOTIFY_REBOOT, IDC_SEND_LOG, IDC_AUTHENTICATION, IDC_AUTH_RFC2554, IDC_AUTH_POP_BEFORE_SMTP,
                   IDC_USER_NAME_LABEL, IDC_PASSWORD_LABEL, IDC_USER_NAME, IDC_PASSWORD, IDC_SENDER_LABEL, IDC_SENDER,
                   IDC_SMTP_PORT, IDC_SMTP_PORT_LABEL, IDOK, IDCANCEL}) {
        EXPECT_NE(dialog.Control(id), nullptr) << id;
    }
    EXPECT_EQ(dialog.Text(IDC_SMTP_SERVER), L"mail.example.org");
    EXPECT_EQ(dialog.Text(IDC_SMTP_PORT), L"587");
    EXPECT_EQ(dialog.Text(IDC_SENDER), L"kiosk@example.org");
    EXPECT_EQ(dialog.Text(IDC_USER_NAME), L"kiosk");
    EXPECT_TRUE(dialog.Checked(IDC_AUTHENTICATION));
    EXPECT_TRUE(dialog.Checked(IDC_AUTH_POP_BEFORE_SMTP));
    EXPECT_TRUE(dialog.Enabled(IDC_PASSWORD));
    // The daily log needs the event log, and keeps its mark meanwhile.
    EXPECT_TRUE(dialog.Checked(IDC_SEND_LOG));
    EXPECT_FALSE(dialog.Enabled(IDC_SEND_LOG));

    // Clicking the chosen kind again leaves it chosen; authentication off
    // greys the group but keeps the kind's mark.
    dialog.Click(IDC_AUTH_POP_BEFORE_SMTP);
    EXPECT_TRUE(dialog.Checked(IDC_AUTH_POP_BEFORE_SMTP));
    dialog.Click(IDC_AUTHENTICATION);
    EXPECT_FALSE(dialog.Enabled(IDC_AUTH_RFC2554));
    EXPECT_FALSE(dialog.Enabled(IDC_USER_NAME));
    EXPECT_TRUE(dialog.Checked(IDC_AUTH_POP_BEFORE_SMTP));
    // Cancel: the kind stays as it was.
    ::SendMessageW(dialog.Window(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(dialog.Result(), IDCANCEL);
    EXPECT_EQ(settings_.Mail.Get().authentication, MailAuthentication::PopBeforeSmtp);
    DWORD value = 0;
    EXPECT_FALSE(RegistryReadDword(HKEY_CURRENT_USER, "AuthType", &value)) << "Cancel writes nothing";
}

TEST_F(NotificationDialog, OkStoresEveryValueInItsTypeAndSize) {
    NotificationDialogContext context = Context();
    OpenDialog dialog(context);
    ASSERT_NE(dialog.Window(), nullptr);
    dialog.Click(IDC_AUTHENTICATION);
    EXPECT_TRUE(dialog.Checked(IDC_AUTH_RFC2554));
    EXPECT_TRUE(dialog.Enabled(IDC_USER_NAME));
    dialog.Type(IDC_SMTP_PORT, L"2525");
    dialog.Type(IDC_USER_NAME, L"watch");
    dialog.Type(IDC_PASSWORD, L"s3cret");
    dialog.Click(IDC_NOTIFY_REBOOT);
    EXPECT_EQ(::SendMessageW(dialog.Control(IDC_SECURITY), CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(::SendMessageW(dialog.Control(IDC_SECURITY), CB_GETCURSEL, 0, 0), 0) << "no security before it was chosen";
    ::SendMessageW(dialog.Control(IDC_SECURITY), CB_SETCURSEL, 2, 0);
    ::SendMessageW(dialog.Window(), WM_COMMAND, MAKEWPARAM(IDC_SECURITY, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(dialog.Control(IDC_SECURITY)));
    dialog.Click(IDOK);
    EXPECT_EQ(dialog.Result(), IDOK);
    EXPECT_TRUE(prompts_.Warnings().empty());

    const MailSettings mail = settings_.Mail.Get();
    EXPECT_EQ(mail.port, 2525);
    EXPECT_EQ(mail.authentication, MailAuthentication::Login);
    EXPECT_EQ(mail.password, "s3cret");
    EXPECT_EQ(mail.security, MailSecurity::Tls);
    EXPECT_EQ(settings_.MailConfigured, 1);

    std::vector<unsigned char> bytes;
    DWORD type = 0;
    ASSERT_TRUE(RegistryReadBytes(HKEY_CURRENT_USER, "SMTPServer", &bytes, &type));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(bytes.size(), 260u);
    ASSERT_TRUE(RegistryReadBytes(HKEY_CURRENT_USER, "SMTPPort", &bytes, &type));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(bytes, (std::vector<unsigned char>{2525 & 0xFF, 2525 >> 8}));
    ASSERT_TRUE(RegistryReadBytes(HKEY_CURRENT_USER, "UserName", &bytes, &type));
    EXPECT_EQ(bytes.size(), 128u);
    ASSERT_TRUE(RegistryReadBytes(HKEY_CURRENT_USER, "Password", &bytes, &type));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    ASSERT_EQ(bytes.size(), 128u);
    ScramblePassword(bytes.data(), bytes.size(), kPasswordKey);
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data()), "s3cret");
    DWORD value = 0;
    ASSERT_TRUE(RegistryReadDword(HKEY_CURRENT_USER, "AuthType", &value));
    EXPECT_EQ(value, 1u);
    ASSERT_TRUE(RegistryReadDword(HKEY_CURRENT_USER, "SMTPSecurity", &value));
    EXPECT_EQ(value, 2u);
    ASSERT_TRUE(RegistryReadDword(HKEY_CURRENT_USER, "NotifyReboot", &value));
    EXPECT_EQ(value, 1u);
    ASSERT_TRUE(RegistryReadDword(HKEY_CURRENT_USER, "SendLog", &value));
    EXPECT_EQ(value, 0u);
}

TEST_F(NotificationDialog, WarningsKeepTheDialogOpenOrLetABadPortGoAsAutomatic) {
    ASSERT_TRUE(SettingsStore(false).StoreText("UserName", "old", 128));
    NotificationDialogContext context = Context();
    OpenDialog dialog(context);
    ASSERT_NE(dialog.Window(), nullptr);
    // Authentication without a password: warning 94, nothing stored, still open.
    dialog.Click(IDC_AUTHENTICATION);
    dialog.Type(IDC_USER_NAME, L"new");
    dialog.Click(IDOK);
    EXPECT_EQ(prompts_.Warnings(), std::vector<UINT>{IDS_ENTER_PASSWORD});
    EXPECT_TRUE(::IsWindow(dialog.Window()));
    DWORD value = 0;
    EXPECT_FALSE(RegistryReadDword(HKEY_CURRENT_USER, "AuthType", &value));

    // Without authentication and with a port too large for 16 bits: warning
    // 95, port automatic, and the stored name stays as it was.
    dialog.Click(IDC_AUTHENTICATION);
    dialog.Type(IDC_SMTP_PORT, L"65561");
    dialog.Click(IDOK);
    EXPECT_EQ(dialog.Result(), IDOK);
    EXPECT_EQ(prompts_.Warnings(), (std::vector<UINT>{IDS_ENTER_PASSWORD, IDS_INVALID_SMTP_PORT}));
    EXPECT_EQ(settings_.Mail.Get().port, 0);
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(RegistryReadBytes(HKEY_CURRENT_USER, "SMTPPort", &bytes));
    EXPECT_EQ(bytes, (std::vector<unsigned char>{0, 0}));
    ASSERT_TRUE(RegistryReadBytes(HKEY_CURRENT_USER, "UserName", &bytes));
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data()), "old");
}

TEST_F(NotificationDialog, OAuthShowsTheApplicationsFieldsInsteadOfThePasswordAndTakesThem) {
    ChangeMail(settings_, [](MailSettings& mail) {
        mail.authentication = MailAuthentication::Login;
        mail.userName = "box@contoso.com";
    });
    NotificationDialogContext context = Context();
    OpenDialog dialog(context);
    ASSERT_NE(dialog.Window(), nullptr);
    const int passwordControls[] = {IDC_PASSWORD, IDC_PASSWORD_LABEL};
    const int oauthControls[] = {IDC_OAUTH_TENANT, IDC_OAUTH_TENANT_LABEL, IDC_OAUTH_CLIENT_ID,
                                 IDC_OAUTH_CLIENT_ID_LABEL, IDC_OAUTH_SECRET, IDC_OAUTH_SECRET_LABEL};
    auto expectShown = [&](bool oauth) {
        for (int id : passwordControls) EXPECT_NE(::IsWindowVisible(dialog.Control(id)) != FALSE, oauth) << id;
        for (int id : oauthControls) EXPECT_EQ(::IsWindowVisible(dialog.Control(id)) != FALSE, oauth) << id;
    };
    expectShown(false);
    dialog.Click(IDC_AUTH_OAUTH);
    expectShown(true);
    dialog.Type(IDC_OAUTH_TENANT, L"contoso.onmicrosoft.com");
    dialog.Type(IDC_OAUTH_CLIENT_ID, L"app-id");
    dialog.Type(IDC_OAUTH_SECRET, L"app-secret");
    dialog.Click(IDOK);
    EXPECT_EQ(dialog.Result(), IDOK);
    EXPECT_TRUE(prompts_.Warnings().empty());
    const MailSettings mail = settings_.Mail.Get();
    EXPECT_EQ(mail.authentication, MailAuthentication::OAuth);
    EXPECT_EQ(mail.oauthTenant + "|" + mail.oauthClientId + "|" + mail.oauthSecret,
              "contoso.onmicrosoft.com|app-id|app-secret");
}

// Also run under an English locale (code page 1252): the Russian texts on
// screen must read right whatever the code page.
TEST(NotificationDialogTexts, ReadRightInAnyCodePage) {
    const std::string expected = Environment("MRWD_EXPECTED_ACP");
    if (!expected.empty()) EXPECT_EQ(std::to_string(::GetACP()), expected);
    Settings settings;
    RecordingPrompts prompts;
    NotificationDialogContext context{settings, SettingsStore(false), prompts};
    OpenDialog dialog(context);
    ASSERT_NE(dialog.Window(), nullptr);
    wchar_t title[128] = {};
    ::GetWindowTextW(dialog.Window(), title, 128);
    EXPECT_STREQ(title, L"Параметры уведомления");
    EXPECT_EQ(dialog.Text(IDC_RECIPIENT_LABEL), L"Адрес уведомляемого");
    EXPECT_EQ(dialog.Text(IDC_AUTH_POP_BEFORE_SMTP), L"POP до SMTP");
    EXPECT_EQ(dialog.Text(IDC_SEND_LOG), L"Каждый день отсылать журнал");
    EXPECT_EQ(dialog.Text(IDCANCEL), L"Отмена");
    EXPECT_EQ(dialog.Text(IDC_SECURITY_LABEL), L"Защита соединения");
    EXPECT_EQ(dialog.Text(IDC_TEST_MAIL), L"Проверить");
    wchar_t choice[32] = {};
    ::SendMessageW(dialog.Control(IDC_SECURITY), CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(choice));
    EXPECT_STREQ(choice, L"нет");
    EXPECT_EQ(LoadWideText(IDS_ENTER_PASSWORD), L"Укажите пароль для авторизации.");
}

}  // namespace
}  // namespace mrwd::testing
