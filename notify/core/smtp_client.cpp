#include "smtp_client.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "notify/core/base64.h"

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

}  // namespace

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

bool CFastSmtp::Command(MailConnection* connection, bool pop3, const std::string& command) {
    if (connection == nullptr) return false;
    if (!SendRaw(*connection, command.substr(0, kBuffer - 1))) return false;
    std::string reply;
    if (!ReadReply(*connection, pop3, reply)) return false;
    RecordText("%s\r\n", reply.c_str());
    return Positive(reply, pop3);
}

bool CFastSmtp::Connect(const std::string& server, std::uint16_t port, std::uint32_t authType, const char* user,
                        const char* password, const char* pop3Server, std::uint16_t pop3Port) {
    if (connected_) Disconnect();
    connected_ = false;
    smtp_.reset();
    pop3_.reset();

    smtp_ = system_.Open(server, port, false);
    if (!smtp_) {
        RecordText("Invalid SMTP socket\r\n");
        return false;
    }
    // A refused greeting is not recorded.
    std::string greeting;
    if (!ReadReply(*smtp_, false, greeting)) return false;
    if (!Positive(greeting, false)) return false;
    RecordText("%s\r\n", greeting.c_str());

    if (!system_.LocalHostName(hostName_)) {
        RecordText("Failed to get the local hostname\r\n");
        hostName_.clear();
    }
    const char* verb = authType == kAuthLogin ? "EHLO" : "HELO";
    if (!SmtpCommand(std::string(verb) + " " + hostName_ + "\r\n")) return false;
    if (authType == kNoAuthentication) {
        connected_ = true;
        return true;
    }
    if (!Authenticate(server, authType, user, password, pop3Server, pop3Port)) return false;
    connected_ = true;
    return true;
}

bool CFastSmtp::Authenticate(const std::string& server, std::uint32_t authType, const char* user,
                             const char* password, const char* pop3Server, std::uint16_t pop3Port) {
    if (user == nullptr) {
        RecordText("User name mast be specified\r\n");
        return false;
    }
    if (password == nullptr) {
        RecordText("Password mast be specified\r\n");
        return false;
    }
    if (authType == kAuthLogin) {
        return SmtpCommand("AUTH LOGIN\r\n") && SmtpCommand(Base64(user) + "\r\n") &&
               SmtpCommand(Base64(password) + "\r\n");
    }
    if (authType == kPopBeforeSmtp) {
        pop3_ = system_.Open(pop3Server != nullptr ? pop3Server : server, pop3Port, true);
        if (!pop3_) {
            RecordText("Invalid POP3 socket\r\n");
            return false;
        }
        std::string greeting;
        if (!ReadReply(*pop3_, true, greeting) || !Positive(greeting, true)) return false;
        RecordText("%s\r\n", greeting.c_str());
        return Pop3Command(std::string("USER ") + user + "\r\n") && Pop3Command(std::string("PASS ") + password + "\r\n");
    }
    RecordText("Unknown authentication method\r\n");
    return false;
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
    if (senderAddress_.empty()) {
        RecordText("Sender email address not specified\r\n");
        return false;
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
        return false;
    }
    if (!SmtpCommand("MAIL FROM: <" + senderAddress_ + ">\r\n")) return false;
    for (const CRecipient& r : recipients_) {
        if (!SmtpCommand("RCPT TO: <" + r.Address() + "\r\n")) return false;
    }
    if (!SmtpCommand("DATA\r\n")) return false;
    if (!SendRaw(*smtp_, header) || !SendRaw(*smtp_, kFirstPartDelimiter) || !SendRaw(*smtp_, kTextPartHeader) ||
        !SendRaw(*smtp_, CrLfLineEnds(body_)) || !SendRaw(*smtp_, "\r\n")) {
        return false;
    }
    for (const std::string& path : attachments_) {
        if (!SendAttachment(path)) return false;
    }
    return SmtpCommand(kDataEnd);
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
        return false;
    }
    return SendRaw(*smtp_, "--=bound=\r\n") && SendRaw(*smtp_, partHeader) && SendRaw(*smtp_, encoded) &&
           SendRaw(*smtp_, "\r\n");
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
