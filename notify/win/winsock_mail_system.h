// The mail client's reach into Windows: WinSock connections with bounded
// waits, TLS through the system's SChannel, the host name, the system clock
// and attachment files read through a read-only file mapping.
#pragma once

#include <atomic>

#include "notify/core/smtp_client.h"
#include "notify/win/oauth_tokens.h"

namespace mrwd {

// No single wait of a mail dialogue is longer than these: the name look-up
// and the connection each 15 s, each send and each reply 30 s. And no send
// is longer than 120 s in all, however a server trickles its bytes, so a
// slow server can hold neither the mails behind it nor a waiting send for ever.
constexpr unsigned kMailConnectTimeoutMs = 15000;
constexpr unsigned kMailTransferTimeoutMs = 30000;
constexpr unsigned kMailWholeSendMs = 120000;

class WinSockMailSystem final : public MailSystem {
public:
    // `abort` (may be null): once set, every wait gives up within a fraction
    // of a second with WSAEINTR, so the server's end never waits out a slow
    // server's time-outs.
    // The whole send's time runs from here: one object serves one send.
    explicit WinSockMailSystem(unsigned connectTimeoutMs = kMailConnectTimeoutMs,
                               unsigned transferTimeoutMs = kMailTransferTimeoutMs,
                               const std::atomic<bool>* abort = nullptr, unsigned wholeSendMs = kMailWholeSendMs);

    bool Startup(std::vector<std::string>& failure) override;
    void Cleanup() override;
    bool LocalHostName(std::string& name) override;
    std::unique_ptr<MailConnection> Open(const std::string& host, std::uint16_t port, bool pop3) override;
    UtcTime Now() override;
    bool ReadAttachment(const std::string& path, std::string& bytes, std::string& failure) override;
    std::unique_ptr<MailConnection> StartTls(std::unique_ptr<MailConnection> plain, const std::string& host,
                                             const std::string& certSha256, std::string& failure) override;
    bool AccessToken(const MailSettings& mail, bool renew, std::string& token, std::string& failure) override;
    // The tokens to share with other sends; without, this send keeps its own.
    void UseTokens(OAuthTokens& tokens) { tokens_ = &tokens; }

private:
    OAuthTokens ownTokens_;
    OAuthTokens* tokens_ = &ownTokens_;
    unsigned connectTimeoutMs_;
    unsigned transferTimeoutMs_;
    const std::atomic<bool>* abort_;
    std::uint32_t end_;  // tick at which the whole send's time is up
};

}  // namespace mrwd
