#include "oauth_token.h"

#include <map>

#include "notify/core/base64.h"
#include "notify/core/json_reader.h"

namespace mrwd {
namespace {

constexpr std::uint32_t kDefaultLifetimeSeconds = 3600;
constexpr std::uint32_t kRenewEarlySeconds = 5 * 60;
// Below this lifetime five minutes would eat too much of it: renew halfway.
constexpr std::uint32_t kShortLifetimeSeconds = 10 * 60;
// 24 days in milliseconds stays below the longest span ticks can be compared over.
constexpr std::uint32_t kLongestLifetimeSeconds = 24 * 24 * 3600;
static_assert(kLongestLifetimeSeconds * 1000ull <= kLongestTickSpan, "a lifetime must fit a tick span");

bool Unreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

std::string FormEncoded(const std::string& text) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string encoded;
    for (char byte : text) {
        const unsigned char c = static_cast<unsigned char>(byte);
        if (Unreserved(c)) {
            encoded += byte;
        } else {
            encoded += '%';
            encoded += kDigits[c >> 4];
            encoded += kDigits[c & 0x0F];
        }
    }
    return encoded;
}

bool EqualNoCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        const char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        const char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
        if (x != y) return false;
    }
    return i == a.size() && b[i] == '\0';
}

// A bearer token is printable ASCII without blanks; anything else would not
// survive the XOAUTH2 framing or a log line.
bool BearerTokenText(const std::string& token) {
    if (token.empty()) return false;
    for (char c : token) {
        if (c < '!' || c > '~') return false;
    }
    return true;
}

const JsonMember* Find(const JsonMembers& members, const char* name) {
    const auto found = members.find(name);
    return found == members.end() ? nullptr : &found->second;
}

bool Refuse(TokenReply& reply, const char* why) {
    reply.errorDescription = why;
    return false;
}

}  // namespace

std::string XOAuth2Response(const std::string& mailbox, const std::string& token) {
    return Base64("user=" + mailbox + "\x01" "auth=Bearer " + token + "\x01\x01");
}

std::string ClientCredentialsBody(const std::string& clientId, const std::string& secret, const std::string& scope) {
    return "grant_type=client_credentials&client_id=" + FormEncoded(clientId) +
           "&client_secret=" + FormEncoded(secret) + "&scope=" + FormEncoded(scope);
}

bool DefaultTokenUrl(const std::string& tenant, std::string& url) {
    url.clear();
    if (tenant.find_first_not_of('.') == std::string::npos) return false;  // empty, "." or ".."
    for (char c : tenant) {
        if (!Unreserved(static_cast<unsigned char>(c)) || c == '_' || c == '~') return false;
    }
    url = "https://login.microsoftonline.com/" + tenant + "/oauth2/v2.0/token";
    return true;
}

bool ParseTokenReply(const std::string& body, TokenReply& reply) {
    reply = TokenReply();
    JsonMembers members;
    if (!ReadJsonObject(body, members)) return Refuse(reply, "the reply is not a JSON object");

    const JsonMember* error = Find(members, "error");
    if (error != nullptr) {
        // An error reply takes precedence over any token it might also carry.
        reply.error = error->text;
        const JsonMember* description = Find(members, "error_description");
        if (description != nullptr) reply.errorDescription = description->text;
        if (reply.error.empty()) reply.errorDescription = "the reply holds an empty error";
        return false;
    }

    const JsonMember* token = Find(members, "access_token");
    if (token == nullptr || token->kind != JsonKind::String || token->text.empty()) {
        return Refuse(reply, "the reply holds no access token");
    }
    if (!BearerTokenText(token->text)) return Refuse(reply, "the access token holds characters a token cannot");

    const JsonMember* type = Find(members, "token_type");
    if (type != nullptr && (type->kind != JsonKind::String || !EqualNoCase(type->text, "Bearer"))) {
        return Refuse(reply, "the token is not a bearer token");
    }

    std::uint32_t lifetime = kDefaultLifetimeSeconds;
    const JsonMember* expiresIn = Find(members, "expires_in");
    if (expiresIn != nullptr) {
        std::uint64_t seconds = 0;
        if (!JsonUnsigned(expiresIn->text, seconds)) {
            return Refuse(reply, "the token's lifetime is not a whole number of seconds");
        }
        lifetime = seconds > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(seconds);
    }

    reply.accessToken = token->text;
    reply.expiresInSeconds = lifetime;
    return true;
}

void TokenCache::Store(const std::string& token, std::uint32_t expiresInSeconds, Tick now) {
    Forget();
    if (token.empty()) return;
    const std::uint32_t lifetime = expiresInSeconds < kLongestLifetimeSeconds ? expiresInSeconds
                                                                              : kLongestLifetimeSeconds;
    const std::uint32_t lifetimeMs = lifetime * 1000u;
    token_ = token;
    storedAt_ = now;
    usableMs_ = lifetime < kShortLifetimeSeconds ? lifetimeMs / 2 : lifetimeMs - kRenewEarlySeconds * 1000u;
}

bool TokenCache::Valid(Tick now) const {
    if (usableMs_ == 0) return false;
    // A `now` before the store is one more than 24.8 days after it, seen
    // across the wrap: long expired.
    const std::int32_t elapsed = TickDiff(now, storedAt_);
    return elapsed >= 0 && static_cast<std::uint32_t>(elapsed) < usableMs_;
}

void TokenCache::Forget() {
    token_.clear();
    storedAt_ = 0;
    usableMs_ = 0;
}

}  // namespace mrwd
