// The mail message, its wire form and the SMTP dialogue, against a server
// scripted here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>

#include "notify/core/base64.h"
#include "notify/core/certificate_pin.h"
#include "notify/core/daily_log.h"
#include "notify/core/mail_format.h"
#include "notify/core/smtp_client.h"
#include "notify/core/oauth_token.h"
#include "tests/common/mail_settings_for_tests.h"

namespace mrwd {
namespace {

TEST(Base64, LinesOfNineteenGroupsEndedByCrLf) {
    const std::string bytes57(57, 'a');
    const std::string line = Base64(bytes57, 19);
    ASSERT_EQ(line.size(), 78u);
    EXPECT_EQ(line.substr(76), "\r\n");

    const std::string text58 = Base64(std::string(58, 'a'), 19);
    ASSERT_EQ(text58.size(), 82u);
    EXPECT_EQ(text58.substr(76, 2), "\r\n");
    EXPECT_EQ(text58.substr(78), "YQ==");  // the last group, with no line break after it

    // Many lines: each 76 characters and CR LF, the last one shorter and unended.
    const std::string text1000 = Base64(std::string(1000, '\x9C'), 19);
    std::size_t lines = 0;
    std::size_t start = 0;
    for (std::size_t end = text1000.find('\n'); end != std::string::npos; end = text1000.find('\n', start)) {
        ASSERT_EQ(end - start, 77u) << "line " << lines;
        EXPECT_EQ(text1000[end - 1], '\r') << "line " << lines;
        ++lines;
        start = end + 1;
    }
    EXPECT_EQ(lines, 17u);  // 1000 bytes: 17 full lines of 57, then 31 bytes
    EXPECT_EQ(text1000.size() - start, 44u);
    EXPECT_EQ(text1000.find('\r', start), std::string::npos);

    EXPECT_EQ(Base64("", 19), "");
    EXPECT_EQ(Base64("Man"), "TWFu");
    EXPECT_EQ(Base64("Ma"), "TWE=");
    EXPECT_EQ(Base64("M"), "TQ==");
    EXPECT_EQ(Base64("\xFF\xFE\xFD"), "//79");
    const std::string unbroken = Base64(std::string(3 * 40, 'x'), 0);
    EXPECT_EQ(unbroken.find_first_of("\r\n"), std::string::npos);
}

TEST(Base64, BufferSizes) {
    EXPECT_EQ(Base64Size(57, 19), 79u);
    EXPECT_EQ(Base64Size(58, 19), 83u);
    EXPECT_EQ(Base64Size(114, 19), 157u);
    EXPECT_EQ(Base64Size(0, 19), 1u);
    EXPECT_EQ(Base64Size(5, 0), 9u);
    // Always enough for what the encoder writes, over several lines.
    for (std::size_t n = 0; n < 400; ++n) {
        EXPECT_LT(Base64(std::string(n, 'q'), 19).size(), Base64Size(n, 19)) << n;
    }
}

UtcTime FixedTime() {
    UtcTime t;
    t.year = 2008;
    t.month = 3;
    t.day = 7;
    t.dayOfWeek = 5;
    t.hour = 9;
    t.minute = 5;
    t.second = 1;
    return t;
}

TEST(MailHeader, EnglishDateInUtcAndTheFixedLines) {
    HeaderFields f;
    f.senderName = "MR ZedevUdo Server";
    f.senderAddress = "kiosk@example.com";
    f.recipients = {"<ops@example.com>"};
    f.subject = "Journal";
    f.mailer = "MR ZedevUdo Server";
    std::string header;
    ASSERT_TRUE(BuildHeader(f, FixedTime(), header));
    EXPECT_EQ(header,
              "Date: Fri, 07 Mar 2008 09:05:01 +0000\r\n"
              "From: \"MR ZedevUdo Server\" <kiosk@example.com>\r\n"
              "To: <ops@example.com>\r\n"
              "Cc: \r\n"
              "Bcc: \r\n"
              "Subject: Journal\r\n"
              "X-Mailer: MR ZedevUdo Server\r\n"
              "MIME-Version: 1.0\r\n"
              "Content-Type: multipart/mixed; boundary=\"=bound=\"\r\n"
              "\r\n");

    f.recipients = {"<a@b>", "Boss<c@d>"};
    ASSERT_TRUE(BuildHeader(f, FixedTime(), header));
    EXPECT_NE(header.find("To: <a@b>,Boss<c@d>\r\n"), std::string::npos);

    f.recipients.clear();
    EXPECT_FALSE(BuildHeader(f, FixedTime(), header));
}

TEST(MailHeader, EveryDayAndMonthName) {
    UtcTime t = FixedTime();
    const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    for (int d = 0; d < 7; ++d) {
        t.dayOfWeek = d;
        EXPECT_EQ(MailDate(t).substr(0, 3), days[d]);
    }
    const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int m = 1; m <= 12; ++m) {
        t.month = m;
        EXPECT_EQ(MailDate(t).substr(8, 3), months[m - 1]);
    }
}

TEST(MailHeader, NonAsciiSubjectBecomesEncodedWords) {
    // "Журнал" in Windows-1251.
    const std::string journal = "\xC6\xF3\xF0\xED\xE0\xEB";
    EXPECT_EQ(HeaderSubject(journal), "=?windows-1251?B?" + Base64(journal) + "?=");
    EXPECT_EQ(HeaderSubject("Restart"), "Restart");
    // A long subject is split into words of at most 75 characters, on folded lines.
    const std::string longSubject(100, '\xE0');
    const std::string encoded = HeaderSubject(longSubject);
    std::size_t words = 0;
    std::size_t start = 0;
    for (std::size_t end;; start = end + 3) {
        end = encoded.find("\r\n ", start);
        const std::string word = encoded.substr(start, end == std::string::npos ? std::string::npos : end - start);
        EXPECT_LE(word.size(), 75u);
        EXPECT_EQ(word.substr(0, 17), "=?windows-1251?B?");
        ++words;
        if (end == std::string::npos) break;
    }
    EXPECT_EQ(words, 3u);
}

TEST(MailFormat, AttachmentPartNamesTheFileOnly) {
    EXPECT_EQ(AttachmentPartHeader("C:\\Watch\\Logs\\07-03-08.txt"),
              "Content-Type: application/octet-stream; name=\"07-03-08.txt\"\r\n"
              "Content-Transfer-Encoding: base64\r\n"
              "Content-Disposition: attachment; filename=\"07-03-08.txt\"\r\n\r\n");
}

TEST(MailFormat, BodyLineFeedsGoOutAsCrLf) {
    const struct {
        const char* body;
        const char* wire;
    } cases[] = {
        {"", ""},
        {"one line", "one line"},
        {"a\r\nb", "a\r\nb"},
        {"a\nb", "a\r\nb"},
        {"\nfirst", "\r\nfirst"},
        {"last\n", "last\r\n"},
        {"a\n\nb", "a\r\n\r\nb"},
        {"a\n\r\nb\r\n\n", "a\r\n\r\nb\r\n\r\n"},
        {"a\rb", "a\rb"},  // a carriage return alone is no line feed
        {"a\r\r\nb", "a\r\r\nb"},
        {"a\n\rb", "a\r\n\rb"},
        {"\xC6\n\xEB", "\xC6\r\n\xEB"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CrLfLineEnds(c.body), c.wire) << ::testing::PrintToString(std::string(c.body));
    }
}

// The position of the first line feed not preceded by a carriage return.
std::size_t BareLineFeed(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return i;
    }
    return std::string::npos;
}

