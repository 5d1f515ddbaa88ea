// winsock2.h must come before windows.h, which the other headers pull in.
#include "base/win/socket_handle.h"

#include "winsock_mail_system.h"

#include <ws2tcpip.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "base/core/ticks.h"
#include "base/win/background_work.h"
#include "base/win/mapped_file.h"
#include "base/win/system_clock.h"
#include "notify/win/schannel_connection.h"

namespace mrwd {
namespace {

constexpr std::uint16_t kDefaultSmtpPort = 25;
constexpr std::uint16_t kDefaultPop3Port = 110;
// Waits are cut into slices this long, so that an abort is seen quickly.
constexpr unsigned kWaitSliceMs = 100;

enum class Readiness { Ready, Failed, TimedOut, Aborted };

// A wait's own time-out, cut to what is left of the whole send.
unsigned Within(unsigned timeoutMs, std::uint32_t end) {
    const std::int32_t left = TickDiff(end, ::GetTickCount());
    if (left <= 0) return 0;
    return static_cast<unsigned>(left) < timeoutMs ? static_cast<unsigned>(left) : timeoutMs;
}

// Waits until the socket is readable (or writable), has failed (connect
// only), the time-out has passed, or `abort` is set.
Readiness WaitForSocket(SOCKET socket, bool forReading, unsigned timeoutMs, const std::atomic<bool>* abort,
                        bool watchFailure, int& error) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (abort != nullptr && *abort) {
            error = WSAEINTR;
            return Readiness::Aborted;
        }
        const DWORD spent = ::GetTickCount() - start;  // elapsed, safe across the tick wrap
        if (spent >= timeoutMs) {
            error = WSAETIMEDOUT;
            return Readiness::TimedOut;
        }
        const unsigned slice = timeoutMs - spent < kWaitSliceMs ? timeoutMs - spent : kWaitSliceMs;
        fd_set ready, failed;
        FD_ZERO(&ready);
        FD_ZERO(&failed);
        FD_SET(socket, &ready);
        FD_SET(socket, &failed);
        timeval timeout{static_cast<long>(slice / 1000), static_cast<long>(slice % 1000) * 1000};
        const int n = ::select(0, forReading ? &ready : nullptr, forReading ? nullptr : &ready,
                               watchFailure ? &failed : nullptr, &timeout);
        if (n < 0) {
            error = ::WSAGetLastError();
            return Readiness::Failed;
        }
        if (n == 0) continue;
        if (watchFailure && FD_ISSET(socket, &failed)) return Readiness::Failed;
        return Readiness::Ready;
    }
}

// The socket stays non-blocking after the connect: every send and receive
// first waits for readiness, at most the transfer time-out.
class WinSockConnection final : public MailConnection {
public:
    WinSockConnection(UniqueSocket socket, unsigned timeoutMs, const std::atomic<bool>* abort, std::uint32_t end)
        : socket_(std::move(socket)), timeoutMs_(timeoutMs), abort_(abort), end_(end) {}

    bool Send(const char* data, std::size_t size, int& error) override {
        std::size_t sent = 0;
        while (sent < size) {
            if (!WaitUntilReady(false, error)) return false;
            const int chunk = size - sent > 0x10000 ? 0x10000 : static_cast<int>(size - sent);
            const int n = ::send(socket_.get(), data + sent, chunk, 0);
            if (n == SOCKET_ERROR) {
                error = ::WSAGetLastError();
                if (error == WSAEWOULDBLOCK) continue;
                return false;
            }
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }

    bool Receive(char* buffer, std::size_t size, std::size_t& received, int& error) override {
        for (;;) {
            if (!WaitUntilReady(true, error)) return false;
            const int n = ::recv(socket_.get(), buffer, static_cast<int>(size), 0);
            if (n > 0) {
                received = static_cast<std::size_t>(n);
                return true;
            }
            if (n == 0) {
                // The server closed the connection: no reply will come.
                error = WSAECONNRESET;
                return false;
            }
            error = ::WSAGetLastError();
            if (error != WSAEWOULDBLOCK) return false;
        }
    }

private:
    bool WaitUntilReady(bool forReading, int& error) {
        return WaitForSocket(socket_.get(), forReading, Within(timeoutMs_, end_), abort_, false, error) ==
               Readiness::Ready;
    }

    UniqueSocket socket_;
    unsigned timeoutMs_;
    const std::atomic<bool>* abort_;
    std::uint32_t end_;
};

// A name look-up on a thread of its own, shared with the thread: a look-up
// the name server never answers is left behind (it ends with the resolver's
// own time-outs), and the send goes on without it.
struct LookUp {
    std::string host;
    UniqueHandle done{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    bool found = false;  // written before `done` is set
    in_addr address{};
};

bool Resolve(const std::string& host, unsigned timeoutMs, const std::atomic<bool>* abort, in_addr& address) {
    // A dotted address needs no look-up.
    const unsigned long numeric = ::inet_addr(host.c_str());
    if (numeric != INADDR_NONE || host == "255.255.255.255") {
        address.s_addr = numeric;
        return true;
    }
    auto lookUp = std::make_shared<LookUp>();
    lookUp->host = host;
    if (!lookUp->done) return false;
    UniqueHandle thread = StartBackgroundWork([lookUp] {
        WSADATA data;
        // Its own use of WinSock: the send may have ended its own long before.
        if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) {
            ::SetEvent(lookUp->done.get());
            return;
        }
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* result = nullptr;
        if (::getaddrinfo(lookUp->host.c_str(), nullptr, &hints, &result) == 0 && result != nullptr) {
            lookUp->address = reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr;
            lookUp->found = true;
        }
        if (result != nullptr) ::freeaddrinfo(result);
        ::WSACleanup();
        ::SetEvent(lookUp->done.get());
    });
    if (!thread) return false;
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (::WaitForSingleObject(lookUp->done.get(), kWaitSliceMs) == WAIT_OBJECT_0) break;
        if ((abort != nullptr && *abort) || ::GetTickCount() - start >= timeoutMs) return false;
    }
    address = lookUp->address;
    return lookUp->found;
}

