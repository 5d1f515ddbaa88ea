// CFastSmtp: the server's own mail client. One object sends one message: it
// connects, secures the connection if asked (STARTTLS, or TLS from the first
// byte), greets, authenticates if asked (AUTH LOGIN or PLAIN, XOAUTH2 with
// an OAuth token, or POP before SMTP), transfers the message and quits, keeping every server reply and
// error text in its record. Sockets, TLS, files and the clock are reached
// through MailSystem.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/core/mail_settings.h"
#include "notify/core/mail_format.h"
#include "notify/core/mail_message.h"

namespace mrwd {

// One TCP connection. Every call ends within the connection's time-out.
class MailConnection {
public:
    virtual ~MailConnection() = default;
    // False with the system's error code.
    virtual bool Send(const char* data, std::size_t size, int& error) = 0;
    // Whatever has arrived, at least one byte; false with an error code, also
    // when the server closed the connection.
    virtual bool Receive(char* buffer, std::size_t size, std::size_t& received, int& error) = 0;
};

class MailSystem {
public:
    virtual ~MailSystem() = default;
    // Starts the socket library; on failure the texts to record go to `failure`.
    virtual bool Startup(std::vector<std::string>& failure) = 0;
    virtual void Cleanup() = 0;
    virtual bool LocalHostName(std::string& name) = 0;
    // Resolves and connects; port 0 takes the service's port ("smtp" or
    // "pop3", else 25 or 110). Null on failure.
    virtual std::unique_ptr<MailConnection> Open(const std::string& host, std::uint16_t port, bool pop3) = 0;
    // The TLS handshake over `plain`, then the check of the server's
    // certificate: against the system's roots for `host`, or, with
    // `certSha256`, that exactly. The secured connection, or null with the
    // reason to record in `failure`.
    virtual std::unique_ptr<MailConnection> StartTls(std::unique_ptr<MailConnection> plain, const std::string& host,
                                                     const std::string& certSha256, std::string& failure) = 0;
    virtual UtcTime Now() = 0;
    // A whole file; on failure the text to record goes to `failure`.
    virtual bool ReadAttachment(const std::string& path, std::string& bytes, std::string& failure) = 0;
    // An OAuth access token for the mail's application: one still valid, or
    // with `renew` (the server refused the last one) a fresh one. On failure
    // the text to record goes to `failure`: what failed, never the secret or
    // a token.
    virtual bool AccessToken(const MailSettings& mail, bool renew, std::string& token, std::string& failure) = 0;
};

// What the server offers in its reply to EHLO.
struct EhloOffer {
    bool startTls = false;
    bool authLogin = false;
    bool authPlain = false;
};
EhloOffer ParseEhloReply(const std::string& reply);

// The port a send connects to: the one set, or by the security 587 or 465;
// 0 without security (the "smtp" service's port, else 25). The same for
// POP before SMTP: 995 with TLS from the start, else 0 ("pop3", else 110).
std::uint16_t SmtpPortFor(const MailSettings& mail);
std::uint16_t Pop3PortFor(std::uint16_t port, MailSecurity security);

// A record text or reply as a line of the log or of the screen: the CR LF
// it ends in (a reply even two) taken off.
std::string WithoutLineEnds(std::string text);

// Where a failed send stopped, for deciding whether it may succeed later.
enum class MailStep {
    None,            // nothing failed (yet)
    Connect,         // socket, look-up, connection, TLS, greeting, EHLO or HELO, STARTTLS
    Authentication,  // AUTH or the POP3 log-in
    Message,         // MAIL FROM, RCPT TO, DATA, the data and its final dot
    Attachment,      // a file to attach could not be read
};

// The POP3 server of POP before SMTP; an empty host is the SMTP server's.
struct Pop3Server {
    std::string host;
    std::uint16_t port = 0;
};

class CFastSmtp {
public:
    explicit CFastSmtp(MailSystem& system);
    // Quits a dialogue still open and closes every socket it opened.
    virtual ~CFastSmtp();
    CFastSmtp(const CFastSmtp&) = delete;
    CFastSmtp& operator=(const CFastSmtp&) = delete;

    // False when the socket library could not be started (the reason is recorded).
    bool Started() const { return started_; }

    bool Connect(const MailSettings& mail, const Pop3Server& pop3 = Pop3Server());
    bool AddRecipient(const std::string& address, const std::string& name);
    bool IsConnected() const { return connected_; }
    void SetXMailer(const std::string& mailer) { mailer_ = mailer; }
    bool Send(const CMessage& message);
    bool Disconnect();

    // The latest record entry, or null when nothing was recorded.
    const char* LastErrorText() const { return record_.empty() ? nullptr : record_.back().c_str(); }
    const std::vector<std::string>& Record() const { return record_; }
    // The step that failed and the server's reply code there (0: no reply,
    // the connection or the client failed).
    MailStep FailedStep() const { return failedStep_; }
    int FailedReplyCode() const { return failedReplyCode_; }
    // The server's latest reply (a greeting too), whatever it said.
    const std::string& LastReply() const { return lastReply_; }

private:
    void RecordText(const char* format, ...);
    bool SendRaw(MailConnection& connection, const std::string& bytes);
    // Reads one reply up to its final line; false on a transfer error.
    bool ReadReply(MailConnection& connection, bool pop3, std::string& reply);
    // Sends at most `longest` bytes of the command (a line of the buffers the
    // replies and the record use, unless said otherwise).
    bool Command(MailConnection* connection, bool pop3, const std::string& command, std::size_t longest = 1023);
    bool SmtpCommand(const std::string& command) { return Command(smtp_.get(), false, command); }
    bool Pop3Command(const std::string& command) { return Command(pop3_.get(), true, command); }
    bool Greet(const MailSettings& mail);
    bool Secure(std::unique_ptr<MailConnection>& connection, const MailSettings& mail);
    bool Authenticate(const MailSettings& mail, const Pop3Server& pop3);
    bool PopBeforeSmtp(const MailSettings& mail, const Pop3Server& pop3);
    // AUTH XOAUTH2 with the application's token, fetched once more when the
    // server refuses it (it may have been revoked or have run out early).
    bool XOAuth2(const MailSettings& mail);
    // Notes where a failure happened; always false.
    bool FailAt(MailStep step);
    bool SendMail();
    bool SendAttachment(const std::string& path);

    MailSystem& system_;
    bool started_ = false;
    bool connected_ = false;
    std::string hostName_;
    std::string senderAddress_;
    std::string senderName_;
    std::string subject_;
    std::string body_;
    std::string mailer_;
    std::string lastReply_;
    EhloOffer offer_;
    MailStep failedStep_ = MailStep::None;
    int failedReplyCode_ = 0;
    int lastNegativeCode_ = 0;  // of the latest reply, 0 when it was positive or none came
    std::unique_ptr<MailConnection> smtp_;
    std::unique_ptr<MailConnection> pop3_;
    std::vector<CRecipient> recipients_;
    std::vector<std::string> attachments_;
    std::vector<std::string> record_;
};

}  // namespace mrwd