// A mail server scripted by the test: every connection answers with the next
// replies of its script and records every byte it is sent.
struct ScriptedServer {
    std::deque<std::string> replies;
    std::string received;
    bool silentAtEnd = false;  // when the replies run out: a time-out instead of a closed connection
    int opened = 0;
    int closed = 0;
};

class ScriptedConnection : public MailConnection {
public:
    explicit ScriptedConnection(ScriptedServer& server) : server_(server) {}
    // What the server sees from here on went through a handshake.
    void MarkSecured() { server_.received += "<TLS>"; }
    ~ScriptedConnection() override { ++server_.closed; }
    bool Send(const char* data, std::size_t size, int&) override {
        server_.received.append(data, size);
        return true;
    }
    bool Receive(char* buffer, std::size_t size, std::size_t& received, int& error) override {
        if (server_.replies.empty()) {
            error = server_.silentAtEnd ? 10060 : 10054;  // timed out / reset by the peer
            return false;
        }
        std::string& next = server_.replies.front();
        received = std::min(size, next.size());
        std::memcpy(buffer, next.data(), received);
        next.erase(0, received);
        if (next.empty()) server_.replies.pop_front();
        return true;
    }

private:
    ScriptedServer& server_;
};

class ScriptedSystem : public MailSystem {
public:
    ScriptedServer smtp;
    ScriptedServer pop3;
    std::map<std::string, std::string> files;
    bool startupFails = false;
    std::vector<std::pair<std::string, std::uint16_t>> opens;
    std::vector<std::string> handshakes;  // "host pin" of each
    std::string tlsFailure;               // when set, every handshake fails with it

    bool Startup(std::vector<std::string>& failure) override {
        if (startupFails) failure.push_back("WSAStartup 10091\r\n");
        return !startupFails;
    }
    void Cleanup() override {}
    bool LocalHostName(std::string& name) override {
        name = "kiosk7";
        return true;
    }
    std::unique_ptr<MailConnection> Open(const std::string& host, std::uint16_t port, bool isPop3) override {
        opens.emplace_back(host, port);
        ScriptedServer& server = isPop3 ? pop3 : smtp;
        ++server.opened;
        return std::make_unique<ScriptedConnection>(server);
    }
    std::unique_ptr<MailConnection> StartTls(std::unique_ptr<MailConnection> plain, const std::string& host,
                                             const std::string& certSha256, std::string& failure) override {
        handshakes.push_back(host + " " + certSha256);
        if (!tlsFailure.empty()) {
            failure = tlsFailure;
            return nullptr;
        }
        static_cast<ScriptedConnection&>(*plain).MarkSecured();
        return plain;
    }
    UtcTime Now() override { return FixedTime(); }
    // The tokens the application is given in turn; "" fails with a reason.
    std::deque<std::string> tokens;
    std::vector<bool> tokenAsks;  // each ask's `renew`
    bool AccessToken(const MailSettings&, bool renew, std::string& token, std::string& failure) override {
        tokenAsks.push_back(renew);
        if (tokens.empty() || tokens.front().empty()) {
            failure = "OAuth token endpoint: invalid_client";
            return false;
        }
        token = tokens.front();
        tokens.pop_front();
        return true;
    }
    bool ReadAttachment(const std::string& path, std::string& bytes, std::string& failure) override {
        auto it = files.find(path);
        if (it == files.end()) {
            failure = "Can't open file!\r\n";
            return false;
        }
        bytes = it->second;
        return true;
    }
};

