// CMessage: one e-mail as the server builds it (subject, body, sender, the
// files to attach), and CRecipient, one "To" entry.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>
#include <vector>

namespace mrwd {

class CMessage {
public:
    virtual ~CMessage() = default;

    // printf-style into a 2,048-byte buffer; replaces the body.
    void FormatBody(const char* format, ...);
    void FormatBodyV(const char* format, std::va_list args);
    const std::string& Body() const { return body_; }
    void SetSubject(const std::string& subject) { subject_ = subject; }
    const std::string& Subject() const { return subject_; }
    void SetSenderName(const std::string& name) { senderName_ = name; }
    const std::string& SenderName() const { return senderName_; }
    void SetSenderAddress(const std::string& address) { senderAddress_ = address; }
    const std::string& SenderAddress() const { return senderAddress_; }
    void AddAttachment(const std::string& path) { attachments_.push_back(path); }
    std::size_t AttachmentCount() const { return attachments_.size(); }
    const std::string& Attachment(std::size_t index) const { return attachments_[index]; }

private:
    std::string body_;
    std::string subject_;
    std::string senderName_;
    std::string senderAddress_;
    std::vector<std::string> attachments_;
};

// A recipient: display name, "<", address, ">".
class CRecipient {
public:
    virtual ~CRecipient() = default;
    // An empty text leaves the recipient as it was.
    void SetText(const std::string& text) {
        if (!text.empty()) text_ = text;
    }
    const std::string& Text() const { return text_; }
    // The text after the first "<": the address with its closing ">", so a
    // display name before the brackets never reaches the envelope.
    std::string Address() const;

private:
    std::string text_;
};

}  // namespace mrwd
