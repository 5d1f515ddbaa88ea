// The notification sender inside this process: every mail of the engine
// through the real server, one dialogue at a time under the lock, and the
// log lines of a send.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "base/core/settings.h"
#include "base/win/event_log.h"
#include "notify/core/smtp_client.h"
#include "notify/win/notifications.h"
#include "supervision/win/win_engine_system.h"
#include "tests/harness/mail_account.h"
#include "tests/harness/mail_servers.h"
#include "tests/harness/modal_dialog.h"
#include "tests/harness/quiet_ui_events.h"
#include "tests/harness/win_harness.h"
#include "resources/resource_ids.h"
#include "ui/win/notification_dialog.h"

namespace mrwd::testing {
namespace {

namespace fs = std::filesystem;

const char kSignature[] = "\r\n\r\n--\r\n\r\nТехническая поддержка:\tmailto:support@marotel.example";
const char kFrom[] = "Сообщение от Marotel ZedevUdo Server:\r\n\r\n\t";

// The whole log of this process, as UTF-8.
std::string LogText() {
    std::string text;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(ProcessLogFolder(), error)) {
        text += Utf8FromCp1251(ReadWholeFile(entry.path().string()));
    }
    return text;
}

std::string Unique(const char* prefix) { return prefix + std::to_string(::GetTickCount64()); }

class Notifications : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scripted_.Available() && real_.Available()) << "run under with-mailservers";
        settings_.Log = 1;
    }

    // No user name: no authentication.
    void PointMailAt(std::uint16_t port, const std::string& user, const std::string& password,
                     const std::string& recipient = kTestRecipient) {
        PointMailSettingsAt(settings_, port, user, password, recipient);
    }

    static std::unique_ptr<CMessage> Message(const std::string& body) {
        auto message = std::make_unique<CMessage>();
        message->SetSubject("Test");
        message->FormatBody("%s", body.c_str());
        return message;
    }

    ScriptedMailServer scripted_;
    RealMailServer real_;
    Settings settings_;
    EventLog log_{settings_.Log};
    const std::string outbox_ = FreshTestFolder("outbox_");
    NotificationSender sender_{settings_, log_, outbox_};
};

TEST_F(Notifications, EveryMailOfTheEngineArrivesWithItsSubjectAndBody) {
    PointMailAt(real_.Port(), real_.User(), real_.Password());
    const std::string path = "C:\\Kiosk\\Terminal.exe";
    const struct {
        EngineNotice notice;
        bool wait;
        const char* subject;
        std::string event;
    } cases[] = {
        {EngineNotice::ProgramRestart, false, "Сбой программы", "Перезапуск номер 5, программы " + path + "."},
        {EngineNotice::ProgramHang, false, "Перезагрузка системы",
         "Перезагрузка компьютера! Зависание программы " + path + "."},
        {EngineNotice::SystemHang, true, "Перезагрузка системы", "Перезагрузка компьютера! Зависание системы."},
        {EngineNotice::HardwareReboot, false, "Перезагрузка системы",
         "Была произведена аппаратная перезагрузка системы!"},
        {EngineNotice::SoftwareReboot, true, "Перезагрузка системы", "Перезагрузка Windows..."},
        {EngineNotice::CardReboot, true, "Перезагрузка системы", "Перезагрузка Windows при помощи контроллера..."},
    };
    QuietUiEvents ui;
    const EngineServices services{settings_, SettingsStore(false), log_, sender_, ui};
    const std::atomic<bool> supervisionOn{true};
    WinEngineSystem system(services, nullptr, supervisionOn);
    std::size_t sent = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.event);
        system.Notify(c.notice, 5, path, c.wait);
        // A waiting send has delivered when it returns.
        if (c.wait) EXPECT_EQ(real_.MailCount(), sent + 1);
        ASSERT_TRUE(real_.WaitForMails(++sent, kDeadlineMs));
        const DeliveredMail mail = real_.Mail(sent - 1);
        EXPECT_EQ(mail.fields.at("subject"), c.subject);
        // No delimiter follows the only part: its closing CR LF stays in it.
        EXPECT_EQ(mail.body, kFrom + c.event + kSignature + "\r\n");
        EXPECT_EQ(mail.fields.at("from"), "MR ZedevUdo Server <watchdog@kiosk.example>");
        EXPECT_EQ(mail.fields.at("to"), kTestRecipient);
        EXPECT_NE(mail.raw.find("\r\nX-Mailer: MR ZedevUdo Server\r\n"), std::string::npos);
        EXPECT_TRUE(mail.attachments.empty());
    }
    sender_.WaitForBackgroundNotifications(kDeadlineMs);
    EXPECT_EQ(sender_.BackgroundNotifications(), 0);
}