CMessage Message(const std::string& body = "Body\r\n\tline") {
    CMessage m;
    m.SetSubject("Subject");
    m.SetSenderName("MR ZedevUdo Server");
    m.SetSenderAddress("kiosk@example.com");
    m.FormatBody("%s", body.c_str());
    return m;
}

std::string Repeated(const std::string& text, int times) {
    std::string all;
    for (int i = 0; i < times; ++i) all += text;
    return all;
}

class SmtpTest : public ::testing::Test {
protected:
    void Script(std::initializer_list<const char*> replies) {
        for (const char* r : replies) system.smtp.replies.emplace_back(r);
    }
    std::string Last(const CFastSmtp& client) const { return client.LastErrorText() ? client.LastErrorText() : ""; }

    ScriptedSystem system;
};

TEST_F(SmtpTest, PlainTransferByteForByte) {
    Script({"220 mail ready\r\n", "250 hello\r\n", "250 sender ok\r\n", "250 rcpt ok\r\n", "354 go on\r\n",
            "250 queued\r\n", "221 bye\r\n"});
    {
        CFastSmtp client(system);
        ASSERT_TRUE(client.Connect(Mail("mail.example.com", 25, kNoAuthentication, nullptr, nullptr)));
        EXPECT_TRUE(client.AddRecipient("ops@example.com", ""));
        client.SetXMailer("MR ZedevUdo Server");
        ASSERT_TRUE(client.Send(Message()));
        EXPECT_TRUE(client.Disconnect());
        EXPECT_EQ(Last(client), "221 bye\r\n\r\n");
    }
    EXPECT_EQ(system.opens.front(), (std::pair<std::string, std::uint16_t>("mail.example.com", 25)));
    EXPECT_EQ(system.smtp.received,
              "HELO kiosk7\r\n"
              "MAIL FROM: <kiosk@example.com>\r\n"
              "RCPT TO: <ops@example.com>\r\n"
              "DATA\r\n"
              "Date: Fri, 07 Mar 2008 09:05:01 +0000\r\n"
              "From: \"MR ZedevUdo Server\" <kiosk@example.com>\r\n"
              "To: <ops@example.com>\r\n"
              "Cc: \r\n"
              "Bcc: \r\n"
              "Subject: Subject\r\n"
              "X-Mailer: MR ZedevUdo Server\r\n"
              "MIME-Version: 1.0\r\n"
              "Content-Type: multipart/mixed; boundary=\"=bound=\"\r\n"
              "\r\n"
              "--=bound=\r\n"
              "Content-Type: text/plain; charset=Windows-1251\r\n"
              "Content-Transfer-Encoding: 8bit\r\n"
              "\r\n"
              "Body\r\n\tline"
              "\r\n"
              "\r\n.\r\n"
              "QUIT\r\n");
    EXPECT_EQ(system.smtp.closed, 1);
}

TEST_F(SmtpTest, AttachmentsFollowTheTextPart) {
    system.files["C:\\Logs\\06-03-08.txt"] = std::string(58, 'a');
    Script({"220 ready\r\n", "250 hi\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n", "250 ok\r\n"});
    CFastSmtp client(system);
    ASSERT_TRUE(client.Connect(Mail("m", 0, kNoAuthentication, nullptr, nullptr)));
    client.AddRecipient("ops@example.com", "");
    CMessage m = Message("B");
    m.AddAttachment("C:\\Logs\\06-03-08.txt");
    ASSERT_TRUE(client.Send(m));
    const std::string& data = system.smtp.received;
    const std::string expectedTail =
        "B\r\n"
        "--=bound=\r\n"
        "Content-Type: application/octet-stream; name=\"06-03-08.txt\"\r\n"
        "Content-Transfer-Encoding: base64\r\n"
        "Content-Disposition: attachment; filename=\"06-03-08.txt\"\r\n\r\n" +
        Repeated("YWFh", 19) + "\r\nYQ==" + "\r\n\r\n.\r\n";
    ASSERT_GE(data.size(), expectedTail.size());
    EXPECT_EQ(data.substr(data.size() - expectedTail.size()), expectedTail);
}

