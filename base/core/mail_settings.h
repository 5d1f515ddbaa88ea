// The mail settings as one value: what the notification dialog edits, what
// the settings hold, what "Проверить" tries and what a send carries down to
// the socket. Shared between the window thread and the sends through a copy
// taken under a lock of its own, which no transfer ever holds.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

namespace mrwd {

// "AuthType". Login is the dialog's "RFC 2554": AUTH LOGIN, or AUTH PLAIN
// where the server offers only that.
enum class MailAuthentication : std::uint32_t {
    None = 0,
    Login = 1,
    PopBeforeSmtp = 2,
    // SASL XOAUTH2 with an access token of the client-credentials grant
    // (Microsoft 365, where a password is refused): the user name is the mailbox.
    OAuth = 3,
};

// "SMTPSecurity": plain text, STARTTLS after the greeting, or TLS from the
// first byte. With either of the last two nothing ever falls back to plain text.
enum class MailSecurity : std::uint32_t {
    None = 0,
    StartTls = 1,
    Tls = 2,
};

struct MailSettings {
    std::string server;
    std::uint16_t port = 0;  // 0 = chosen by the security: 25 (or "smtp"), 587, 465
    std::string recipient;
    std::string sender;
    MailAuthentication authentication = MailAuthentication::None;
    std::string userName;
    std::string password;  // plain text in memory
    MailSecurity security = MailSecurity::None;
    // "SMTPCertSHA256": when set, exactly the certificate with this SHA-256
    // is trusted (hex, in any case, colons and blanks allowed) instead of the
    // system's root store.
    std::string certSha256;
    // With OAuth: "OAuthTenant", "OAuthClientId", the client secret (stored
    // scrambled as the password is, in "OAuthClientSecret"; plain text in
    // memory) and "OAuthTokenURL" (empty: the tenant's Microsoft endpoint).
    std::string oauthTenant;
    std::string oauthClientId;
    std::string oauthSecret;
    std::string oauthTokenUrl;
};

// Server, both addresses and, when authenticating, user name and password;
// with OAuth the user name, the client id and secret, and a tenant or a token URL.
bool MailSettingsComplete(const MailSettings& mail);

class SharedMailSettings {
public:
    MailSettings Get() const {
        std::lock_guard<std::mutex> guard(lock_);
        return value_;
    }
    void Set(MailSettings value) {
        std::lock_guard<std::mutex> guard(lock_);
        value_ = std::move(value);
    }

private:
    mutable std::mutex lock_;
    MailSettings value_;
};

}  // namespace mrwd