TEST_F(Notifications, SendsTakeTurnsUnderTheLock) {
    scripted_.SetScript("delay_ms 100");
    PointMailAt(scripted_.SmtpPort(), "", "");
    for (int i = 0; i < 3; ++i) sender_.SendNotificationInBackground(Message("background " + std::to_string(i)));
    sender_.SendNotification(Message("waiting"));
    ASSERT_TRUE(scripted_.WaitForClosedSessions(4, kDeadlineMs));
    const std::vector<MailSession> sessions = scripted_.Sessions();
    ASSERT_EQ(sessions.size(), 4u);
    EXPECT_TRUE(SessionsApart(sessions));
    std::string all;
    for (const MailSession& s : sessions) all += scripted_.Received(s);
    for (const char* body : {"background 0", "background 1", "background 2", "waiting"}) {
        EXPECT_NE(all.find(std::string("\r\n\r\n") + body + "\r\n\r\n.\r\n"), std::string::npos) << body;
    }
}

TEST_F(Notifications, WithoutMailSettingsNothingIsSentOrLogged) {
    const std::string recipient = Unique("nobody") + "@kiosk.example";
    PointMailAt(scripted_.SmtpPort(), "", "", recipient);
    MailSettings mail = settings_.Mail.Get();
    mail.server.clear();
    settings_.Mail.Set(mail);
    settings_.MailConfigured = ComputeMailConfigured(settings_) ? 1 : 0;
    ASSERT_EQ(settings_.MailConfigured, 0);
    sender_.SendNotification(Message("never sent"));
    ::Sleep(500);
    EXPECT_TRUE(scripted_.Sessions().empty());
    EXPECT_EQ(LogText().find(recipient), std::string::npos);
}

TEST_F(Notifications, EachSendIsLoggedWithItsOutcome) {
    const std::string recipient = Unique("ops") + "@kiosk.example";
    PointMailAt(scripted_.SmtpPort(), "", "", recipient);
    const std::string delivered = Unique("delivered ");
    sender_.SendNotification(Message(delivered));
    std::string log = LogText();
    const std::size_t sending = log.find("Отправка уведомления на адрес " + recipient + ".");
    ASSERT_NE(sending, std::string::npos);
    EXPECT_NE(log.find("Уведомление успешно отправлено.", sending), std::string::npos);

    // A refusal: line 78 with the server's reply and the whole body.
    scripted_.SetScript("reply MAIL 550 5.1.0 Sender rejected");
    const std::string refused = Unique("refused ");
    sender_.SendNotification(Message(refused + "\r\nsecond line"));
    log = LogText();
    // The reply's own line end ends the description: no empty line follows it.
    const std::size_t failure = log.find("Ошибка уведомления!\r\nОписание ошибки: 550 5.1.0 Sender rejected\r\n"
                                         "Текст сообщения: " + refused + "\r\nsecond line\r\n");
    ASSERT_NE(failure, std::string::npos) << log.substr(sending);

    // A server nobody answers at: the client's own text.
    scripted_.SetScript("mode drop");
    sender_.SendNotification(Message(Unique("dropped ")));
    EXPECT_NE(LogText().find("Описание ошибки: Socket receive error: 10054\r\nТекст сообщения: "), std::string::npos);
}

// The hang mail raised in the background and the reboot mail sent right
// after it (waiting) must leave in that order, however the threads run.
TEST_F(Notifications, MailsLeaveInTheOrderTheyWereRaised) {
    PointMailAt(scripted_.SmtpPort(), "", "");
    for (int round = 0; round < 3; ++round) {
        const std::string first = Unique("raised first "), second = Unique("raised second ");
        const std::size_t before = scripted_.Sessions().size();
        sender_.SendNotificationInBackground(Message(first));
        sender_.SendNotification(Message(second));
        ASSERT_TRUE(scripted_.WaitForClosedSessions(before + 2, kDeadlineMs));
        const std::vector<MailSession> sessions = scripted_.Sessions();
        ASSERT_EQ(sessions.size(), before + 2);
        EXPECT_NE(scripted_.Received(sessions[before]).find(first), std::string::npos) << "round " << round;
        EXPECT_NE(scripted_.Received(sessions[before + 1]).find(second), std::string::npos) << "round " << round;
    }
}

