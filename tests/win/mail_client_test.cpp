// The mail client over real WinSock connections: the scripted server for the
// dialogue's bytes and its failures, the real server for AUTH LOGIN and a
// message read back by a standard mail parser.
#include <gtest/gtest.h>

#include <winsock2.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <thread>

#include "notify/core/base64.h"
#include "notify/core/smtp_client.h"
#include "tests/common/mail_settings_for_tests.h"
#include "notify/win/winsock_mail_system.h"
#include "tests/harness/mail_servers.h"
#include "tests/harness/win_harness.h"

namespace mrwd::testing {
namespace {

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

std::string HostName() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    ::WSACleanup();
    return name;
}

// Every byte value, several lines of base64 and a last group of two bytes.
std::string BinaryBytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return bytes;
}

class MailClient : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scripted_.Available() && real_.Available()) << "run under with-mailservers";
        folder_ = FreshTestFolder("mail_") + "\\";
    }

    std::string WriteFile(const std::string& name, const std::string& bytes) {
        std::ofstream(folder_ + name, std::ios::binary) << bytes;
        return folder_ + name;
    }

    CMessage Message(const std::string& body) {
        CMessage message;
        message.SetSubject("Test mail");
        message.FormatBody("%s", body.c_str());
        message.SetSenderName("MR ZedevUdo Server");
        message.SetSenderAddress("watchdog@kiosk.example");
        return message;
    }

    // The only session of the scripted server, once it has ended.
    std::string OnlySessionBytes(const char* kind = "smtp") {
        EXPECT_TRUE(scripted_.WaitForClosedSessions(1, kDeadlineMs));
        for (const MailSession& s : scripted_.Sessions()) {
            if (s.kind == kind) return scripted_.Received(s);
        }
        return std::string();
    }

    ScriptedMailServer scripted_;
    RealMailServer real_;
    std::string folder_;
};

TEST_F(MailClient, WholeDialogueWithAnAttachmentOverASocket) {
    const std::string bytes = BinaryBytes(1000);
    const std::string path = WriteFile("blob.bin", bytes);
    WinSockMailSystem system;
    {
        CFastSmtp client(system);
        ASSERT_TRUE(client.Connect(Mail("127.0.0.1", scripted_.SmtpPort(), kNoAuthentication, "", "")));
        ASSERT_TRUE(client.AddRecipient("operator@kiosk.example", ""));
        client.SetXMailer("MR ZedevUdo Server");
        CMessage message = Message("first line\r\nsecond line");
        message.AddAttachment(path);
        ASSERT_TRUE(client.Send(message)) << client.LastErrorText();
        ASSERT_TRUE(client.Disconnect());
        EXPECT_EQ(client.Record().front(), "220 mailsim ready\r\n\r\n");
        EXPECT_STREQ(client.LastErrorText(), "221 2.0.0 Bye\r\n\r\n");
        EXPECT_EQ(client.Record().size(), 7u);  // greeting, HELO, MAIL, RCPT, DATA, end, QUIT
    }
    const std::string received = OnlySessionBytes();
    const std::string opening = "HELO " + HostName() +
                                "\r\nMAIL FROM: <watchdog@kiosk.example>\r\nRCPT TO: <operator@kiosk.example>\r\nDATA\r\n";
    EXPECT_EQ(received.substr(0, opening.size()), opening);
    EXPECT_NE(received.find("\r\n\r\nfirst line\r\nsecond line\r\n--=bound=\r\n"), std::string::npos);
    const std::string attachment = "Content-Disposition: attachment; filename=\"blob.bin\"\r\n\r\n" +
                                   Base64(bytes, 19) + "\r\n\r\n.\r\nQUIT\r\n";
    ASSERT_GE(received.size(), attachment.size());
    EXPECT_EQ(received.substr(received.size() - attachment.size()), attachment);
}