TEST_F(SmtpTest, NoBareLineFeedAnywhereInTheData) {
    // Several lines of base64 (and one exactly full last line), and a body
    // whose lines end in a bare line feed.
    system.files["C:\\Logs\\06-03-08.txt"] = std::string(1000, '\n');
    system.files["C:\\Logs\\07-03-08.txt"] = std::string(2 * 57, '\xFF');
    Script({"220 ready\r\n", "250 hi\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n", "250 ok\r\n", "221 bye\r\n"});
    CFastSmtp client(system);
    ASSERT_TRUE(client.Connect(Mail("m", 0, kNoAuthentication, nullptr, nullptr)));
    client.AddRecipient("ops@example.com", "");
    client.SetXMailer("MR ZedevUdo Server");
    CMessage m = Message("\nfirst\nsecond\r\n\tthird\n");
    m.AddAttachment("C:\\Logs\\06-03-08.txt");
    m.AddAttachment("C:\\Logs\\07-03-08.txt");
    ASSERT_TRUE(client.Send(m));
    EXPECT_TRUE(client.Disconnect());
    EXPECT_EQ(m.Body(), "\nfirst\nsecond\r\n\tthird\n") << "the message itself keeps its text";

    const std::string& received = system.smtp.received;
    const std::size_t data = received.find("DATA\r\n");
    ASSERT_NE(data, std::string::npos);
    EXPECT_EQ(BareLineFeed(received.substr(data)), std::string::npos);
    EXPECT_NE(received.find("\r\n\r\n\r\nfirst\r\nsecond\r\n\tthird\r\n\r\n--=bound=\r\n"), std::string::npos);
    EXPECT_NE(received.find("filename=\"07-03-08.txt\"\r\n\r\n" + std::string(76, '/') + "\r\n" +
                            std::string(76, '/') + "\r\n\r\n\r\n.\r\nQUIT\r\n"),
              std::string::npos);
}

TEST_F(SmtpTest, MissingAttachmentLeavesTheDataUnfinished) {
    Script({"220 ready\r\n", "250 hi\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n", "250 ok\r\n"});
    CFastSmtp client(system);
    ASSERT_TRUE(client.Connect(Mail("m", 0, kNoAuthentication, nullptr, nullptr)));
    client.AddRecipient("ops@example.com", "");
    CMessage m = Message();
    m.AddAttachment("C:\\Logs\\31-02-08.txt");
    EXPECT_FALSE(client.Send(m));
    const auto& record = client.Record();
    ASSERT_GE(record.size(), 2u);
    EXPECT_EQ(record[record.size() - 2], "Can't open file!\r\n");
    EXPECT_EQ(record.back(), "Can't attach file: C:\\Logs\\31-02-08.txt\r\n");
    EXPECT_EQ(system.smtp.received.find("\r\n.\r\n"), std::string::npos);
    EXPECT_EQ(system.smtp.received.find("31-02-08"), std::string::npos) << "nothing of the file went out";
}

TEST_F(SmtpTest, RecipientsWithAndWithoutANameGiveTheSameEnvelope) {
    for (const char* name : {"", "Boss"}) {
        system.smtp.received.clear();
        Script({"220 r\r\n", "250 h\r\n", "250 o\r\n", "250 o\r\n", "354 g\r\n", "250 o\r\n"});
        CFastSmtp client(system);
        ASSERT_TRUE(client.Connect(Mail("m", 0, kNoAuthentication, nullptr, nullptr)));
        client.AddRecipient("a@b", name);
        ASSERT_TRUE(client.Send(Message()));
        EXPECT_NE(system.smtp.received.find("RCPT TO: <a@b>\r\n"), std::string::npos) << name;
    }
    CFastSmtp client(system);
    EXPECT_FALSE(client.AddRecipient("", "nobody"));
}

TEST_F(SmtpTest, GreetingVerbFollowsTheAuthentication) {
    Script({"220 r\r\n", "250 h\r\n"});
    CFastSmtp plain(system);
    ASSERT_TRUE(plain.Connect(Mail("m", 0, kNoAuthentication, nullptr, nullptr)));
    EXPECT_EQ(system.smtp.received, "HELO kiosk7\r\n");

    system.smtp.received.clear();
    Script({"220 r\r\n", "250 h\r\n"});
    system.pop3.replies = {"+OK pop ready\r\n", "+OK user\r\n", "+OK pass\r\n"};
    CFastSmtp pop(system);
    ASSERT_TRUE(pop.Connect(Mail("m", 0, kPopBeforeSmtp, "kiosk", "secret")));
    EXPECT_EQ(system.smtp.received, "HELO kiosk7\r\n");
    EXPECT_EQ(system.pop3.received, "USER kiosk\r\nPASS secret\r\n");
    EXPECT_EQ(system.opens.back(), (std::pair<std::string, std::uint16_t>("m", 0)));  // the SMTP server's name, default port
}

