#include "mail_account.h"

#include <algorithm>
#include <cstring>

#include "base/win/settings_store.h"

namespace mrwd::testing {
namespace {

// Zero-filled, like the buffers the loader fills.
template <std::size_t N, typename Char>
void CopyText(Char (&buffer)[N], const std::string& text) {
    std::memset(buffer, 0, N);
    std::memcpy(buffer, text.data(), std::min(text.size(), N - 1));
}

}  // namespace

bool StoreMailAccount(std::uint16_t port, const std::string& user, const std::string& password,
                      MailSecurity security) {
    const SettingsStore store(false);
    unsigned char plain[kShortValueSize];
    CopyText(plain, password);
    const char* server = security == MailSecurity::None ? "127.0.0.1" : "localhost";
    return store.StoreText("SMTPServer", server, kTextValueSize) && store.StoreSmtpPort(port) &&
           store.StoreDword("SMTPSecurity", static_cast<std::uint32_t>(security)) &&
           store.StoreText("UserEMail", kTestRecipient, kTextValueSize) &&
           store.StoreText("SenderEMail", kTestSender, kTextValueSize) && store.StoreDword("AuthType", 1) &&
           store.StoreText("UserName", user.c_str(), kShortValueSize) && store.StorePassword(plain);
}

void PointMailSettingsAt(Settings& settings, std::uint16_t port, const std::string& user,
                         const std::string& password, const std::string& recipient, MailSecurity security) {
    MailSettings mail;
    mail.server = security == MailSecurity::None ? "127.0.0.1" : "localhost";
    mail.security = security;
    mail.port = port;
    mail.authentication = user.empty() ? MailAuthentication::None : MailAuthentication::Login;
    mail.userName = user;
    mail.password = password;
    mail.recipient = recipient;
    mail.sender = kTestSender;
    settings.Mail.Set(mail);
    settings.MailConfigured = ComputeMailConfigured(settings) ? 1 : 0;
}

}  // namespace mrwd::testing
