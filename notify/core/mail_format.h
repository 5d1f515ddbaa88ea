// The bytes of a message after "DATA": the header block, the multipart body
// with its Windows-1251 text part, and one base64 part per attached file.
#pragma once

#include <string>
#include <vector>

#include "base/core/calendar_time.h"

namespace mrwd {

struct HeaderFields {
    std::string senderName;
    std::string senderAddress;
    std::vector<std::string> recipients;  // "name<address>" each
    std::string subject;                  // Windows-1251
    std::string mailer;
};

// "Mon, 07 Dec 2026 10:15:00 +0000": English names, UTC marked as such.
std::string MailDate(const UtcTime& time);

// The subject as a header carries it: unchanged when it is plain ASCII,
// otherwise RFC 2047 encoded words in windows-1251.
std::string HeaderSubject(const std::string& subject);

// The header block, ended by its empty line; false when there is no recipient.
bool BuildHeader(const HeaderFields& fields, const UtcTime& time, std::string& header);

extern const char kFirstPartDelimiter[];  // "--=bound=\r\n"
extern const char kTextPartHeader[];
extern const char kDataEnd[];             // "\r\n.\r\n"

// The text part's body as it goes out: every line feed that is not already
// preceded by a carriage return gets one, since SMTP servers refuse a bare
// line feed. A carriage return alone is left as it is.
std::string CrLfLineEnds(const std::string& text);

// The part header of an attached file, named by the file's name and extension.
std::string AttachmentPartHeader(const std::string& path);

}  // namespace mrwd