TEST_F(SmtpTest, AuthLoginChallengesAndTheServersRefusal) {
    Script({"220 r\r\n", "250-mail\r\n250-AUTH LOGIN\r\n250 8BITMIME\r\n", "334 VXNlcm5hbWU6\r\n",
            "334 UGFzc3dvcmQ6\r\n", "235 2.7.0 Authentication successful\r\n"});
    CFastSmtp good(system);
    ASSERT_TRUE(good.Connect(Mail("m", 587, kAuthLogin, "kiosk", "secret")));
    EXPECT_EQ(system.smtp.received, "EHLO kiosk7\r\nAUTH LOGIN\r\n" + Base64("kiosk") + "\r\n" + Base64("secret") + "\r\n");
    EXPECT_EQ(Last(good), "235 2.7.0 Authentication successful\r\n\r\n");

    Script({"220 r\r\n", "250 mail\r\n", "334 VXNlcm5hbWU6\r\n", "334 UGFzc3dvcmQ6\r\n",
            "535 5.7.8 Authentication credentials invalid\r\n"});
    CFastSmtp refused(system);
    EXPECT_FALSE(refused.Connect(Mail("m", 587, kAuthLogin, "kiosk", "wrong")));
    EXPECT_FALSE(refused.IsConnected());
    EXPECT_EQ(Last(refused), "535 5.7.8 Authentication credentials invalid\r\n\r\n");
}

// XOAUTH2: the token goes out whole (a real one runs to kilobytes); a
// refused token (535, after its challenge) is fetched once more, and only then.
TEST_F(SmtpTest, XOAuth2SendsTheTokenAndFetchesOnlyARefusedOneAgain) {
    const std::string ehlo = "250-mail\r\n250 AUTH LOGIN XOAUTH2\r\n";
    const std::string longToken = "eyJ0" + std::string(3000, 'x');
    const std::string challenge = "334 eyJzdGF0dXMiOiI0MDEifQ==\r\n";
    const std::string refused = "535 5.7.3 Authentication unsuccessful\r\n";
    struct Case {
        const char* what;
        std::vector<std::string> replies;  // after the greeting and EHLO
        std::deque<std::string> tokens;
        bool connects;
        std::vector<bool> asks;
        int replyCode;
    } const cases[] = {
        {"accepted", {"235 2.7.0 Authentication successful\r\n"}, {longToken}, true, {false}, 0},
        {"refused, fetched again, accepted", {challenge, refused, "235 ok\r\n"}, {"old", "new"}, true, {false, true}, 0},
        {"refused twice", {challenge, refused, refused}, {"old", "new"}, false, {false, true}, 535},
        {"no token: nothing sent", {}, {""}, false, {false}, 0},
        {"a temporary refusal is not a bad token", {"454 4.7.0 try later\r\n"}, {"t"}, false, {false}, 454},
    };
    for (const Case& c : cases) {
        ScriptedSystem server;
        server.smtp.replies = {"220 r\r\n", ehlo};
        for (const std::string& reply : c.replies) server.smtp.replies.push_back(reply);
        server.tokens = c.tokens;
        MailSettings mail = Mail("smtp.office365.com", 587, kOAuth, "kiosk@example.com", nullptr);
        CFastSmtp client(server);
        EXPECT_EQ(client.Connect(mail), c.connects) << c.what;
        EXPECT_EQ(server.tokenAsks, c.asks) << c.what;
        if (!c.connects) {
            EXPECT_EQ(client.FailedStep(), MailStep::Authentication) << c.what;
            EXPECT_EQ(client.FailedReplyCode(), c.replyCode) << c.what;
        }
        const std::string& sent = server.smtp.received;
        EXPECT_EQ(sent.rfind("EHLO kiosk7\r\n", 0), 0u) << c.what;
        if (!c.tokens.front().empty()) {
            const std::string first = "AUTH XOAUTH2 " + XOAuth2Response(mail.userName, c.tokens.front()) + "\r\n";
            EXPECT_NE(sent.find(first), std::string::npos) << c.what;
        } else {
            EXPECT_EQ(sent.find("AUTH"), std::string::npos) << c.what;
            EXPECT_EQ(Last(client), "OAuth token endpoint: invalid_client\r\n");
        }
        for (const std::string& entry : client.Record()) {
            EXPECT_EQ(entry.find("xxxx"), std::string::npos) << "a token in the record";
        }
    }
}

TEST_F(SmtpTest, MultiLineRepliesAreReadWholeEvenInPieces) {
    // EHLO's lines arrive in three pieces; none of them may be taken for the next reply.
    Script({"220 r\r\n", "250-mail.example.com\r\n250-SI", "ZE 1000\r\n", "250 HELP\r\n", "334 VXNlcm5hbWU6\r\n",
            "334 UGFzc3dvcmQ6\r\n", "235 ok\r\n"});
    CFastSmtp client(system);
    ASSERT_TRUE(client.Connect(Mail("m", 0, kAuthLogin, "u", "p")));
    EXPECT_EQ(client.Record()[1], "250-mail.example.com\r\n250-SIZE 1000\r\n250 HELP\r\n\r\n");
}

TEST_F(SmtpTest, VeryLongRepliesAreCutNotOverrun) {
    const std::string longLine = "250-" + std::string(3000, 'x') + "\r\n250 end\r\n";
    system.smtp.replies.push_back("220 r\r\n");
    system.smtp.replies.push_back(longLine);
    CFastSmtp client(system);
    ASSERT_TRUE(client.Connect(Mail("m", 0, kNoAuthentication, nullptr, nullptr)));
    EXPECT_EQ(client.Record().back().size(), 1023u);
}