TEST_F(MailClient, ServerThatRefusesBareLineFeedsTakesAttachmentAndBody) {
    // The scripted server answers "550 5.5.2 Error: bare <LF> received" to
    // data holding a line feed without its carriage return, as Postfix can be
    // told to. Many lines of base64, and a body whose lines end in LF alone.
    const std::string bytes = BinaryBytes(4000);
    const std::string path = WriteFile("08-12-26.txt", bytes);
    WinSockMailSystem system;
    {
        CFastSmtp client(system);
        ASSERT_TRUE(client.Connect(Mail("127.0.0.1", scripted_.SmtpPort(), kNoAuthentication, "", "")));
        client.AddRecipient("operator@kiosk.example", "");
        CMessage message = Message("first line\nsecond line\n");
        message.AddAttachment(path);
        EXPECT_TRUE(client.Send(message)) << client.LastErrorText();
        EXPECT_STREQ(client.LastErrorText(), "250 2.0.0 Ok: queued\r\n\r\n");
        client.Disconnect();
    }
    const std::string received = OnlySessionBytes();
    ASSERT_NE(received.find("\r\n.\r\n"), std::string::npos);
    std::size_t lines = 0;
    for (std::size_t start = 0, end; (end = received.find('\n', start)) != std::string::npos; start = end + 1) {
        ++lines;
        ASSERT_TRUE(end > start && received[end - 1] == '\r')
            << "line " << lines << ": " << received.substr(start, end - start);
        ASSERT_LE(end - start + 1, 1000u) << "line " << lines;  // SMTP's longest line, CR LF included
    }
    EXPECT_GT(lines, 4000u / 57);
    EXPECT_NE(received.find("\r\n\r\nfirst line\r\nsecond line\r\n\r\n--=bound=\r\n"), std::string::npos);
}

TEST_F(MailClient, MultiLineRepliesArrivingInPiecesAreReadWhole) {
    scripted_.SetScript("split_ms 150");
    WinSockMailSystem system;
    CFastSmtp client(system);
    ASSERT_TRUE(client.Connect(Mail("127.0.0.1", scripted_.SmtpPort(), kAuthLogin, "kiosk", "secret")))
        << client.LastErrorText();
    const std::vector<std::string>& record = client.Record();
    ASSERT_EQ(record.size(), 5u);
    EXPECT_EQ(record[1], "250-mailsim greets you\r\n250-8BITMIME\r\n250 AUTH LOGIN\r\n\r\n");
    EXPECT_EQ(record[4], "235 2.7.0 Authentication successful\r\n\r\n");
    ASSERT_TRUE(client.Disconnect());
    EXPECT_EQ(OnlySessionBytes(), "EHLO " + HostName() + "\r\nAUTH LOGIN\r\n" + Base64("kiosk") + "\r\n" +
                                      Base64("secret") + "\r\nQUIT\r\n");
}

TEST_F(MailClient, PopBeforeSmtpLogsInThroughTheSecondConnection) {
    WinSockMailSystem system;
    {
        CFastSmtp client(system);
        ASSERT_TRUE(client.Connect(Mail("127.0.0.1", scripted_.SmtpPort(), kPopBeforeSmtp, "kiosk", "secret"), Pop3("127.0.0.1", scripted_.Pop3Port())))
            << client.LastErrorText();
        ASSERT_TRUE(client.Disconnect());
        EXPECT_STREQ(client.LastErrorText(), "+OK bye\r\n\r\n");
    }
    ASSERT_TRUE(scripted_.WaitForClosedSessions(2, kDeadlineMs));
    EXPECT_EQ(OnlySessionBytes("pop3"), "USER kiosk\r\nPASS secret\r\nQUIT\r\n");
    EXPECT_EQ(OnlySessionBytes("smtp"), "HELO " + HostName() + "\r\nQUIT\r\n");

    // A refused password ends it with the server's answer.
    scripted_.SetScript("reply PASS -ERR invalid password");
    CFastSmtp refused(system);
    EXPECT_FALSE(refused.Connect(Mail("127.0.0.1", scripted_.SmtpPort(), kPopBeforeSmtp, "kiosk", "wrong"), Pop3(nullptr, scripted_.Pop3Port())));
    EXPECT_STREQ(refused.LastErrorText(), "-ERR invalid password\r\n\r\n");
}