// The end of the server with a mail stuck on a silent server and another
// waiting behind it: the first is broken off, both are kept in the outbox,
// both logged, no mail thread is left; and the next send takes both along
// first, in their order, each once.
TEST_F(Notifications, EndOfTheServerBreaksOffAndKeepsMailsForTheNextSend) {
    scripted_.SetScript("mode silent");
    PointMailAt(scripted_.SmtpPort(), "", "");
    const std::string stuck = Unique("stuck "), behind = Unique("behind ");
    sender_.SendNotificationInBackground(Message(stuck));
    sender_.SendNotificationInBackground(Message(behind));
    ASSERT_TRUE(WaitUntil([&] { return scripted_.Sessions().size() == 1; }, kDeadlineMs));
    sender_.EndAll();
    EXPECT_EQ(sender_.BackgroundNotifications(), 0);
    const std::string log = LogText();
    EXPECT_NE(log.find("Описание ошибки: Socket receive error: 10004\r\nТекст сообщения: " + stuck), std::string::npos)
        << "the mail in progress ends with a failure line";
    const char kKept[] = "Уведомление сохранено в папке Outbox и будет отправлено позже.\r\nТекст сообщения: ";
    EXPECT_NE(log.find(kKept + stuck), std::string::npos);
    EXPECT_NE(log.find(kKept + behind), std::string::npos);
    EXPECT_EQ(sender_.OutboxState().kept, 2u);

    // The sender works again afterwards (a service may run the server anew).
    scripted_.SetScript("");
    const std::string after = Unique("after ");
    sender_.SendNotification(Message(after));
    ASSERT_TRUE(scripted_.WaitForClosedSessions(4, kDeadlineMs));
    const std::vector<MailSession> sessions = scripted_.Sessions();
    ASSERT_EQ(sessions.size(), 4u);
    EXPECT_NE(scripted_.Received(sessions[1]).find(stuck), std::string::npos);
    EXPECT_NE(scripted_.Received(sessions[2]).find(behind), std::string::npos);
    EXPECT_NE(scripted_.Received(sessions[3]).find(after), std::string::npos);
    EXPECT_EQ(sender_.OutboxState().kept, 0u);
    EXPECT_EQ(sender_.OutboxState().sent, 3u);
    EXPECT_NE(LogText().find("Отправлено уведомление из папки Outbox.\r\nТекст сообщения: " + behind), std::string::npos);
}

// A server that refuses a mail for good (5xx to the mail) loses only that
// mail; one that refuses for now (4xx) keeps it, and the mails behind it wait.
TEST_F(Notifications, APermanentRefusalDropsTheMailATemporaryOneKeepsIt) {
    PointMailAt(scripted_.SmtpPort(), "", "");
    scripted_.SetScript("reply RCPT 550 5.1.1 no such user");
    const std::string refused = Unique("refused ");
    sender_.SendNotification(Message(refused));
    EXPECT_EQ(sender_.OutboxState().kept, 0u);
    EXPECT_EQ(sender_.OutboxState().dropped, 1u);
    EXPECT_NE(LogText().find("Сервер отказался принять уведомление, оно удалено из папки Outbox.\r\nТекст сообщения: " +
                             refused),
              std::string::npos);

    scripted_.SetScript("reply MAIL 451 4.3.0 try again later");
    sender_.SendNotification(Message(Unique("later ")));
    sender_.SendNotification(Message(Unique("behind ")));
    EXPECT_EQ(sender_.OutboxState().kept, 2u);
    // One try per send: the oldest, which fails; the one behind it is not tried.
    EXPECT_EQ(scripted_.Sessions().size(), 3u);
    EXPECT_EQ(std::filesystem::directory_iterator(outbox_) == std::filesystem::directory_iterator(), false);
}

