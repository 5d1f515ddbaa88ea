#include <gtest/gtest.h>

#include <cstring>

#include "resources/resource_ids.h"
#include "ui/core/notification_model.h"

namespace mrwd {
namespace {

using F = MailField;

void SetText(char* buffer, std::size_t size, const std::string& text) {
    std::memset(buffer, 0, size);
    std::memcpy(buffer, text.data(), std::min(text.size(), size - 1));
}

void FillMail(Settings& settings, std::uint32_t authType) {
    SetText(settings.SMTPServer, sizeof settings.SMTPServer, "mail.example.org");
    settings.SMTPPort = 587;
    SetText(settings.UserEMail, sizeof settings.UserEMail, "ops@example.org");
    SetText(settings.SenderEMail, sizeof settings.SenderEMail, "kiosk@example.org");
    SetText(settings.UserName, sizeof settings.UserName, "kiosk");
    SetText(reinterpret_cast<char*>(settings.Password), sizeof settings.Password, "secret");
    settings.AuthType = authType;
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
// click), then the kind and the three marks.
TEST(NotificationModel, AuthenticationSwitchesBehaveAsTheGroupAndARadioPair) {
    struct Click {
        MailField field;
        bool checkedNow;
    };
    const struct {
        std::uint32_t start;
        std::vector<Click> clicks;
        std::uint32_t kind;
        bool auth, rfc, pop;
    } cases[] = {
        {kAuthNone, {}, kAuthNone, false, false, false},
        {kAuthRfc2554, {}, kAuthRfc2554, true, true, false},
        {kAuthPopBeforeSmtp, {}, kAuthPopBeforeSmtp, true, false, true},
        {kAuthNone, {{F::Authentication, true}}, kAuthRfc2554, true, true, false},
        // Off keeps the kind's mark (greyed); on again picks RFC 2554.
        {kAuthPopBeforeSmtp, {{F::Authentication, false}}, kAuthNone, false, false, true},
        {kAuthPopBeforeSmtp, {{F::Authentication, false}, {F::Authentication, true}}, kAuthRfc2554, true, true, false},
        {kAuthRfc2554, {{F::PopBeforeSmtp, true}}, kAuthPopBeforeSmtp, true, false, true},
        {kAuthPopBeforeSmtp, {{F::Rfc2554, true}}, kAuthRfc2554, true, true, false},
        // Clicking the chosen kind again un-checks the box; the model checks it again.
        {kAuthRfc2554, {{F::Rfc2554, false}}, kAuthRfc2554, true, true, false},
        {kAuthPopBeforeSmtp, {{F::PopBeforeSmtp, false}}, kAuthPopBeforeSmtp, true, false, true},
    };
    for (const auto& c : cases) {
        Settings settings;
        settings.AuthType = c.start;
        NotificationModel model = NotificationModel::FromSettings(settings);
        for (const Click& click : c.clicks) model.Click(click.field, click.checkedNow);
        SCOPED_TRACE(testing::Message() << "start " << c.start << ", " << c.clicks.size() << " clicks");
        EXPECT_EQ(model.AuthKind(), c.kind);
        EXPECT_EQ(model.Checked(F::Authentication), c.auth);
        EXPECT_EQ(model.Checked(F::Rfc2554), c.rfc);
        EXPECT_EQ(model.Checked(F::PopBeforeSmtp), c.pop);
        for (MailField f : {F::Rfc2554, F::PopBeforeSmtp, F::UserName, F::Password}) {
            EXPECT_EQ(model.Enabled(f), c.kind != kAuthNone);
        }
        for (MailField f : {F::Server, F::Port, F::Recipient, F::Sender, F::Authentication, F::NotifyReboot}) {
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
        std::uint32_t auth;
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
        settings.AuthType = c.auth;
        NotificationModel model = NotificationModel::FromSettings(settings);
        model.SetText(F::Port, c.port);
        model.SetText(F::UserName, c.user);
        model.SetText(F::Password, c.password);
        const MailAcceptance accepted = model.Accept();
        SCOPED_TRACE(testing::Message() << "auth " << c.auth << " port '" << c.port << "' user '" << c.user << "'");
        std::vector<unsigned> notes;
        for (const DialogWarning& note : accepted.notes) notes.push_back(note.stringId);
        EXPECT_EQ(notes, c.notes);
        EXPECT_EQ(accepted.blocking.has_value(), c.blocking != 0);
        if (accepted.blocking) {
            EXPECT_EQ(accepted.blocking->stringId, c.blocking);
            EXPECT_EQ(accepted.blocking->field, c.focus);
        } else if (!notes.empty()) {
            EXPECT_EQ(accepted.port, 0) << "an invalid port means automatic";
        }
    }
}

TEST(NotificationModel, RoundTripsTheSettingsAndCutsTextsToTheirBuffers) {
    Settings settings;
    FillMail(settings, kAuthRfc2554);
    settings.NotifyReboot = 1;
    NotificationModel model = NotificationModel::FromSettings(settings);
    EXPECT_EQ(model.Text(F::Port), "587");
    EXPECT_EQ(model.Text(F::Password), "secret");

    Settings copy;
    ApplyAcceptance(model.Accept(), copy);
    EXPECT_STREQ(copy.SMTPServer, "mail.example.org");
    EXPECT_EQ(copy.SMTPPort, 587);
    EXPECT_STREQ(copy.UserEMail, "ops@example.org");
    EXPECT_STREQ(copy.SenderEMail, "kiosk@example.org");
    EXPECT_STREQ(copy.UserName, "kiosk");
    EXPECT_STREQ(reinterpret_cast<const char*>(copy.Password), "secret");
    EXPECT_EQ(copy.AuthType, kAuthRfc2554);
    EXPECT_EQ(copy.NotifyReboot, 1u);
    EXPECT_EQ(copy.SendLog, 0u);
    EXPECT_EQ(copy.MailConfigured, 1);

    // Longer texts than the buffers take are cut, never overrun; 127
    // characters of password fill its buffer with the zero.
    model.SetText(F::Server, std::string(400, 's'));
    model.SetText(F::UserName, std::string(300, 'u'));
    model.SetText(F::Password, std::string(127, 'p'));
    const MailAcceptance accepted = model.Accept();
    EXPECT_EQ(accepted.server.size(), 259u);
    EXPECT_EQ(accepted.userName.size(), 127u);
    EXPECT_EQ(accepted.password, std::string(127, 'p'));
    ApplyAcceptance(accepted, copy);
    EXPECT_EQ(std::strlen(copy.SMTPServer), 259u);
    EXPECT_EQ(copy.Password[126], 'p');
    EXPECT_EQ(copy.Password[127], 0);

    // Without authentication the name and password in memory stay as they were.
    model.Click(F::Authentication, false);
    model.SetText(F::UserName, "other");
    ApplyAcceptance(model.Accept(), copy);
    EXPECT_EQ(copy.AuthType, kAuthNone);
    EXPECT_EQ(std::string(copy.UserName), std::string(127, 'u'));
}

}  // namespace
}  // namespace mrwd