TEST_F(MailClient, SilentServerIsGivenUpAfterTheTimeOut) {
    scripted_.SetScript("mode silent");
    WinSockMailSystem system(2000, 1000);
    CFastSmtp client(system);
    EXPECT_FALSE(client.Connect(Mail("127.0.0.1", scripted_.SmtpPort(), kNoAuthentication, "", "")));
    EXPECT_STREQ(client.LastErrorText(), "Socket receive error: 10060\r\n");
}

// A server that sends one byte a second answers every single wait in time;
// only the bound on the whole send ends it.
TEST_F(MailClient, TricklingServerIsGivenUpAtTheBoundOfTheWholeSend) {
    scripted_.SetScript("trickle_ms 1000");
    WinSockMailSystem system(2000, 30000, nullptr, 3000);
    CFastSmtp client(system);
    EXPECT_FALSE(client.Connect(Mail("127.0.0.1", scripted_.SmtpPort(), kNoAuthentication, "", "")));
    EXPECT_STREQ(client.LastErrorText(), "Socket receive error: 10060\r\n");
}

// A name whose look-up never answers (the harness's name server is silent):
// the connect gives up within its own time-out.
TEST_F(MailClient, LookUpThatNeverAnswersIsGivenUp) {
    const std::string name = Environment("MRWD_SILENT_DNS_NAME");
    ASSERT_FALSE(name.empty()) << "run under with-mailservers";
    // On the heap: should the look-up hang after all, the test ends without it.
    struct Attempt {
        WinSockMailSystem system{2000, 1000, nullptr, 60000};
        std::atomic<bool> ended{false};
        std::string failure;
    };
    auto attempt = std::make_shared<Attempt>();
    std::thread([attempt, name] {
        CFastSmtp client(attempt->system);
        if (!client.Connect(Mail(name, 25, kNoAuthentication, "", "")) && client.LastErrorText() != nullptr) {
            attempt->failure = client.LastErrorText();
        }
        attempt->ended = true;
    }).detach();
    ASSERT_TRUE(WaitUntil([&] { return attempt->ended.load(); }, kDeadlineMs));
    EXPECT_EQ(attempt->failure, "Invalid SMTP socket\r\n");
}

TEST_F(MailClient, DroppedConnectionsEndInAReceiveError) {
    WinSockMailSystem system(2000, 5000);
    scripted_.SetScript("mode drop");
    {
        CFastSmtp client(system);
        EXPECT_FALSE(client.Connect(Mail("127.0.0.1", scripted_.SmtpPort(), kNoAuthentication, "", "")));
        EXPECT_STREQ(client.LastErrorText(), "Socket receive error: 10054\r\n");
    }
    scripted_.SetScript("drop_at RCPT");
    CFastSmtp client(system);
    ASSERT_TRUE(client.Connect(Mail("127.0.0.1", scripted_.SmtpPort(), kNoAuthentication, "", "")));
    client.AddRecipient("operator@kiosk.example", "");
    EXPECT_FALSE(client.Send(Message("body")));
    EXPECT_STREQ(client.LastErrorText(), "Socket receive error: 10054\r\n");
}

TEST_F(MailClient, NobodyListeningIsAnInvalidSocket) {
    // A port that was free a moment ago.
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET probe = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    int length = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::closesocket(probe);
    ::WSACleanup();

    WinSockMailSystem system(2000, 1000);
    CFastSmtp client(system);
    EXPECT_FALSE(client.Connect(Mail("127.0.0.1", ::ntohs(address.sin_port), kNoAuthentication, "", "")));
    EXPECT_STREQ(client.LastErrorText(), "Invalid SMTP socket\r\n");
}