// Connects within the connect time-out; the socket is left non-blocking.
bool ConnectWithin(SOCKET socket, const sockaddr_in& address, unsigned timeoutMs, const std::atomic<bool>* abort) {
    u_long nonBlocking = 1;
    if (::ioctlsocket(socket, FIONBIO, &nonBlocking) != 0) return false;
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return true;
    if (::WSAGetLastError() != WSAEWOULDBLOCK) return false;

    int error = 0;
    if (WaitForSocket(socket, false, timeoutMs, abort, true, error) != Readiness::Ready) return false;
    int socketError = 0;
    int length = sizeof socketError;
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&socketError), &length) != 0) return false;
    return socketError == 0;
}

std::string Formatted(const char* format, const std::string& path) {
    char text[1024] = {};
    std::snprintf(text, sizeof text, format, path.c_str());
    return text;
}

}  // namespace

bool WinSockMailSystem::Startup(std::vector<std::string>& failure) {
    WSADATA data;
    const int result = ::WSAStartup(MAKEWORD(2, 2), &data);
    if (result != 0) {
        // A failed start-up cannot be asked for its error; it returns it.
        char text[64];
        std::snprintf(text, sizeof text, "WSAStartup %d\r\n", result);
        failure.emplace_back(text);
        return false;
    }
    if (LOBYTE(data.wVersion) != 2 || HIBYTE(data.wVersion) != 2) {
        failure.emplace_back("Can't find a useable WinSock DLL\r\n");
        ::WSACleanup();
        return false;
    }
    return true;
}

void WinSockMailSystem::Cleanup() { ::WSACleanup(); }

bool WinSockMailSystem::LocalHostName(std::string& name) {
    char host[255] = {};
    if (::gethostname(host, sizeof host - 1) != 0) return false;
    name = host;
    return true;
}

WinSockMailSystem::WinSockMailSystem(unsigned connectTimeoutMs, unsigned transferTimeoutMs,
                                     const std::atomic<bool>* abort, unsigned wholeSendMs)
    : connectTimeoutMs_(connectTimeoutMs),
      transferTimeoutMs_(transferTimeoutMs),
      abort_(abort),
      end_(::GetTickCount() + wholeSendMs) {}

std::unique_ptr<MailConnection> WinSockMailSystem::Open(const std::string& host, std::uint16_t port, bool pop3) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    if (!Resolve(host, Within(connectTimeoutMs_, end_), abort_, address.sin_addr)) return nullptr;
    if (port != 0) {
        address.sin_port = ::htons(port);
    } else {
        const servent* service = ::getservbyname(pop3 ? "pop3" : "smtp", nullptr);
        address.sin_port = service != nullptr ? static_cast<u_short>(service->s_port)
                                              : ::htons(pop3 ? kDefaultPop3Port : kDefaultSmtpPort);
    }

    UniqueSocket socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!socket) return nullptr;
    if (!ConnectWithin(socket.get(), address, Within(connectTimeoutMs_, end_), abort_)) return nullptr;
    return std::make_unique<WinSockConnection>(std::move(socket), transferTimeoutMs_, abort_, end_);
}

UtcTime WinSockMailSystem::Now() { return UtcNow(); }

bool WinSockMailSystem::ReadAttachment(const std::string& path, std::string& bytes, std::string& failure) {
    const MappedFile file(path);
    switch (file.Result()) {
        case MappedFile::State::CannotOpen:
            failure = "Can't open file!\r\n";
            return false;
        case MappedFile::State::CannotMap:
            // An empty file cannot be mapped: it fails here like any unmappable one.
            failure = Formatted("Can't create mapping for file %s!\r\n", path);
            return false;
        case MappedFile::State::CannotView:
            failure = Formatted("Can't map view of file %s!\r\n", path);
            return false;
        case MappedFile::State::Mapped:
            break;
    }
    bytes.assign(static_cast<const char*>(file.Data()), file.Size());
    return true;
}

std::unique_ptr<MailConnection> WinSockMailSystem::StartTls(std::unique_ptr<MailConnection> plain,
                                                            const std::string& host, const std::string& certSha256,
                                                            std::string& failure) {
    return StartSchannelTls(std::move(plain), host, certSha256, failure);
}

bool WinSockMailSystem::AccessToken(const MailSettings& mail, bool renew, std::string& token, std::string& failure) {
    return tokens_->Get(mail, renew, token, failure);
}

}  // namespace mrwd
