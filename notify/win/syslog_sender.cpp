#include "notify/win/syslog_sender.h"

#include <windows.h>

#include <cstring>

namespace mrwd {
namespace {

constexpr DWORD kLookUpSpacingMs = 60 * 1000;

}  // namespace

SyslogSender::SyslogSender(std::string host, std::uint16_t port) : host_(std::move(host)), port_(port) {
    WSADATA data;
    winsock_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

SyslogSender::~SyslogSender() {
    socket_.reset();
    if (winsock_) ::WSACleanup();
}

bool SyslogSender::Resolve() {
    const DWORD now = ::GetTickCount();
    if (triedOnce_ && now - lastTry_ < kLookUpSpacingMs) return false;
    triedOnce_ = true;
    lastTry_ = now;

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_protocol = IPPROTO_UDP;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port_);
    if (::getaddrinfo(host_.c_str(), service.c_str(), &hints, &found) != 0 || found == nullptr) return false;
    bool ready = false;
    for (addrinfo* a = found; a != nullptr && !ready; a = a->ai_next) {
        UniqueSocket socket(::socket(a->ai_family, a->ai_socktype, a->ai_protocol));
        if (!socket || a->ai_addrlen > sizeof address_) continue;
        std::memcpy(&address_, a->ai_addr, a->ai_addrlen);
        addressLength_ = static_cast<int>(a->ai_addrlen);
        socket_ = std::move(socket);
        ready = true;
    }
    ::freeaddrinfo(found);
    return ready;
}

bool SyslogSender::Send(const std::string& message) {
    if (!winsock_) return false;
    if (!socket_ && !Resolve()) return false;
    const int sent = ::sendto(socket_.get(), message.data(), static_cast<int>(message.size()), 0,
                              reinterpret_cast<const sockaddr*>(&address_), addressLength_);
    if (sent == static_cast<int>(message.size())) return true;
    socket_.reset();  // looked up afresh next time: the address may have changed
    return false;
}

std::string SyslogHostName() {
    char name[256];
    DWORD size = sizeof name;
    if (::GetComputerNameExA(ComputerNameDnsHostname, name, &size) && size > 0) return std::string(name, size);
    size = sizeof name;
    if (::GetComputerNameA(name, &size)) return std::string(name, size);
    return std::string();
}

}  // namespace mrwd
