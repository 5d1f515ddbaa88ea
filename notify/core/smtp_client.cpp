#include "smtp_client.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "notify/core/base64.h"
#include "notify/core/oauth_token.h"

namespace mrwd {
namespace {

// Replies, record entries and commands live in buffers of this size.
constexpr std::size_t kBuffer = 1024;
constexpr std::size_t kAttachmentGroupsPerLine = 19;

bool Positive(const std::string& reply, bool pop3) {
    if (reply.empty()) return false;
    return pop3 ? reply[0] == '+' : (reply[0] == '2' || reply[0] == '3');
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// True once `text` holds a complete final line: for SMTP the line whose code
// is followed by a blank (or stands alone), for POP3 the first line.
bool ReplyComplete(const std::string& text, bool pop3) {
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        if (pop3) return true;
        const std::string line = text.substr(start, end - start);
        const bool coded = line.size() >= 3 && IsDigit(line[0]) && IsDigit(line[1]) && IsDigit(line[2]);
        if (coded && (line.size() == 3 || line[3] == ' ' || line[3] == '\r')) return true;
        if (!coded) return true;  // not a reply the server could continue: take what came
        start = end + 1;
    }
    return false;
}

int ReplyCode(const std::string& reply, bool pop3) {
    if (pop3) return reply.rfind("-ERR", 0) == 0 ? 500 : 0;  // POP3 has no codes: a refusal counts as permanent
    if (reply.size() < 3 || !IsDigit(reply[0]) || !IsDigit(reply[1]) || !IsDigit(reply[2])) return 0;
    return (reply[0] - '0') * 100 + (reply[1] - '0') * 10 + (reply[2] - '0');
}

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

constexpr std::uint16_t kSubmissionPort = 587;
constexpr std::uint16_t kSmtpsPort = 465;
constexpr std::uint16_t kPop3sPort = 995;

}  // namespace

std::string WithoutLineEnds(std::string text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
    return text;
}

EhloOffer ParseEhloReply(const std::string& reply) {
    EhloOffer offer;
    // The first line names the server; the keywords follow it.
    std::size_t start = reply.find('\n');
    start = start == std::string::npos ? reply.size() : start + 1;
    while (start < reply.size()) {
        std::size_t end = reply.find('\n', start);
        if (end == std::string::npos) end = reply.size();
        std::string line = Upper(reply.substr(start, end - start));
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // "250-KEYWORD params" or "250 KEYWORD params".
        if (line.size() < 5 || line.compare(0, 3, "250") != 0) continue;
        const std::string keyword = line.substr(4, line.find(' ', 4) == std::string::npos ? std::string::npos
                                                                                             : line.find(' ', 4) - 4);
        if (keyword == "STARTTLS") offer.startTls = true;
        // Old servers write "AUTH=LOGIN PLAIN".
        if (keyword.rfind("AUTH", 0) == 0 && (keyword.size() == 4 || keyword[4] == '=')) {
            const std::string mechanisms = " " + line.substr(9) + " ";
            if (mechanisms.find(" LOGIN ") != std::string::npos) offer.authLogin = true;
            if (mechanisms.find(" PLAIN ") != std::string::npos) offer.authPlain = true;
        }
    }
    return offer;
}

std::uint16_t SmtpPortFor(const MailSettings& mail) {
    if (mail.port != 0) return mail.port;
    switch (mail.security) {
        case MailSecurity::StartTls: return kSubmissionPort;
        case MailSecurity::Tls: return kSmtpsPort;
        default: return 0;
    }
}

std::uint16_t Pop3PortFor(std::uint16_t port, MailSecurity security) {
    if (port != 0) return port;
    return security == MailSecurity::Tls ? kPop3sPort : 0;
}

CFastSmtp::CFastSmtp(MailSystem& system) : system_(system) {
    std::vector<std::string> failure;
    started_ = system_.Startup(failure);
    for (const std::string& text : failure) RecordText("%s", text.c_str());
}

CFastSmtp::~CFastSmtp() {
    if (connected_) Disconnect();
    // Sockets a failed Connect left open are closed here, before the library ends.
    smtp_.reset();
    pop3_.reset();
    if (started_) system_.Cleanup();
}

void CFastSmtp::RecordText(const char* format, ...) {
    char text[kBuffer] = {};
    std::va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    record_.emplace_back(text);
}

bool CFastSmtp::SendRaw(MailConnection& connection, const std::string& bytes) {
    int error = 0;
    if (connection.Send(bytes.data(), bytes.size(), error)) return true;
    RecordText("Socket send error: %d\r\n", error);
    return false;
}

bool CFastSmtp::ReadReply(MailConnection& connection, bool pop3, std::string& reply) {
    // Multi-line replies (EHLO's) are read to their final line, so nothing of
    // them is taken for the next reply. At most 1,023 bytes are kept.
    std::string text;
    char chunk[kBuffer];
    while (!ReplyComplete(text, pop3)) {
        std::size_t received = 0;
        int error = 0;
        if (!connection.Receive(chunk, sizeof chunk, received, error)) {
            RecordText("Socket receive error: %d\r\n", error);
            return false;
        }
        text.append(chunk, received);
    }
    reply = text.substr(0, kBuffer - 1);
    return true;
}

bool CFastSmtp::Command(MailConnection* connection, bool pop3, const std::string& command, std::size_t longest) {
    lastNegativeCode_ = 0;
    if (connection == nullptr) return false;
    if (!SendRaw(*connection, command.substr(0, longest))) return false;
    std::string reply;
    if (!ReadReply(*connection, pop3, reply)) return false;
    RecordText("%s\r\n", reply.c_str());
    lastReply_ = reply;
    if (Positive(reply, pop3)) return true;
    lastNegativeCode_ = ReplyCode(reply, pop3);
    return false;
}

bool CFastSmtp::FailAt(MailStep step) {
    failedStep_ = step;
    failedReplyCode_ = lastNegativeCode_;
    return false;
}

bool CFastSmtp::Connect(const MailSettings& mail, const Pop3Server& pop3) {
    if (connected_) Disconnect();
    connected_ = false;
    smtp_.reset();
    pop3_.reset();
    failedStep_ = MailStep::None;
    failedReplyCode_ = 0;
    lastNegativeCode_ = 0;

    if (!Greet(mail)) return FailAt(MailStep::Connect);
    if (mail.authentication != MailAuthentication::None && !Authenticate(mail, pop3)) {
        return FailAt(MailStep::Authentication);
    }
    connected_ = true;
    return true;
}

bool CFastSmtp::Secure(std::unique_ptr<MailConnection>& connection, const MailSettings& mail) {
    std::string failure;
    connection = system_.StartTls(std::move(connection), mail.server, mail.certSha256, failure);
    if (connection) return true;
    RecordText("%s", failure.c_str());
    return false;
}

bool CFastSmtp::Greet(const MailSettings& mail) {
    smtp_ = system_.Open(mail.server, SmtpPortFor(mail), false);
    if (!smtp_) {
        RecordText("Invalid SMTP socket\r\n");
        return false;
    }
    if (mail.security == MailSecurity::Tls && !Secure(smtp_, mail)) return false;
    // A refused greeting is not recorded.
    std::string greeting;
    if (!ReadReply(*smtp_, false, greeting)) return false;
    lastReply_ = greeting;
    if (!Positive(greeting, false)) {
        lastNegativeCode_ = ReplyCode(greeting, false);
        return false;
    }
    RecordText("%s\r\n", greeting.c_str());

    if (!system_.LocalHostName(hostName_)) {
        RecordText("Failed to get the local hostname\r\n");
        hostName_.clear();
    }
    // Extensions (STARTTLS, AUTH) are announced only to EHLO.
    const bool extended = mail.authentication == MailAuthentication::Login ||
                          mail.authentication == MailAuthentication::OAuth || mail.security != MailSecurity::None;
    const std::string hello = std::string(extended ? "EHLO " : "HELO ") + hostName_ + "\r\n";
    if (!SmtpCommand(hello)) return false;
    offer_ = ParseEhloReply(lastReply_);
    if (mail.security != MailSecurity::StartTls) return true;

    // Never on in plain text: a server that does not offer STARTTLS, or
    // refuses it, ends the send.
    if (!offer_.startTls) {
        RecordText("The server does not offer STARTTLS\r\n");
        return false;
    }
    if (!SmtpCommand("STARTTLS\r\n") || !Secure(smtp_, mail)) return false;
    // What was said before the handshake no longer counts.
    if (!SmtpCommand(hello)) return false;
    offer_ = ParseEhloReply(lastReply_);
    return true;
}

bool CFastSmtp::Authenticate(const MailSettings& mail, const Pop3Server& pop3) {
    // An empty name or password can only be refused: not sent at all.
    if (mail.userName.empty()) {
        RecordText("User name mast be specified\r\n");
        return false;
    }
    if (mail.authentication == MailAuthentication::OAuth) return XOAuth2(mail);
    if (mail.password.empty()) {
        RecordText("Password mast be specified\r\n");
        return false;
    }
    if (mail.authentication == MailAuthentication::Login) {
        // LOGIN stays first; PLAIN (RFC 4616) only for servers that offer it alone.
        if (offer_.authPlain && !offer_.authLogin) {
            return SmtpCommand("AUTH PLAIN " + Base64(std::string(1, '\0') + mail.userName + '\0' + mail.password) +
                               "\r\n");
        }
        return SmtpCommand("AUTH LOGIN\r\n") && SmtpCommand(Base64(mail.userName) + "\r\n") &&
               SmtpCommand(Base64(mail.password) + "\r\n");
    }
    if (mail.authentication == MailAuthentication::PopBeforeSmtp) return PopBeforeSmtp(mail, pop3);
    RecordText("Unknown authentication method\r\n");
    return false;
}

bool CFastSmtp::XOAuth2(const MailSettings& mail) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::string token;
        std::string failure;
        if (!system_.AccessToken(mail, attempt > 0, token, failure)) {
            RecordText("%s\r\n", failure.c_str());
            return false;
        }
        // The reply, not the command, goes to the record: the token stays out of it.
        // An access token runs to a few kilobytes: the command goes out whole.
        const std::string command = "AUTH XOAUTH2 " + XOAuth2Response(mail.userName, token) + "\r\n";
        if (Command(smtp_.get(), false, command, command.size())) {
            if (ReplyCode(lastReply_, false) != 334) return true;
            // A refusal comes first as a challenge holding the reason; an
            // empty line asks for the final reply.
            if (SmtpCommand("\r\n")) return true;
        }
        if (lastNegativeCode_ != 535) return false;
    }
    return false;
}

