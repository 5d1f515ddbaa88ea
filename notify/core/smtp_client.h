// CFastSmtp: the server's own mail client. One object sends one message: it
// connects, greets, authenticates if asked (AUTH LOGIN, or POP before SMTP),
// transfers the message and quits, keeping every server reply and error text
// in its record. Sockets, files and the clock are reached through MailSystem.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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
    virtual UtcTime Now() = 0;
    // A whole file; on failure the text to record goes to `failure`.
    virtual bool ReadAttachment(const std::string& path, std::string& bytes, std::string& failure) = 0;
};

enum AuthType : std::uint32_t {
    kNoAuthentication = 0,
    kAuthLogin = 1,
    kPopBeforeSmtp = 2,
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

    // `user`, `password` and `pop3Server` may be null; port 0 is the default port.
    bool Connect(const std::string& server, std::uint16_t port, std::uint32_t authType, const char* user,
                 const char* password, const char* pop3Server, std::uint16_t pop3Port);
    bool AddRecipient(const std::string& address, const std::string& name);
    bool IsConnected() const { return connected_; }
    void SetXMailer(const std::string& mailer) { mailer_ = mailer; }
    bool Send(const CMessage& message);
    bool Disconnect();

    // The latest record entry, or null when nothing was recorded.
    const char* LastErrorText() const { return record_.empty() ? nullptr : record_.back().c_str(); }
    const std::vector<std::string>& Record() const { return record_; }

private:
    void RecordText(const char* format, ...);
    bool SendRaw(MailConnection& connection, const std::string& bytes);
    // Reads one reply up to its final line; false on a transfer error.
    bool ReadReply(MailConnection& connection, bool pop3, std::string& reply);
    bool Command(MailConnection* connection, bool pop3, const std::string& command);
    bool SmtpCommand(const std::string& command) { return Command(smtp_.get(), false, command); }
    bool Pop3Command(const std::string& command) { return Command(pop3_.get(), true, command); }
    bool Authenticate(const std::string& server, std::uint32_t authType, const char* user, const char* password,
                      const char* pop3Server, std::uint16_t pop3Port);
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
    std::unique_ptr<MailConnection> smtp_;
    std::unique_ptr<MailConnection> pop3_;
    std::vector<CRecipient> recipients_;
    std::vector<std::string> attachments_;
    std::vector<std::string> record_;
};

}  // namespace mrwd