TEST_F(SmtpTest, RefusedGreetingIsNotRecorded) {
    Script({"554 5.3.2 no service\r\n"});
    CFastSmtp client(system);
    EXPECT_FALSE(client.Connect(Mail("m", 0, kNoAuthentication, nullptr, nullptr)));
    EXPECT_TRUE(client.Record().empty());
    EXPECT_EQ(client.LastErrorText(), nullptr);
}

TEST_F(SmtpTest, SilentServerEndsInAReceiveError) {
    Script({"220 r\r\n"});
    system.smtp.silentAtEnd = true;
    CFastSmtp client(system);
    EXPECT_FALSE(client.Connect(Mail("m", 0, kNoAuthentication, nullptr, nullptr)));
    EXPECT_EQ(Last(client), "Socket receive error: 10060\r\n");
}

TEST_F(SmtpTest, NegativeRepliesStopTheTransfer) {
    Script({"220 r\r\n", "250 h\r\n", "250 o\r\n", "550 5.1.1 no such user\r\n"});
    CFastSmtp client(system);
    ASSERT_TRUE(client.Connect(Mail("m", 0, kNoAuthentication, nullptr, nullptr)));
    client.AddRecipient("ghost@example.com", "");
    EXPECT_FALSE(client.Send(Message()));
    EXPECT_EQ(Last(client), "550 5.1.1 no such user\r\n\r\n");
    EXPECT_EQ(system.smtp.received.find("DATA"), std::string::npos);
}

TEST_F(SmtpTest, ClientSideErrorTexts) {
    CFastSmtp notConnected(system);
    EXPECT_FALSE(notConnected.Disconnect());
    EXPECT_EQ(Last(notConnected), "Not connected to server!\r\n");

    Script({"220 r\r\n", "250 h\r\n"});
    CFastSmtp noUser(system);
    EXPECT_FALSE(noUser.Connect(Mail("m", 0, kAuthLogin, nullptr, "p")));
    EXPECT_EQ(Last(noUser), "User name mast be specified\r\n");

    Script({"220 r\r\n", "250 h\r\n"});
    CFastSmtp noPassword(system);
    EXPECT_FALSE(noPassword.Connect(Mail("m", 0, kAuthLogin, "u", nullptr)));
    EXPECT_EQ(Last(noPassword), "Password mast be specified\r\n");

    Script({"220 r\r\n", "250 h\r\n"});
    CFastSmtp unknown(system);
    EXPECT_FALSE(unknown.Connect(Mail("m", 0, 7, "u", "p")));
    EXPECT_EQ(Last(unknown), "Unknown authentication method\r\n");

    Script({"220 r\r\n", "250 h\r\n"});
    CFastSmtp noSender(system);
    ASSERT_TRUE(noSender.Connect(Mail("m", 0, kNoAuthentication, nullptr, nullptr)));
    noSender.AddRecipient("a@b", "");
    CMessage anonymous = Message();
    anonymous.SetSenderAddress("");
    EXPECT_FALSE(noSender.Send(anonymous));
    EXPECT_EQ(Last(noSender), "Sender email address not specified\r\n");

    Script({"220 r\r\n", "250 h\r\n"});
    CFastSmtp noRecipient(system);
    ASSERT_TRUE(noRecipient.Connect(Mail("m", 0, kNoAuthentication, nullptr, nullptr)));
    EXPECT_FALSE(noRecipient.Send(Message()));
    const auto& record = noRecipient.Record();
    EXPECT_EQ(record[record.size() - 2], "Please add a message recipient!\r\n");
    EXPECT_EQ(record.back(), "Failed to format message header\r\n");

    system.startupFails = true;
    CFastSmtp noSockets(system);
    EXPECT_FALSE(noSockets.Started());
    EXPECT_EQ(Last(noSockets), "WSAStartup 10091\r\n");
}

TEST_F(SmtpTest, SocketsOfAFailedConnectAreClosedWithTheObject) {
    Script({"220 r\r\n", "250 h\r\n"});
    system.pop3.replies = {"-ERR go away\r\n"};
    {
        CFastSmtp client(system);
        EXPECT_FALSE(client.Connect(Mail("m", 0, kPopBeforeSmtp, "u", "p"), Pop3("pop.example.com", 1110)));
        EXPECT_EQ(system.smtp.closed + system.pop3.closed, 0) << "still open while the object lives";
    }
    EXPECT_EQ(system.smtp.closed, 1);
    EXPECT_EQ(system.pop3.closed, 1);
    EXPECT_EQ(system.opens.back(), (std::pair<std::string, std::uint16_t>("pop.example.com", 1110)));
}

TEST(Ehlo, ExtensionsAreReadFromEveryLineOfTheReply) {
    const struct {
        const char* reply;
        bool startTls, login, plain;
    } cases[] = {
        {"250 mail.example.com", false, false, false},
        {"250-mail\r\n250-STARTTLS\r\n250 AUTH LOGIN PLAIN\r\n", true, true, true},
        {"250-mail\r\n250-auth plain\r\n250 8BITMIME", false, false, true},
        {"250-mail\r\n250-AUTH=LOGIN\r\n250 starttls", true, true, false},
        {"250-mail\r\n250-AUTHX LOGIN\r\n250-XSTARTTLS\r\n250 SIZE", false, false, false},
        {"250-STARTTLS is the server's name\r\n250 OK", false, false, false},  // the first line names the server
    };
    for (const auto& c : cases) {
        const EhloOffer offer = ParseEhloReply(c.reply);
        EXPECT_EQ(offer.startTls, c.startTls) << c.reply;
        EXPECT_EQ(offer.authLogin, c.login) << c.reply;
        EXPECT_EQ(offer.authPlain, c.plain) << c.reply;
    }
}