// Microsoft 365's way: the application's token from the token endpoint over
// HTTPS, AUTH XOAUTH2 inside STARTTLS, the token kept for the next mail and
// fetched again once the server refuses it; a refused application is logged
// with the endpoint's error and its mail kept.
TEST_F(Notifications, OAuthMailGoesOutWithTheApplicationsTokenAndARefusedOneIsFetchedAgain) {
    ASSERT_TRUE(TrustTestAuthority()) << "the test authority cannot be added to the root store";
    const std::string state = WindowsPathOf(Environment("MRWD_REALSMTP_DIR")) + "\\";
    // Lines of the test server's OAuth log holding `word`.
    const auto oauthLines = [&](const std::string& word) {
        const std::string log = ReadWholeFile(state + "oauth.log");
        int count = 0;
        for (std::size_t at = log.find(word); at != std::string::npos; at = log.find(word, at + 1)) ++count;
        return count;
    };
    const auto tokensIssued = [&] { return oauthLines("token "); };
    PointMailAt(real_.TlsPort(), real_.User(), real_.Password(), kTestRecipient);
    MailSettings mail = settings_.Mail.Get();
    mail.security = MailSecurity::StartTls;
    mail.server = "localhost";
    mail.authentication = MailAuthentication::OAuth;
    mail.userName = real_.User();
    mail.oauthClientId = "mrwd-test-app";
    mail.oauthSecret = real_.Password();
    mail.oauthTokenUrl = "https://localhost:" + Environment("MRWD_OAUTH_PORT") + "/contoso/oauth2/v2.0/token";
    mail.password.clear();
    settings_.Mail.Set(mail);
    settings_.MailConfigured = ComputeMailConfigured(settings_) ? 1 : 0;
    ASSERT_EQ(settings_.MailConfigured, 1);
    const std::size_t before = real_.MailCount();

    sender_.SendNotification(Message(Unique("first ")));
    sender_.SendNotification(Message(Unique("second ")));
    ASSERT_TRUE(real_.WaitForMails(before + 2, kDeadlineMs)) << LogText();
    EXPECT_EQ(tokensIssued(), 1) << "one token for both mails";

    // The server no longer takes it (revoked, or run out early): one more fetch.
    { std::ofstream revoke(state + "oauth-revoke"); }
    sender_.SendNotification(Message(Unique("third ")));
    ASSERT_TRUE(real_.WaitForMails(before + 3, kDeadlineMs)) << LogText();
    EXPECT_EQ(tokensIssued(), 2);

    // A token that has run out is fetched again before the server sees it:
    // one of 2 s is renewed after half of it.
    { std::ofstream expires(state + "oauth-expires"); expires << "2\n"; }
    { std::ofstream revoke(state + "oauth-revoke"); }
    sender_.SendNotification(Message(Unique("short-lived ")));
    ASSERT_TRUE(real_.WaitForMails(before + 4, kDeadlineMs)) << LogText();
    EXPECT_EQ(tokensIssued(), 3);
    const int refusedBefore = oauthLines("refused");
    ::Sleep(1500);
    sender_.SendNotification(Message(Unique("renewed ")));
    ASSERT_TRUE(real_.WaitForMails(before + 5, kDeadlineMs)) << LogText();
    EXPECT_EQ(tokensIssued(), 4) << "the expired token was used";
    EXPECT_EQ(oauthLines("refused"), refusedBefore) << "offered to the server first";

    mail.oauthSecret = "not-the-secret";
    settings_.Mail.Set(mail);
    const std::string kept = Unique("kept ");
    sender_.SendNotification(Message(kept));
    EXPECT_EQ(real_.MailCount(), before + 5);
    EXPECT_EQ(sender_.OutboxState().kept, 1u);
    const std::string log = LogText();
    EXPECT_NE(log.find("invalid_client: AADSTS7000215"), std::string::npos) << log;
    EXPECT_EQ(log.find("not-the-secret"), std::string::npos) << "the secret in the log";
    EXPECT_EQ(log.find("tok1-"), std::string::npos) << "a token in the log";
}

// The end of the server while a mail waits for a name look-up that never
// answers: the look-up is abandoned, not waited for.
TEST_F(Notifications, EndOfTheServerDoesNotWaitForAHungLookUp) {
    const std::string name = Environment("MRWD_SILENT_DNS_NAME");
    ASSERT_FALSE(name.empty()) << "run under with-mailservers";
    PointMailAt(scripted_.SmtpPort(), "", "");
    MailSettings mail = settings_.Mail.Get();
    mail.server = name;
    settings_.Mail.Set(mail);
    const std::string body = Unique("looked up ");
    sender_.SendNotificationInBackground(Message(body));
    ASSERT_TRUE(WaitUntil([&] { return LogText().find("Отправка уведомления на адрес") != std::string::npos; },
                          kDeadlineMs));
    std::atomic<bool> ended{false};
    std::thread ending([&] {
        sender_.EndAll();
        ended = true;
    });
    EXPECT_TRUE(WaitUntil([&] { return ended.load(); }, kDeadlineMs));
    ending.join();
    EXPECT_EQ(sender_.BackgroundNotifications(), 0);
}

class NoPrompts : public DialogPrompts {
public:
    void Warn(HWND, UINT) override {}
    void Inform(HWND, UINT) override {}
    std::optional<std::string> ChooseFile(HWND, UINT, const std::string&) override { return std::nullopt; }
    std::optional<std::string> ChooseFolder(HWND, UINT) override { return std::nullopt; }
};

