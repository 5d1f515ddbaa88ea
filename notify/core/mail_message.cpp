#include "mail_message.h"

#include <cstdarg>
#include <cstdio>

namespace mrwd {

constexpr std::size_t kBodyBuffer = 2048;

void CMessage::FormatBody(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    FormatBodyV(format, args);
    va_end(args);
}

void CMessage::FormatBodyV(const char* format, std::va_list args) {
    char text[kBodyBuffer];
    const int n = std::vsnprintf(text, sizeof text, format, args);
    body_ = n < 0 ? std::string() : std::string(text);
}

std::string CRecipient::Address() const {
    const auto open = text_.find('<');
    return open == std::string::npos ? text_ : text_.substr(open + 1);
}

}  // namespace mrwd