TEST_F(MailClient, UnreadableAttachmentsLeaveTheDataUnfinished) {
    const std::string missing = folder_ + "missing.txt";
    const std::string empty = WriteFile("empty.txt", "");
    const struct {
        std::string path;
        std::string failure;
    } cases[] = {
        {missing, "Can't open file!\r\n"},
        {empty, "Can't create mapping for file " + empty + "!\r\n"},
    };
    // The QUIT after an unfinished DATA gets no answer: short waits.
    WinSockMailSystem system(2000, 1000);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        CFastSmtp client(system);
        ASSERT_TRUE(client.Connect(Mail("127.0.0.1", scripted_.SmtpPort(), kNoAuthentication, "", "")));
        client.AddRecipient("operator@kiosk.example", "");
        CMessage message = Message("body");
        message.AddAttachment(c.path);
        EXPECT_FALSE(client.Send(message));
        const std::vector<std::string>& record = client.Record();
        ASSERT_GE(record.size(), 2u);
        EXPECT_EQ(record[record.size() - 2], c.failure);
        EXPECT_EQ(record.back(), "Can't attach file: " + c.path + "\r\n");
    }
    ASSERT_TRUE(scripted_.WaitForClosedSessions(2, kDeadlineMs));
    for (const MailSession& session : scripted_.Sessions()) {
        const std::string received = scripted_.Received(session);
        EXPECT_NE(received.find("\r\nbody\r\n"), std::string::npos);
        EXPECT_EQ(received.find("application/octet-stream"), std::string::npos);
        EXPECT_EQ(received.find("\r\n.\r\n"), std::string::npos);
    }
}

// TLS through the system's SChannel against Python's ssl module, with the
// test authority in the prefix's root store. Certificates name "localhost":
// Wine's SSL policy does not match an address against a certificate's names.
class MailClientTls : public MailClient {
protected:
    void SetUp() override {
        MailClient::SetUp();
        ASSERT_TRUE(TrustTestAuthority()) << "the test authority cannot be added to the root store";
    }
    static constexpr const char* kOffersStartTls = "reply EHLO 250-mailsim\\r\\n250-STARTTLS\\r\\n250 AUTH LOGIN";
};