bool CFastSmtp::PopBeforeSmtp(const MailSettings& mail, const Pop3Server& pop3) {
    pop3_ = system_.Open(pop3.host.empty() ? mail.server : pop3.host, Pop3PortFor(pop3.port, mail.security), true);
    if (!pop3_) {
        RecordText("Invalid POP3 socket\r\n");
        return false;
    }
    if (mail.security == MailSecurity::Tls && !Secure(pop3_, mail)) return false;
    std::string greeting;
    if (!ReadReply(*pop3_, true, greeting) || !Positive(greeting, true)) return false;
    RecordText("%s\r\n", greeting.c_str());
    // STLS (RFC 2595): the password never goes out in plain text either.
    if (mail.security == MailSecurity::StartTls && (!Pop3Command("STLS\r\n") || !Secure(pop3_, mail))) return false;
    return Pop3Command("USER " + mail.userName + "\r\n") && Pop3Command("PASS " + mail.password + "\r\n");
}

bool CFastSmtp::AddRecipient(const std::string& address, const std::string& name) {
    if (address.empty()) return false;
    CRecipient recipient;
    recipient.SetText(name + "<" + address + ">");
    recipients_.push_back(recipient);
    return true;
}

bool CFastSmtp::Send(const CMessage& message) {
    attachments_.clear();
    for (std::size_t i = 0; i < message.AttachmentCount(); ++i) attachments_.push_back(message.Attachment(i));
    body_ = message.Body();
    subject_ = message.Subject();
    senderAddress_ = message.SenderAddress();
    senderName_ = message.SenderName();
    return SendMail();
}

