// Mail through Microsoft 365 with OAuth 2.0: the client-credentials request
// for an access token, the judgement of the endpoint's reply, the SASL
// XOAUTH2 response that presents the token to the SMTP server, and the cache
// that keeps a token until shortly before it expires.
#pragma once

#include <cstdint>
#include <string>

#include "base/core/ticks.h"

namespace mrwd {

constexpr const char* kOffice365Scope = "https://outlook.office365.com/.default";

// The AUTH XOAUTH2 initial response, base64 without line breaks. Neither part
// may hold a \x01 (that ends a field); a token from ParseTokenReply cannot.
std::string XOAuth2Response(const std::string& mailbox, const std::string& token);

// The application/x-www-form-urlencoded body of the token request.
std::string ClientCredentialsBody(const std::string& clientId, const std::string& secret, const std::string& scope);

// The tenant's token endpoint; false for a tenant (its id or domain) that
// holds anything but letters, digits, dots and hyphens, or only dots, which
// would change the URL's path.
bool DefaultTokenUrl(const std::string& tenant, std::string& url);

struct TokenReply {
    std::string accessToken;
    std::uint32_t expiresInSeconds = 0;
    // The endpoint's "error" (e.g. "invalid_client") and "error_description";
    // when the body is no token reply at all, `error` stays empty and the
    // description says why. Never the token.
    std::string error;
    std::string errorDescription;
};

// True for a reply with a bearer token; the lifetime is 3600 s when the reply
// leaves it out.
bool ParseTokenReply(const std::string& body, TokenReply& reply);

// One token and the tick it was stored at. Valid until shortly before it
// expires, so that a mail never starts with a token about to run out.
class TokenCache {
public:
    void Store(const std::string& token, std::uint32_t expiresInSeconds, Tick now);
    bool Valid(Tick now) const;
    const std::string& Token() const { return token_; }
    // The SMTP server refused the token: the next mail fetches another.
    void Forget();

private:
    std::string token_;
    Tick storedAt_ = 0;
    std::uint32_t usableMs_ = 0;  // 0: nothing usable stored
};

}  // namespace mrwd
