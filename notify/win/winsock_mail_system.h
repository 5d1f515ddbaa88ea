// The mail client's reach into Windows: WinSock connections with bounded
// waits, the host name, the system clock and attachment files read through a
// read-only file mapping.
#pragma once

#include <atomic>

#include "notify/core/smtp_client.h"

namespace mrwd {

// No single wait of a mail dialogue is longer than these, so a silent server
// cannot hold the notification lock or a waiting send for ever.
constexpr unsigned kMailConnectTimeoutMs = 15000;
constexpr unsigned kMailTransferTimeoutMs = 30000;

class WinSockMailSystem final : public MailSystem {
public:
    // `abort` (may be null): once set, every wait gives up within a fraction
    // of a second with WSAEINTR, so the server's end never waits out a slow
    // server's time-outs.
    // `wholeSendMs`: not yet honoured.
    explicit WinSockMailSystem(unsigned connectTimeoutMs = kMailConnectTimeoutMs,
                               unsigned transferTimeoutMs = kMailTransferTimeoutMs,
                               const std::atomic<bool>* abort = nullptr, unsigned wholeSendMs = 0)
        : connectTimeoutMs_(connectTimeoutMs), transferTimeoutMs_(transferTimeoutMs), abort_(abort) {
        (void)wholeSendMs;
    }

    bool Startup(std::vector<std::string>& failure) override;
    void Cleanup() override;
    bool LocalHostName(std::string& name) override;
    std::unique_ptr<MailConnection> Open(const std::string& host, std::uint16_t port, bool pop3) override;
    UtcTime Now() override;
    bool ReadAttachment(const std::string& path, std::string& bytes, std::string& failure) override;

private:
    unsigned connectTimeoutMs_;
    unsigned transferTimeoutMs_;
    const std::atomic<bool>* abort_;
};

}  // namespace mrwd