bool CFastSmtp::SendMail() {
    failedStep_ = MailStep::None;
    failedReplyCode_ = 0;
    lastNegativeCode_ = 0;
    if (senderAddress_.empty()) {
        RecordText("Sender email address not specified\r\n");
        return FailAt(MailStep::Message);
    }
    HeaderFields fields;
    fields.senderName = senderName_;
    fields.senderAddress = senderAddress_;
    for (const CRecipient& r : recipients_) fields.recipients.push_back(r.Text());
    fields.subject = subject_;
    fields.mailer = mailer_;
    std::string header;
    if (!BuildHeader(fields, system_.Now(), header)) {
        RecordText("Please add a message recipient!\r\n");
        RecordText("Failed to format message header\r\n");
        return FailAt(MailStep::Message);
    }
    if (!SmtpCommand("MAIL FROM: <" + senderAddress_ + ">\r\n")) return FailAt(MailStep::Message);
    for (const CRecipient& r : recipients_) {
        if (!SmtpCommand("RCPT TO: <" + r.Address() + "\r\n")) return FailAt(MailStep::Message);
    }
    if (!SmtpCommand("DATA\r\n")) return FailAt(MailStep::Message);
    if (!SendRaw(*smtp_, header) || !SendRaw(*smtp_, kFirstPartDelimiter) || !SendRaw(*smtp_, kTextPartHeader) ||
        !SendRaw(*smtp_, CrLfLineEnds(body_)) || !SendRaw(*smtp_, "\r\n")) {
        return FailAt(MailStep::Message);
    }
    for (const std::string& path : attachments_) {
        if (!SendAttachment(path)) return false;
    }
    return SmtpCommand(kDataEnd) || FailAt(MailStep::Message);
}

bool CFastSmtp::SendAttachment(const std::string& path) {
    const std::string partHeader = AttachmentPartHeader(path);
    std::string bytes, failure;
    std::string encoded;
    if (system_.ReadAttachment(path, bytes, failure)) {
        encoded = Base64(bytes, kAttachmentGroupsPerLine);
    } else {
        RecordText("%s", failure.c_str());
    }
    if (encoded.empty()) {
        // Nothing of it has reached the server: the data stays unfinished.
        RecordText("Can't attach file: %s\r\n", path.c_str());
        return FailAt(MailStep::Attachment);
    }
    return (SendRaw(*smtp_, "--=bound=\r\n") && SendRaw(*smtp_, partHeader) && SendRaw(*smtp_, encoded) &&
            SendRaw(*smtp_, "\r\n")) ||
           FailAt(MailStep::Message);
}

bool CFastSmtp::Disconnect() {
    if (!connected_) {
        RecordText("Not connected to server!\r\n");
        return false;
    }
    SmtpCommand("QUIT\r\n");
    smtp_.reset();
    if (pop3_) {
        Pop3Command("QUIT\r\n");
        pop3_.reset();
    }
    connected_ = false;
    return true;
}

}  // namespace mrwd
