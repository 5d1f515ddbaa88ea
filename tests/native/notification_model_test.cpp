#include <gtest/gtest.h>

#include <cstring>

#include "resources/resource_ids.h"
#include "ui/core/notification_model.h"

namespace mrwd {
namespace {

using F = MailField;

constexpr MailAuthentication kAuthNone = MailAuthentication::None;
constexpr MailAuthentication kAuthRfc2554 = MailAuthentication::Login;
constexpr MailAuthentication kAuthPopBeforeSmtp = MailAuthentication::PopBeforeSmtp;
constexpr MailAuthentication kAuthOAuth = MailAuthentication::OAuth;
constexpr MailAuthentication kAuthUnknown = static_cast<MailAuthentication>(7);  // a value no dialog wrote

void SetAuthentication(Settings& settings, MailAuthentication kind) {
    MailSettings mail = settings.Mail.Get();
    mail.authentication = kind;
    settings.Mail.Set(mail);
}

void FillMail(Settings& settings, MailAuthentication kind) {
    MailSettings mail;
    mail.server = "mail.example.org";
    mail.port = 587;
    mail.recipient = "ops@example.org";
    mail.sender = "kiosk@example.org";
    mail.userName = "kiosk";
    mail.password = "secret";
    mail.authentication = kind;
    mail.security = MailSecurity::StartTls;
    mail.certSha256 = "00ff";
    mail.oauthTenant = "contoso.onmicrosoft.com";
    mail.oauthClientId = "app";
    mail.oauthSecret = "app-secret";
    settings.Mail.Set(mail);
}

TEST(SmtpPort, OnlyANumberUpTo65535IsAPort) {
    const struct {
        const char* text;
        std::optional<std::uint16_t> port;
    } cases[] = {
        {"25", 25},          {" 587 ", 587},      {"0", 0},           {"65535", 65535},
        {"65536", {}},       {"99999999999", {}}, {"", {}},           {"   ", {}},
        {"2a5", {}},         {"-1", {}},          {"+25", {}},        {"25 25", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseSmtpPort(c.text), c.port) << '"' << c.text << '"';
}

// A row: the kind at the start, the clicks (field and check state after the
// click), then the kind and the four marks. The OAuth mark alone decides
// whether the application's fields or the password are shown.
TEST(NotificationModel, AuthenticationSwitchesBehaveAsTheGroupAndRadioButtons) {
    struct Click {
        MailField field;
        bool checkedNow;
    };
    const struct {
        MailAuthentication start;
        std::vector<Click> clicks;
        MailAuthentication kind;
        bool auth, rfc, pop, oauth;
    } cases[] = {
        {kAuthNone, {}, kAuthNone, false, false, false, false},
        {kAuthRfc2554, {}, kAuthRfc2554, true, true, false, false},
        {kAuthPopBeforeSmtp, {}, kAuthPopBeforeSmtp, true, false, true, false},
        {kAuthOAuth, {}, kAuthOAuth, true, false, false, true},
        {kAuthNone, {{F::Authentication, true}}, kAuthRfc2554, true, true, false, false},
        // Off keeps the kind's mark (greyed, its fields still shown); on again picks RFC 2554.
        {kAuthPopBeforeSmtp, {{F::Authentication, false}}, kAuthNone, false, false, true, false},
        {kAuthOAuth, {{F::Authentication, false}}, kAuthNone, false, false, false, true},
        {kAuthOAuth, {{F::Authentication, false}, {F::Authentication, true}}, kAuthRfc2554, true, true, false, false},
        {kAuthRfc2554, {{F::PopBeforeSmtp, true}}, kAuthPopBeforeSmtp, true, false, true, false},
        {kAuthPopBeforeSmtp, {{F::Rfc2554, true}}, kAuthRfc2554, true, true, false, false},
        {kAuthRfc2554, {{F::OAuth, true}}, kAuthOAuth, true, false, false, true},
        {kAuthOAuth, {{F::Rfc2554, true}}, kAuthRfc2554, true, true, false, false},
        {kAuthOAuth, {{F::PopBeforeSmtp, true}}, kAuthPopBeforeSmtp, true, false, true, false},
        // Clicking the chosen kind again un-checks the box; the model checks it again.
        {kAuthRfc2554, {{F::Rfc2554, false}}, kAuthRfc2554, true, true, false, false},
        {kAuthPopBeforeSmtp, {{F::PopBeforeSmtp, false}}, kAuthPopBeforeSmtp, true, false, true, false},
        {kAuthOAuth, {{F::OAuth, false}}, kAuthOAuth, true, false, false, true},
        // A greyed kind takes no click.
        {kAuthNone, {{F::OAuth, true}}, kAuthNone, false, false, false, false},
        // A stored kind the dialog does not know marks none, and any click replaces it.
        {kAuthUnknown, {}, kAuthUnknown, true, false, false, false},
        {kAuthUnknown, {{F::OAuth, true}}, kAuthOAuth, true, false, false, true},
    };
    for (const auto& c : cases) {
        Settings settings;
        SetAuthentication(settings, c.start);
        NotificationModel model = NotificationModel::FromSettings(settings);
        for (const Click& click : c.clicks) model.Click(click.field, click.checkedNow);
        SCOPED_TRACE(testing::Message() << "start " << static_cast<int>(c.start) << ", " << c.clicks.size() << " clicks");
        EXPECT_EQ(model.AuthKind(), c.kind);
        EXPECT_EQ(model.Checked(F::Authentication), c.auth);
        EXPECT_EQ(model.Checked(F::Rfc2554), c.rfc);
        EXPECT_EQ(model.Checked(F::PopBeforeSmtp), c.pop);
        EXPECT_EQ(model.Checked(F::OAuth), c.oauth);
        EXPECT_EQ(model.Visible(F::Password), !c.oauth);
        for (MailField f : {F::OAuthTenant, F::OAuthClientId, F::OAuthSecret}) EXPECT_EQ(model.Visible(f), c.oauth);
        EXPECT_TRUE(model.Visible(F::UserName)) << "the mailbox with OAuth";
        for (MailField f : {F::Rfc2554, F::PopBeforeSmtp, F::OAuth, F::UserName, F::Password, F::OAuthTenant,
                            F::OAuthClientId, F::OAuthSecret}) {
            EXPECT_EQ(model.Enabled(f), c.kind != kAuthNone);
        }
        for (MailField f : {F::Server, F::Port, F::Recipient, F::Sender, F::Authentication, F::NotifyReboot,
                            F::Security, F::Test}) {
            EXPECT_TRUE(model.Enabled(f));
        }
    }
}

TEST(NotificationModel, DailyLogNeedsTheEventLogButKeepsItsMark) {
    Settings settings;
    settings.SendLog = 1;
    settings.Log = 0;
    NotificationModel model = NotificationModel::FromSettings(settings);
    EXPECT_FALSE(model.Enabled(F::SendLog));
    EXPECT_TRUE(model.Checked(F::SendLog));
    EXPECT_TRUE(model.Accept().sendLog);
    settings.Log = 1;
    EXPECT_TRUE(NotificationModel::FromSettings(settings).Enabled(F::SendLog));
}

TEST(NotificationModel, OkChecksThePortThenTheNameThenThePassword) {
    const struct {
        MailAuthentication auth;
        const char* port;
        const char* user;
        const char* password;
        std::vector<unsigned> notes;
        unsigned blocking;  // 0: OK goes through
        MailField focus;
    } cases[] = {
        {kAuthNone, "25", "", "", {}, 0, F::Server},
        {kAuthNone, "", "", "", {IDS_INVALID_SMTP_PORT}, 0, F::Server},
        {kAuthNone, "70000", "", "", {IDS_INVALID_SMTP_PORT}, 0, F::Server},
        {kAuthRfc2554, "25", "", "pw", {}, IDS_ENTER_USER_NAME, F::UserName},
        {kAuthRfc2554, "x", "", "", {IDS_INVALID_SMTP_PORT}, IDS_ENTER_USER_NAME, F::UserName},
        {kAuthPopBeforeSmtp, "25", "kiosk", "", {}, IDS_ENTER_PASSWORD, F::Password},
        {kAuthPopBeforeSmtp, "25", "kiosk", "pw", {}, 0, F::Server},
    };
    for (const auto& c : cases) {
        Settings settings;
        SetAuthentication(settings, c.auth);
        NotificationModel model = NotificationModel::FromSettings(settings);
        model.SetText(F::Port, c.port);
        model.SetText(F::UserName, c.user);
        model.SetText(F::Password, c.password);
        const MailAcceptance accepted = model.Accept();
        SCOPED_TRACE(testing::Message() << "auth " << static_cast<int>(c.auth) << " port '" << c.port << "' user '"
                                        << c.user << "'");
        std::vector<unsigned> notes;
        for (const DialogWarning& note : accepted.notes) notes.push_back(note.stringId);
        EXPECT_EQ(notes, c.notes);
        EXPECT_EQ(accepted.blocking.has_value(), c.blocking != 0);
        if (accepted.blocking) {
            EXPECT_EQ(accepted.blocking->stringId, c.blocking);
            EXPECT_EQ(accepted.blocking->field, c.focus);
        } else if (!notes.empty()) {
            EXPECT_EQ(accepted.mail.port, 0) << "an invalid port means automatic";
        }
    }
}

// The mailbox first, then the fields in the order shown; the tenant may be
// left out only when a token URL of its own is stored.
TEST(NotificationModel, OkWithOAuthNeedsTheMailboxAndTheApplication) {
    const struct {
        const char *user, *tenant, *clientId, *secret, *tokenUrl;  // the token URL stored, not shown
        unsigned blocking;                                          // 0: OK goes through
        MailField focus;
    } cases[] = {
        {"", "", "", "", "", IDS_ENTER_USER_NAME, F::UserName},
        {"box@contoso.com", "", "app", "s", "", IDS_ENTER_OAUTH_TENANT, F::OAuthTenant},
        {"box@contoso.com", "contoso.onmicrosoft.com", "", "s", "", IDS_ENTER_OAUTH_CLIENT_ID, F::OAuthClientId},
        {"box@contoso.com", "contoso.onmicrosoft.com", "app", "", "", IDS_ENTER_OAUTH_SECRET, F::OAuthSecret},
        {"box@contoso.com", "contoso.onmicrosoft.com", "app", "s", "", 0, F::Server},
        {"box@contoso.com", "", "app", "s", "https://login.example.org/token", 0, F::Server},
        {"box@contoso.com", "", "", "s", "https://login.example.org/token", IDS_ENTER_OAUTH_CLIENT_ID, F::OAuthClientId},
    };
    for (const auto& c : cases) {
        Settings settings;
        FillMail(settings, kAuthOAuth);
        MailSettings stored = settings.Mail.Get();
        stored.oauthTokenUrl = c.tokenUrl;
        settings.Mail.Set(stored);
        NotificationModel model = NotificationModel::FromSettings(settings);
        model.SetText(F::UserName, c.user);
        model.SetText(F::Password, "");  // not asked for with OAuth
        model.SetText(F::OAuthTenant, c.tenant);
        model.SetText(F::OAuthClientId, c.clientId);
        model.SetText(F::OAuthSecret, c.secret);
        const MailAcceptance accepted = model.Accept();
        SCOPED_TRACE(testing::Message() << "user '" << c.user << "' tenant '" << c.tenant << "' id '" << c.clientId
                                        << "' secret '" << c.secret << "' url '" << c.tokenUrl << "'");
        ASSERT_EQ(accepted.blocking.has_value(), c.blocking != 0);
        if (accepted.blocking) {
            EXPECT_EQ(accepted.blocking->stringId, c.blocking);
            EXPECT_EQ(accepted.blocking->field, c.focus);
            continue;
        }
        const MailSettings& mail = accepted.mail;
        EXPECT_EQ(mail.userName + "|" + mail.oauthTenant + "|" + mail.oauthClientId + "|" + mail.oauthSecret + "|" +
                      mail.oauthTokenUrl,
                  std::string(c.user) + "|" + c.tenant + "|" + c.clientId + "|" + c.secret + "|" + c.tokenUrl);
        EXPECT_EQ(mail.password, "secret") << "the other kinds' password stays as stored";
        EXPECT_TRUE(MailSettingsComplete(mail));
    }
}

// Texts cut to their buffers; with another kind, or none, what was typed into
// the hidden fields is not taken and the stored values stay.
TEST(NotificationModel, OAuthValuesAreCutOrKeptAsStored) {
    Settings settings;
    FillMail(settings, kAuthOAuth);
    NotificationModel model = NotificationModel::FromSettings(settings);
    EXPECT_EQ(model.Text(F::OAuthSecret), "app-secret");
    model.SetText(F::OAuthTenant, std::string(300, 't'));
    model.SetText(F::OAuthClientId, std::string(300, 'c'));
    model.SetText(F::OAuthSecret, std::string(200, 's'));
    const MailSettings cut = model.Accept().mail;
    EXPECT_EQ(cut.oauthTenant.size() + cut.oauthClientId.size(), 2 * 259u);
    EXPECT_EQ(cut.oauthSecret, std::string(127, 's'));
    for (MailField other : {F::Rfc2554, F::Authentication}) {
        NotificationModel switched = model;
        switched.Click(other, other == F::Rfc2554);
        const MailSettings kept = switched.Accept().mail;
        EXPECT_EQ(kept.oauthTenant + "|" + kept.oauthClientId + "|" + kept.oauthSecret,
                  "contoso.onmicrosoft.com|app|app-secret");
    }
}

TEST(NotificationModel, RoundTripsTheSettingsAndCutsTextsToTheirBuffers) {
    Settings settings;
    FillMail(settings, kAuthRfc2554);
    settings.NotifyReboot = 1;
    NotificationModel model = NotificationModel::FromSettings(settings);
    EXPECT_EQ(model.Text(F::Port), "587");
    EXPECT_EQ(model.Text(F::Password), "secret");
    EXPECT_EQ(model.Security(), MailSecurity::StartTls);

    Settings copy;
    ApplyAcceptance(model.Accept(), copy);
    const MailSettings mail = copy.Mail.Get();
    EXPECT_EQ(mail.server, "mail.example.org");
    EXPECT_EQ(mail.port, 587);
    EXPECT_EQ(mail.recipient, "ops@example.org");
    EXPECT_EQ(mail.sender, "kiosk@example.org");
    EXPECT_EQ(mail.userName, "kiosk");
    EXPECT_EQ(mail.password, "secret");
    EXPECT_EQ(mail.authentication, kAuthRfc2554);
    EXPECT_EQ(mail.security, MailSecurity::StartTls);
    EXPECT_EQ(mail.certSha256, "00ff") << "a value the dialog does not show stays";
    EXPECT_EQ(copy.NotifyReboot, 1u);
    EXPECT_EQ(copy.SendLog, 0u);
    EXPECT_EQ(copy.MailConfigured, 1);

    // Longer texts than the buffers take are cut, never overrun; 127
    // characters of password fill its buffer with the zero.
    model.SetText(F::Server, std::string(400, 's'));
    model.SetText(F::UserName, std::string(300, 'u'));
    model.SetText(F::Password, std::string(127, 'p'));
    model.SetSecurity(MailSecurity::Tls);
    const MailAcceptance accepted = model.Accept();
    EXPECT_EQ(accepted.mail.server.size(), 259u);
    EXPECT_EQ(accepted.mail.userName.size(), 127u);
    EXPECT_EQ(accepted.mail.password, std::string(127, 'p'));
    EXPECT_EQ(accepted.mail.security, MailSecurity::Tls);

    // Without authentication the name and password stay as they were.
    model.Click(F::Authentication, false);
    model.SetText(F::UserName, "other");
    ApplyAcceptance(model.Accept(), copy);
    EXPECT_EQ(copy.Mail.Get().authentication, kAuthNone);
    EXPECT_EQ(copy.Mail.Get().userName, "kiosk");
}

}  // namespace
}  // namespace mrwd
