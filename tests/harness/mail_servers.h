// The two mail servers a test runs against (tests/harness/with-mailservers):
// the scripted SMTP/POP3 server and a real SMTP server that files each
// delivered message after parsing it. Both run on the Linux side.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace mrwd::testing {

// One connection as a server saw it; times in seconds of the Linux
// monotonic clock, comparable between connections.
struct MailSession {
    std::string kind;  // "smtp" or "pop3"
    int number = 0;
    double opened = 0;
    double closed = -1;  // -1 while open
};

// True when no two of the sessions were open at the same time.
bool SessionsApart(const std::vector<MailSession>& sessions);

class ScriptedMailServer {
public:
    // Forgets what earlier tests left: script, sessions and recordings.
    ScriptedMailServer();
    bool Available() const { return !folder_.empty(); }
    std::uint16_t SmtpPort() const { return smtpPort_; }
    std::uint16_t Pop3Port() const { return pop3Port_; }
    std::uint16_t SmtpsPort() const { return smtpsPort_; }

    // Lines as mailsim.py reads them ("mode silent", "reply AUTH_PASS 535 no"),
    // for the connections opened from now on.
    void SetScript(const std::string& lines) const;
    std::vector<MailSession> Sessions() const;
    // Every byte the server received in that connection.
    std::string Received(const MailSession& session) const;
    bool WaitForClosedSessions(std::size_t count, DWORD timeoutMs) const;

private:
    std::string folder_;
    std::uint16_t smtpPort_ = 0;
    std::uint16_t pop3Port_ = 0;
    std::uint16_t smtpsPort_ = 0;
};

// The test certificate authority (make-test-certificates) in the prefix's
// root store of the machine, where every program of the prefix finds it;
// false when it could not be added.
bool TrustTestAuthority();

// The SHA-256 in hex of one of the test certificates ("good", "expired", ...).
std::string TestCertificateSha256(const std::string& name);

struct DeliveredMail {
    std::map<std::string, std::string> fields;  // from, to, subject, date, envelope-from, envelope-to
    std::string body;                           // UTF-8, decoded from the message's charset
    std::vector<std::pair<std::string, std::string>> attachments;  // file name, bytes
    std::string raw;                            // the data as received
};

class RealMailServer {
public:
    // Forgets the mail and sessions of earlier tests. `variables` names the
    // environment that describes the server: VARIABLES_DIR, _PORT, _USER and
    // _PASSWORD (the private exim's mail is filed the same way, MRWD_EXIM).
    explicit RealMailServer(const std::string& variables = "MRWD_REALSMTP");
    bool Available() const { return !folder_.empty(); }
    std::uint16_t Port() const { return port_; }
    // The same server, requiring STARTTLS before AUTH; its certificate is for "localhost".
    std::uint16_t TlsPort() const { return tlsPort_; }
    const std::string& User() const { return user_; }
    const std::string& Password() const { return password_; }

    std::size_t MailCount() const;
    bool WaitForMails(std::size_t count, DWORD timeoutMs) const;
    // Mails in the order of arrival, from 0.
    DeliveredMail Mail(std::size_t index) const;
    std::vector<MailSession> Sessions() const;

private:
    std::string folder_;
    std::uint16_t port_ = 0;
    std::uint16_t tlsPort_ = 0;
    std::string user_;
    std::string password_;
    int firstMail_ = 1;
};

}  // namespace mrwd::testing
