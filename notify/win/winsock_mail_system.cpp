// winsock2.h must come before windows.h, which the other headers pull in.
#include <winsock2.h>

#include "winsock_mail_system.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "app/win/handles.h"

namespace mrwd {
namespace {

constexpr std::uint16_t kDefaultSmtpPort = 25;
constexpr std::uint16_t kDefaultPop3Port = 110;

// The socket stays non-blocking after the connect: every send and receive
// first waits for readiness, at most the transfer time-out.
class WinSockConnection final : public MailConnection {
public:
    WinSockConnection(SOCKET socket, unsigned timeoutMs) : socket_(socket), timeoutMs_(timeoutMs) {}
    ~WinSockConnection() override { ::closesocket(socket_); }
    WinSockConnection(const WinSockConnection&) = delete;
    WinSockConnection& operator=(const WinSockConnection&) = delete;

    bool Send(const char* data, std::size_t size, int& error) override {
        std::size_t sent = 0;
        while (sent < size) {
            if (!WaitUntilReady(false, error)) return false;
            const int chunk = size - sent > 0x10000 ? 0x10000 : static_cast<int>(size - sent);
            const int n = ::send(socket_, data + sent, chunk, 0);
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
            const int n = ::recv(socket_, buffer, static_cast<int>(size), 0);
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
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(socket_, &ready);
        timeval timeout{static_cast<long>(timeoutMs_ / 1000), static_cast<long>(timeoutMs_ % 1000) * 1000};
        const int n = ::select(0, forReading ? &ready : nullptr, forReading ? nullptr : &ready, nullptr, &timeout);
        if (n > 0) return true;
        error = n == 0 ? WSAETIMEDOUT : ::WSAGetLastError();
        return false;
    }

    SOCKET socket_;
    unsigned timeoutMs_;
};

// Connects within the connect time-out; the socket is left non-blocking.
bool ConnectWithin(SOCKET socket, const sockaddr_in& address, unsigned timeoutMs) {
    u_long nonBlocking = 1;
    if (::ioctlsocket(socket, FIONBIO, &nonBlocking) != 0) return false;
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return true;
    if (::WSAGetLastError() != WSAEWOULDBLOCK) return false;

    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(socket, &writable);
    FD_SET(socket, &failed);
    timeval timeout{static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
    if (::select(0, nullptr, &writable, &failed, &timeout) <= 0) return false;
    if (FD_ISSET(socket, &failed)) return false;
    int socketError = 0;
    int length = sizeof socketError;
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&socketError), &length) != 0) return false;
    return socketError == 0;
}

struct MappingTraits {
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::CloseHandle(h); }
};

struct ViewTraits {
    using Type = const void*;
    static Type Invalid() { return nullptr; }
    static void Close(Type view) { ::UnmapViewOfFile(view); }
};

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

std::unique_ptr<MailConnection> WinSockMailSystem::Open(const std::string& host, std::uint16_t port, bool pop3) {
    const hostent* resolved = ::gethostbyname(host.c_str());
    if (resolved == nullptr || resolved->h_addrtype != AF_INET || resolved->h_addr_list[0] == nullptr) return nullptr;

    sockaddr_in address{};
    address.sin_family = AF_INET;
    std::memcpy(&address.sin_addr, resolved->h_addr_list[0], sizeof address.sin_addr);
    if (port != 0) {
        address.sin_port = ::htons(port);
    } else {
        const servent* service = ::getservbyname(pop3 ? "pop3" : "smtp", nullptr);
        address.sin_port = service != nullptr ? static_cast<u_short>(service->s_port)
                                              : ::htons(pop3 ? kDefaultPop3Port : kDefaultSmtpPort);
    }

    const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket == INVALID_SOCKET) return nullptr;
    auto connection = std::make_unique<WinSockConnection>(socket, transferTimeoutMs_);
    if (!ConnectWithin(socket, address, connectTimeoutMs_)) return nullptr;
    return connection;
}

UtcTime WinSockMailSystem::Now() {
    SYSTEMTIME st;
    ::GetSystemTime(&st);
    UtcTime t;
    t.year = st.wYear;
    t.month = st.wMonth;
    t.day = st.wDay;
    t.dayOfWeek = st.wDayOfWeek;
    t.hour = st.wHour;
    t.minute = st.wMinute;
    t.second = st.wSecond;
    return t;
}

bool WinSockMailSystem::ReadAttachment(const std::string& path, std::string& bytes, std::string& failure) {
    UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        failure = "Can't open file!\r\n";
        return false;
    }
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.get(), &size)) size.QuadPart = 0;
    // An empty file cannot be mapped: it fails here like any unmappable one.
    UniqueResource<MappingTraits> mapping(::CreateFileMappingA(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping || size.QuadPart == 0) {
        failure = Formatted("Can't create mapping for file %s!\r\n", path);
        return false;
    }
    UniqueResource<ViewTraits> view(::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view) {
        failure = Formatted("Can't map view of file %s!\r\n", path);
        return false;
    }
    bytes.assign(static_cast<const char*>(view.get()), static_cast<std::size_t>(size.QuadPart));
    return true;
}

}  // namespace mrwd
