#include "oauth_tokens.h"

#include <windows.h>
#include <winhttp.h>

#include <vector>

#include "base/win/handles.h"
#include "base/win/texts.h"

namespace mrwd {
namespace {

using UniqueInternet = UniqueResource<NullIsNoneTraits<HINTERNET, ::WinHttpCloseHandle>>;

// The bounds of the mail's own connections: a look-up and a connection 15 s,
// a send and a reply 30 s.
constexpr int kResolveMs = 15000;
constexpr int kConnectMs = 15000;
constexpr int kTransferMs = 30000;
// A token reply is a few kilobytes; more is no token reply.
constexpr DWORD kLongestReply = 64 * 1024;

std::string Failed(const char* what, DWORD error) {
    return std::string("OAuth token endpoint: ") + what + " (error " + std::to_string(error) + ")";
}

// The text of an error description, cut to a line the log can hold.
std::string Shortened(std::string text) {
    const std::size_t end = text.find_first_of("\r\n");
    if (end != std::string::npos) text.resize(end);
    if (text.size() > 200) text = text.substr(0, 200) + "...";
    return text;
}

}  // namespace

bool FetchAccessToken(const std::string& url, const std::string& body, TokenReply& reply, std::string& failure) {
    const std::wstring wideUrl = WidenText(url, CP_UTF8);
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof parts;
    wchar_t host[256] = {};
    wchar_t path[2048] = {};
    parts.lpszHostName = host;
    parts.dwHostNameLength = static_cast<DWORD>(std::size(host));
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = static_cast<DWORD>(std::size(path));
    if (!::WinHttpCrackUrl(wideUrl.c_str(), 0, 0, &parts) || parts.nScheme != INTERNET_SCHEME_HTTPS) {
        failure = "OAuth token endpoint: not an https address: " + url;
        return false;
    }
    UniqueInternet session(::WinHttpOpen(L"mrwd", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                         WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) {
        failure = Failed("WinHTTP not available", ::GetLastError());
        return false;
    }
    ::WinHttpSetTimeouts(session.get(), kResolveMs, kConnectMs, kTransferMs, kTransferMs);
    UniqueInternet connection(::WinHttpConnect(session.get(), host, parts.nPort, 0));
    UniqueInternet request;
    if (connection) {
        request.reset(::WinHttpOpenRequest(connection.get(), L"POST", path, nullptr, WINHTTP_NO_REFERER,
                                           WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE));
    }
    static const wchar_t kHeaders[] = L"Content-Type: application/x-www-form-urlencoded\r\nAccept: application/json\r\n";
    if (!request ||
        !::WinHttpSendRequest(request.get(), kHeaders, static_cast<DWORD>(-1L), const_cast<char*>(body.data()),
                              static_cast<DWORD>(body.size()), static_cast<DWORD>(body.size()), 0) ||
        !::WinHttpReceiveResponse(request.get(), nullptr)) {
        failure = Failed("no connection", ::GetLastError()) + ": " + url;
        return false;
    }
    DWORD status = 0;
    DWORD statusSize = sizeof status;
    ::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                          WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX);
    std::string text;
    for (;;) {
        char chunk[4096];
        DWORD read = 0;
        if (!::WinHttpReadData(request.get(), chunk, sizeof chunk, &read)) {
            failure = Failed("reply cut off", ::GetLastError());
            return false;
        }
        if (read == 0) break;
        text.append(chunk, read);
        if (text.size() > kLongestReply) {
            failure = "OAuth token endpoint: a reply of more than 64 KiB";
            return false;
        }
    }
    if (ParseTokenReply(text, reply)) return true;
    failure = "OAuth token endpoint: HTTP " + std::to_string(status) + ": " +
              (reply.error.empty() ? Shortened(reply.errorDescription)
                                   : reply.error + (reply.errorDescription.empty()
                                                        ? std::string()
                                                        : ": " + Shortened(reply.errorDescription)));
    return false;
}

bool OAuthTokens::Get(const MailSettings& mail, bool renew, std::string& token, std::string& failure) {
    std::string url = mail.oauthTokenUrl;
    if (url.empty() && !DefaultTokenUrl(mail.oauthTenant, url)) {
        failure = "OAuth: the tenant is no directory name: " + mail.oauthTenant;
        return false;
    }
    const std::string issuedFor = url + '\n' + mail.oauthClientId + '\n' + mail.oauthSecret;
    // One fetch at a time: mails sent side by side share the token it brings.
    std::lock_guard<std::mutex> guard(lock_);
    const Tick now = ::GetTickCount();
    if (!renew && issuedFor == issuedFor_ && cache_.Valid(now)) {
        token = cache_.Token();
        return true;
    }
    cache_.Forget();
    TokenReply reply;
    if (!FetchAccessToken(url, ClientCredentialsBody(mail.oauthClientId, mail.oauthSecret, kOffice365Scope), reply,
                          failure)) {
        return false;
    }
    issuedFor_ = issuedFor;
    cache_.Store(reply.accessToken, reply.expiresInSeconds, ::GetTickCount());
    token = reply.accessToken;
    return true;
}

}  // namespace mrwd
