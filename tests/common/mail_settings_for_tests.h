// Mail settings in one line, for the mail client's tests: server, port,
// authentication kind as stored in "AuthType", account (null = none),
// security; and the POP3 server of POP before SMTP.
#pragma once

#include <cstdint>
#include <string>

#include "base/core/mail_settings.h"
#include "notify/core/smtp_client.h"

namespace mrwd {

constexpr std::uint32_t kNoAuthentication = 0;
constexpr std::uint32_t kAuthLogin = 1;
constexpr std::uint32_t kPopBeforeSmtp = 2;
constexpr std::uint32_t kOAuth = 3;

inline MailSettings Mail(const std::string& server, std::uint16_t port, std::uint32_t authType,
                         const char* user = nullptr, const char* password = nullptr,
                         MailSecurity security = MailSecurity::None) {
    MailSettings mail;
    mail.server = server;
    mail.port = port;
    mail.authentication = static_cast<MailAuthentication>(authType);
    mail.userName = user != nullptr ? user : "";
    mail.password = password != nullptr ? password : "";
    mail.security = security;
    return mail;
}

inline Pop3Server Pop3(const char* host, std::uint16_t port) {
    Pop3Server server;
    server.host = host != nullptr ? host : "";
    server.port = port;
    return server;
}

}  // namespace mrwd