TEST(MailPorts, AutomaticPortFollowsTheSecurity) {
    MailSettings mail;
    EXPECT_EQ(SmtpPortFor(mail), 0);  // the "smtp" service, else 25
    mail.security = MailSecurity::StartTls;
    EXPECT_EQ(SmtpPortFor(mail), 587);
    mail.security = MailSecurity::Tls;
    EXPECT_EQ(SmtpPortFor(mail), 465);
    mail.port = 2525;
    EXPECT_EQ(SmtpPortFor(mail), 2525);
    EXPECT_EQ(Pop3PortFor(0, MailSecurity::None), 0);
    EXPECT_EQ(Pop3PortFor(0, MailSecurity::StartTls), 0);  // STLS on the usual port
    EXPECT_EQ(Pop3PortFor(0, MailSecurity::Tls), 995);
    EXPECT_EQ(Pop3PortFor(1110, MailSecurity::Tls), 1110);
}

TEST_F(SmtpTest, StartTlsThenEhloAgainThenAuthInsideTls) {
    Script({"220 r\r\n", "250-mail\r\n250-STARTTLS\r\n250 AUTH LOGIN\r\n", "220 2.0.0 go ahead\r\n",
            "250-mail\r\n250 AUTH LOGIN\r\n", "334 VXNlcm5hbWU6\r\n", "334 UGFzc3dvcmQ6\r\n", "235 ok\r\n"});
    MailSettings mail = Mail("smtp.example.com", 0, kAuthLogin, "kiosk", "secret", MailSecurity::StartTls);
    mail.certSha256 = "ab";
    CFastSmtp client(system);
    ASSERT_TRUE(client.Connect(mail)) << Last(client);
    EXPECT_EQ(system.smtp.received, "EHLO kiosk7\r\nSTARTTLS\r\n<TLS>EHLO kiosk7\r\nAUTH LOGIN\r\n" + Base64("kiosk") +
                                        "\r\n" + Base64("secret") + "\r\n");
    EXPECT_EQ(system.opens.front(), (std::pair<std::string, std::uint16_t>("smtp.example.com", 587)));
    EXPECT_EQ(system.handshakes, std::vector<std::string>{"smtp.example.com ab"});
}

TEST_F(SmtpTest, TlsFromTheFirstByteAndPlainWhereOnlyPlainIsOffered) {
    Script({"220 r\r\n", "250-mail\r\n250 AUTH PLAIN\r\n", "235 ok\r\n"});
    CFastSmtp client(system);
    ASSERT_TRUE(client.Connect(Mail("m", 0, kAuthLogin, "kiosk", "secret", MailSecurity::Tls))) << Last(client);
    EXPECT_EQ(system.smtp.received, "<TLS>EHLO kiosk7\r\nAUTH PLAIN " + Base64(std::string("\0kiosk\0secret", 13)) + "\r\n");
    EXPECT_EQ(system.opens.front().second, 465);
}