TEST_F(MailClientTls, StartTlsAndTlsFromTheStartCarryAuthAndTheMail) {
    const struct {
        MailSecurity security;
        bool implicit;
        std::string opening;  // what the server receives before AUTH
    } cases[] = {
        {MailSecurity::StartTls, false, "EHLO " + HostName() + "\r\nSTARTTLS\r\n<TLS>EHLO " + HostName() + "\r\n"},
        {MailSecurity::Tls, true, "<TLS>EHLO " + HostName() + "\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.security));
        ScriptedMailServer fresh;
        scripted_.SetScript(kOffersStartTls);
        WinSockMailSystem system;
        {
            CFastSmtp client(system);
            const std::uint16_t port = c.implicit ? scripted_.SmtpsPort() : scripted_.SmtpPort();
            ASSERT_TRUE(client.Connect(Mail("localhost", port, kAuthLogin, "kiosk", "secret", c.security)))
                << client.LastErrorText();
            client.AddRecipient("operator@kiosk.example", "");
            ASSERT_TRUE(client.Send(Message("through TLS"))) << client.LastErrorText();
            ASSERT_TRUE(client.Disconnect());
        }
        const std::string received = OnlySessionBytes();
        EXPECT_EQ(received.substr(0, c.opening.size()), c.opening);
        EXPECT_NE(received.find("AUTH LOGIN\r\n" + Base64("kiosk") + "\r\n" + Base64("secret") + "\r\nMAIL FROM:"),
                  std::string::npos);
        EXPECT_NE(received.find("\r\n\r\nthrough TLS\r\n\r\n.\r\nQUIT\r\n"), std::string::npos);
    }
}

// Refused certificates and what trusts one anyway; none of them hears AUTH.
TEST_F(MailClientTls, CertificatesAreCheckedAndAPinnedOneTrusted) {
    const struct {
        const char* certificate;
        std::string pin;
        std::string failure;  // empty: accepted
    } cases[] = {
        {"good", "", ""},
        {"stranger", "", "Server certificate is not trusted: its authority is not in the root store\r\n"},
        {"wrongname", "", "Server certificate is not for the host localhost\r\n"},
        {"expired", "", "Server certificate has expired or is not yet valid\r\n"},
        {"stranger", TestCertificateSha256("stranger"), ""},
        {"good", TestCertificateSha256("stranger"),
         "Server certificate does not match SMTPCertSHA256: its SHA-256 is " + TestCertificateSha256("good") + "\r\n"},
        {"good", "12:34", "SMTPCertSHA256 is not a SHA-256 in hex (64 digits)\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.certificate) + " pinned " + c.pin);
        ScriptedMailServer fresh;
        scripted_.SetScript(std::string(kOffersStartTls) + "\ncert " + c.certificate);
        WinSockMailSystem system;
        MailSettings mail = Mail("localhost", scripted_.SmtpPort(), kAuthLogin, "kiosk", "secret", MailSecurity::StartTls);
        mail.certSha256 = c.pin;
        {
            CFastSmtp client(system);
            EXPECT_EQ(client.Connect(mail), c.failure.empty());
            if (!c.failure.empty()) {
                EXPECT_EQ(client.LastErrorText() != nullptr ? client.LastErrorText() : "", c.failure);
                EXPECT_EQ(client.FailedStep(), MailStep::Connect);
            }
        }
        const std::string received = OnlySessionBytes();
        EXPECT_EQ(received.find("AUTH") != std::string::npos, c.failure.empty()) << received;
    }
}

TEST_F(MailClientTls, ServerWithoutStartTlsIsRefusedAndHearsNoAuth) {
    WinSockMailSystem system;
    {
        CFastSmtp client(system);
        EXPECT_FALSE(client.Connect(Mail("localhost", scripted_.SmtpPort(), kAuthLogin, "kiosk", "secret",
                                         MailSecurity::StartTls)));
        EXPECT_STREQ(client.LastErrorText(), "The server does not offer STARTTLS\r\n");
    }
    EXPECT_EQ(OnlySessionBytes(), "EHLO " + HostName() + "\r\n");
}

TEST_F(MailClient, RealServerAcceptsAuthLoginAndReadsTheMessageBack) {
    const std::string bytes = BinaryBytes(3001);
    const std::string path = WriteFile("07-12-26.txt", bytes);
    WinSockMailSystem system;
    CFastSmtp client(system);
    ASSERT_TRUE(client.Connect(Mail("127.0.0.1", real_.Port(), kAuthLogin, real_.User().c_str(), real_.Password().c_str())))
        << client.LastErrorText();
    client.AddRecipient("operator@kiosk.example", "");
    client.SetXMailer("MR ZedevUdo Server");
    const std::string body = "Сообщение от сервера:\r\n\r\n\tФайл журнала.\r\n\r\n--";
    CMessage message = Message(Cp1251FromUtf8(body));
    message.SetSubject(Cp1251FromUtf8("Журнал"));
    message.AddAttachment(path);
    ASSERT_TRUE(client.Send(message)) << client.LastErrorText();
    ASSERT_TRUE(client.Disconnect());

    ASSERT_TRUE(real_.WaitForMails(1, kDeadlineMs));
    const DeliveredMail mail = real_.Mail(0);
    EXPECT_EQ(mail.fields.at("subject"), "Журнал");
    EXPECT_EQ(mail.fields.at("from"), "MR ZedevUdo Server <watchdog@kiosk.example>");
    EXPECT_EQ(mail.fields.at("to"), "operator@kiosk.example");
    EXPECT_EQ(mail.fields.at("envelope-from"), "watchdog@kiosk.example");
    EXPECT_EQ(mail.fields.at("envelope-to"), "operator@kiosk.example");
    const std::string date = mail.fields.at("date");
    EXPECT_EQ(date.substr(date.size() - 6), " +0000") << date;
    EXPECT_EQ(mail.body, body);
    ASSERT_EQ(mail.attachments.size(), 1u);
    EXPECT_EQ(mail.attachments[0].first, "07-12-26.txt");
    EXPECT_EQ(mail.attachments[0].second, bytes);
}

TEST_F(MailClient, RealServerRefusesAWrongPasswordInItsOwnWords) {
    WinSockMailSystem system;
    CFastSmtp client(system);
    EXPECT_FALSE(client.Connect(Mail("127.0.0.1", real_.Port(), kAuthLogin, real_.User().c_str(), "wrong")));
    EXPECT_FALSE(client.IsConnected());
    EXPECT_STREQ(client.LastErrorText(), "535 5.7.8 Authentication credentials invalid\r\n\r\n");
    EXPECT_EQ(real_.MailCount(), 0u);
}

}  // namespace
}  // namespace mrwd::testing
