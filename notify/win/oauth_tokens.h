// OAuth access tokens for the mail's application (the client-credentials
// grant), asked of the token endpoint over HTTPS through WinHTTP and kept
// until shortly before they run out, so that a burst of mails asks once.
#pragma once

#include <mutex>
#include <string>

#include "base/core/mail_settings.h"
#include "notify/core/oauth_token.h"

namespace mrwd {

// One request to the token endpoint at `url` (https only: the secret goes in
// it). The reply's token and lifetime, or false with what failed in
// `failure`: the connection, the endpoint's error and description, or a
// reply that holds no token. Never the secret or a token.
bool FetchAccessToken(const std::string& url, const std::string& body, TokenReply& reply, std::string& failure);

class OAuthTokens {
public:
    // A token still valid for this application, or a fresh one (always with `renew`).
    bool Get(const MailSettings& mail, bool renew, std::string& token, std::string& failure);

private:
    std::mutex lock_;
    // Whose token is kept: the URL, the client id and the secret it was issued for.
    std::string issuedFor_;
    TokenCache cache_;
};

}  // namespace mrwd