// The window thread opens the notification settings and takes their OK while
// a mail is stuck on a server that never answers: neither waits for it, and
// the mail in progress keeps the settings it started with.
TEST_F(Notifications, SettingsDialogNeverWaitsForAMailOnItsWay) {
    CleanSettings clean;
    scripted_.SetScript("mode silent");
    PointMailAt(scripted_.SmtpPort(), "", "");
    sender_.SendNotificationInBackground(Message(Unique("stuck ")));
    ASSERT_TRUE(WaitUntil([&] { return scripted_.Sessions().size() == 1; }, kDeadlineMs));
    NoPrompts prompts;
    NotificationDialogContext context{settings_, SettingsStore(false), prompts};
    {
        ModalDialog dialog([&] { return RunNotificationDialog(::GetModuleHandleW(nullptr), nullptr, context); });
        ASSERT_NE(dialog.Window(), nullptr);
        EXPECT_EQ(sender_.BackgroundNotifications(), 1) << "the dialog came up only after the mail had ended";
        dialog.Type(IDC_SMTP_SERVER, L"changed.example");
        dialog.Click(IDOK);
        EXPECT_EQ(dialog.Result(), IDOK);
        EXPECT_EQ(sender_.BackgroundNotifications(), 1) << "OK waited for the mail";
    }
    EXPECT_EQ(settings_.Mail.Get().server, "changed.example");
    sender_.EndAll();
    EXPECT_EQ(scripted_.Sessions().size(), 1u);
}

// "Проверить" sends with the values as typed, off the window thread, and
// shows the outcome in the dialog; nothing is stored.
TEST_F(Notifications, TestButtonSendsTheTypedValuesAndShowsTheOutcome) {
    CleanSettings clean;
    PointMailAt(1, "", "", "stored@kiosk.example");
    const MailSettings stored = settings_.Mail.Get();
    NoPrompts prompts;
    NotificationDialogContext context{settings_, SettingsStore(false), prompts};
    ModalDialog dialog([&] { return RunNotificationDialog(::GetModuleHandleW(nullptr), nullptr, context); });
    ASSERT_NE(dialog.Window(), nullptr);
    dialog.Type(IDC_SMTP_PORT, std::to_wstring(scripted_.SmtpPort()).c_str());
    dialog.Type(IDC_RECIPIENT, L"typed@kiosk.example");
    auto chooseSecurity = [&](int index) {
        ::SendMessageW(dialog.Control(IDC_SECURITY), CB_SETCURSEL, index, 0);
        ::SendMessageW(dialog.Window(), WM_COMMAND, MAKEWPARAM(IDC_SECURITY, CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(dialog.Control(IDC_SECURITY)));
    };
    auto outcomeOf = [&](const std::string& script) {
        scripted_.SetScript(script);
        dialog.Click(IDC_TEST_MAIL);
        // The window thread answers while the mail is on its way.
        DWORD_PTR answer = 0;
        EXPECT_NE(::SendMessageTimeoutW(dialog.Window(), WM_NULL, 0, 0, SMTO_BLOCK, 2000, &answer), 0);
        std::wstring text;
        WaitUntil([&] { return dialog.Enabled(IDC_TEST_MAIL) && (text = dialog.Text(IDC_TEST_MAIL_RESULT)) != L"" &&
                               text != L"Отправка проверочного письма..."; },
                  kDeadlineMs);
        return text;
    };
    EXPECT_EQ(outcomeOf("delay_ms 500"), L"Проверочное письмо отправлено.");
    ASSERT_TRUE(scripted_.WaitForClosedSessions(1, kDeadlineMs));
    EXPECT_NE(scripted_.Received(scripted_.Sessions()[0]).find("RCPT TO: <typed@kiosk.example>\r\n"),
              std::string::npos);
    EXPECT_EQ(outcomeOf("reply MAIL 550 5.1.0 Sender rejected"), L"Письмо не отправлено: 550 5.1.0 Sender rejected");
    chooseSecurity(1);
    EXPECT_EQ(outcomeOf(""), L"Письмо не отправлено: The server does not offer STARTTLS\r\n"
                             L"Последний ответ сервера: 250-mailsim greets you\r\n250-8BITMIME\r\n250 AUTH LOGIN");
    ::SendMessageW(dialog.Window(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(dialog.Result(), IDCANCEL);
    EXPECT_EQ(settings_.Mail.Get().recipient, stored.recipient);
    DWORD value = 0;
    EXPECT_FALSE(RegistryReadDword(HKEY_CURRENT_USER, "SMTPSecurity", &value));
}

}  // namespace
}  // namespace mrwd::testing
