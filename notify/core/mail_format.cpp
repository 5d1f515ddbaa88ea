#include "mail_format.h"

#include <cstdio>

#include "base/core/path_rules.h"
#include "notify/core/base64.h"

namespace mrwd {

const char kFirstPartDelimiter[] = "--=bound=\r\n";
const char kTextPartHeader[] =
    "Content-Type: text/plain; charset=Windows-1251\r\nContent-Transfer-Encoding: 8bit\r\n\r\n";
const char kDataEnd[] = "\r\n.\r\n";

namespace {

constexpr std::size_t kHeaderLimit = 16384;
// An encoded word may be 75 characters long: 17 for "=?windows-1251?B?"
// and "?=", 56 of base64, which carry 42 bytes.
constexpr std::size_t kBytesPerEncodedWord = 42;

}  // namespace

std::string MailDate(const UtcTime& t) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const char* day = t.dayOfWeek >= 0 && t.dayOfWeek < 7 ? kDays[t.dayOfWeek] : "Sun";
    const char* month = t.month >= 1 && t.month <= 12 ? kMonths[t.month - 1] : "Jan";
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d +0000", day, t.day, month, t.year, t.hour,
                  t.minute, t.second);
    return text;
}

std::string HeaderSubject(const std::string& subject) {
    bool plain = true;
    for (unsigned char c : subject) plain = plain && c < 0x80;
    if (plain) return subject;
    std::string encoded;
    for (std::size_t at = 0; at < subject.size(); at += kBytesPerEncodedWord) {
        if (!encoded.empty()) encoded += "\r\n ";  // folded: each word on a line of its own
        encoded += "=?windows-1251?B?" + Base64(subject.substr(at, kBytesPerEncodedWord)) + "?=";
    }
    return encoded;
}

bool BuildHeader(const HeaderFields& f, const UtcTime& time, std::string& header) {
    if (f.recipients.empty()) return false;
    std::string to;
    for (const std::string& recipient : f.recipients) {
        if (!to.empty()) to += ",";
        to += recipient;
    }
    header = "Date: " + MailDate(time) + "\r\n";
    header += "From: \"" + f.senderName + "\" <" + f.senderAddress + ">\r\n";
    header += "To: " + to + "\r\n";
    header += "Cc: \r\n";
    header += "Bcc: \r\n";
    header += "Subject: " + HeaderSubject(f.subject) + "\r\n";
    if (!f.mailer.empty()) header += "X-Mailer: " + f.mailer + "\r\n";
    header += "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"=bound=\"\r\n";
    header += "\r\n";
    if (header.size() > kHeaderLimit) header.resize(kHeaderLimit);
    return true;
}

std::string CrLfLineEnds(const std::string& text) {
    std::string lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) lines += '\r';
        lines += text[i];
    }
    return lines;
}

std::string AttachmentPartHeader(const std::string& path) {
    const std::string name = FileNamePart(path);
    return "Content-Type: application/octet-stream; name=\"" + name +
           "\"\r\nContent-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=\"" + name +
           "\"\r\n\r\n";
}

}  // namespace mrwd
