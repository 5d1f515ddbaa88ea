// Sends syslog messages as UDP datagrams to one host and port. The host's
// address is looked up when first needed and again after a failure, at most
// once a minute, so a name that does not resolve costs no more than that.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdint>
#include <string>

#include "base/win/socket_handle.h"

namespace mrwd {

class SyslogSender {
public:
    SyslogSender(std::string host, std::uint16_t port);
    ~SyslogSender();
    SyslogSender(const SyslogSender&) = delete;
    SyslogSender& operator=(const SyslogSender&) = delete;

    // One message, one datagram. False when it could not go out (it is not
    // kept: syslog over UDP is a stream of the moment).
    bool Send(const std::string& message);

private:
    bool Resolve();

    std::string host_;
    std::uint16_t port_;
    bool winsock_ = false;
    UniqueSocket socket_;
    sockaddr_storage address_{};
    int addressLength_ = 0;
    bool triedOnce_ = false;
    DWORD lastTry_ = 0;
};

// This computer's name as syslog's HOSTNAME shows it.
std::string SyslogHostName();

}  // namespace mrwd