// With security on, nothing is ever said in plain text after a refusal.
TEST_F(SmtpTest, StartTlsRefusalsEndTheSendBeforeAuth) {
    const struct {
        std::vector<const char*> replies;
        std::string tlsFailure;
        std::string received;
        std::string last;
    } cases[] = {
        {{"220 r\r\n", "250-mail\r\n250 AUTH LOGIN\r\n"}, "", "EHLO kiosk7\r\n",
         "The server does not offer STARTTLS\r\n"},
        {{"220 r\r\n", "250-mail\r\n250 STARTTLS\r\n", "454 4.7.0 TLS not available due to temporary reason\r\n"},
         "",
         "EHLO kiosk7\r\nSTARTTLS\r\n",
         "454 4.7.0 TLS not available due to temporary reason\r\n\r\n"},
        {{"220 r\r\n", "250-mail\r\n250 STARTTLS\r\n", "220 go\r\n"},
         "Server certificate has expired or is not yet valid\r\n",
         "EHLO kiosk7\r\nSTARTTLS\r\n",
         "Server certificate has expired or is not yet valid\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.last);
        system.smtp.received.clear();
        system.tlsFailure = c.tlsFailure;
        for (const char* r : c.replies) system.smtp.replies.emplace_back(r);
        CFastSmtp client(system);
        EXPECT_FALSE(client.Connect(Mail("m", 587, kAuthLogin, "kiosk", "secret", MailSecurity::StartTls)));
        EXPECT_EQ(system.smtp.received, c.received);
        EXPECT_EQ(Last(client), c.last);
        EXPECT_EQ(client.FailedStep(), MailStep::Connect);
        system.smtp.replies.clear();
    }
}

TEST_F(SmtpTest, PopBeforeSmtpSecuresItsLogInToo) {
    Script({"220 r\r\n", "250-mail\r\n250 STARTTLS\r\n", "220 go\r\n", "250 mail\r\n"});
    system.pop3.replies = {"+OK pop ready\r\n", "+OK begin TLS\r\n", "+OK user\r\n", "+OK pass\r\n"};
    CFastSmtp client(system);
    ASSERT_TRUE(client.Connect(Mail("m", 0, kPopBeforeSmtp, "kiosk", "secret", MailSecurity::StartTls))) << Last(client);
    EXPECT_EQ(system.pop3.received, "STLS\r\n<TLS>USER kiosk\r\nPASS secret\r\n");
}

// Where a send failed and with which reply: what decides whether it may go later.
TEST_F(SmtpTest, FailedStepAndReplyCode) {
    const struct {
        std::vector<const char*> replies;
        std::uint32_t auth;
        MailStep step;
        int code;
    } cases[] = {
        {{"554 no service\r\n"}, kNoAuthentication, MailStep::Connect, 554},
        {{"220 r\r\n"}, kNoAuthentication, MailStep::Connect, 0},  // the connection broke
        {{"220 r\r\n", "250 h\r\n", "334 a\r\n", "334 b\r\n", "535 5.7.8 no\r\n"}, kAuthLogin,
         MailStep::Authentication, 535},
        {{"220 r\r\n", "250 h\r\n", "250 o\r\n", "451 4.3.0 try later\r\n"}, kNoAuthentication, MailStep::Message, 451},
        {{"220 r\r\n", "250 h\r\n", "250 o\r\n", "550 5.1.1 no such user\r\n"}, kNoAuthentication, MailStep::Message,
         550},
        {{"220 r\r\n", "250 h\r\n", "250 o\r\n", "250 o\r\n", "354 g\r\n", "552 5.3.4 too big\r\n", "221 bye\r\n"},
         kNoAuthentication, MailStep::Message, 552},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.replies.back());
        system.smtp.replies.clear();
        for (const char* r : c.replies) system.smtp.replies.emplace_back(r);
        CFastSmtp client(system);
        if (client.Connect(Mail("m", 0, c.auth, "u", "p"))) {
            client.AddRecipient("a@b", "");
            EXPECT_FALSE(client.Send(Message()));
            client.Disconnect();  // its QUIT does not change the verdict
        }
        EXPECT_EQ(client.FailedStep(), c.step);
        EXPECT_EQ(client.FailedReplyCode(), c.code);
    }
}

TEST(DailyLog, TheMostRecentDateWithTheStoredDay) {
    auto date = [](int y, int m, int d) { return CalendarDate{y, m, d}; };
    auto same = [](CalendarDate a, CalendarDate b) { return a.year == b.year && a.month == b.month && a.day == b.day; };
    EXPECT_TRUE(same(MostRecentDateWithDay(date(2026, 12, 15), 14), date(2026, 12, 14)));
    EXPECT_TRUE(same(MostRecentDateWithDay(date(2026, 12, 2), 31), date(2026, 10, 31)));  // November has 30 days
    EXPECT_TRUE(same(MostRecentDateWithDay(date(2026, 11, 2), 31), date(2026, 10, 31)));
    EXPECT_TRUE(same(MostRecentDateWithDay(date(2027, 3, 2), 29), date(2027, 1, 29)));   // no 29 February in 2027
    EXPECT_TRUE(same(MostRecentDateWithDay(date(2028, 3, 2), 29), date(2028, 2, 29)));   // a leap year
    EXPECT_TRUE(same(MostRecentDateWithDay(date(2027, 1, 1), 31), date(2026, 12, 31)));  // across the year
    EXPECT_TRUE(same(MostRecentDateWithDay(date(2026, 12, 7), 7), date(2026, 12, 7)));
    EXPECT_EQ(DaysInMonth(1900, 2), 28);
    EXPECT_EQ(DaysInMonth(2000, 2), 29);
}

TEST(CertificatePin, HexInAnyCaseWithOrWithoutSeparators) {
    const std::string hex = "c16d93a23caccbc0b9478b0fa493821712d70f716c8dd35e66cb7cc1592c3323";
    const std::optional<Sha256> plain = ParseSha256(hex);
    ASSERT_TRUE(plain.has_value());
    EXPECT_EQ(Sha256Hex(*plain), hex);
    EXPECT_EQ((*plain)[0], 0xC1);
    EXPECT_EQ((*plain)[31], 0x23);
    EXPECT_EQ(ParseSha256("C1:6D:93:A2:3C:AC:CB:C0:B9:47:8B:0F:A4:93:82:17:12:D7:0F:71:6C:8D:D3:5E:66:CB:7C:C1:59:2C:33:23"),
              plain);
    EXPECT_EQ(ParseSha256(" c16d 93a2" + hex.substr(8)), plain);
    for (const std::string& bad : {std::string(), hex.substr(1), hex + "0", "x" + hex.substr(1), hex.substr(0, 62) + "-3"}) {
        EXPECT_FALSE(ParseSha256(bad).has_value()) << bad;
    }
}

}  // namespace
}  // namespace mrwd
