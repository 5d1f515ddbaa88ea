#include "fleet_peers.h"

#include "base/win/socket_handle.h"

#include <ws2tcpip.h>

#include <cstdlib>
#include <cstring>

#include "notify/core/json_reader.h"
#include "tests/harness/win_harness.h"

namespace mrwd::testing {
namespace {

// WinSock for the length of one request.
class WinsockSession {
public:
    WinsockSession() {
        WSADATA data;
        started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockSession() {
        if (started_) ::WSACleanup();
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
    bool Started() const { return started_; }

private:
    bool started_ = false;
};

// Milliseconds left before `deadline` (a GetTickCount64 value), 0 once past.
DWORD Remaining(ULONGLONG deadline) {
    const ULONGLONG now = ::GetTickCount64();
    return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

// Waits until the socket may be read (or written) before the deadline.
bool WaitFor(SOCKET socket, bool write, ULONGLONG deadline) {
    const DWORD left = Remaining(deadline);
    if (left == 0) return false;
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    fd_set failed;
    FD_ZERO(&failed);
    FD_SET(socket, &failed);
    timeval wait{static_cast<long>(left / 1000), static_cast<long>(left % 1000) * 1000};
    const int ready = ::select(0, write ? nullptr : &set, write ? &set : nullptr, &failed, &wait);
    return ready > 0 && FD_ISSET(socket, &set) && !FD_ISSET(socket, &failed);
}

bool Connect(SOCKET socket, std::uint16_t port, ULONGLONG deadline) {
    u_long nonBlocking = 1;
    if (::ioctlsocket(socket, FIONBIO, &nonBlocking) != 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(port);
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return true;
    if (::WSAGetLastError() != WSAEWOULDBLOCK) return false;
    return WaitFor(socket, true, deadline);
}

bool SendAll(SOCKET socket, const std::string& bytes, ULONGLONG deadline) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        if (!WaitFor(socket, true, deadline)) return false;
        const int n = ::send(socket, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (n == SOCKET_ERROR) {
            if (::WSAGetLastError() == WSAEWOULDBLOCK) continue;
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

// Everything the server sends until it closes the connection.
bool ReceiveAll(SOCKET socket, std::string& bytes, ULONGLONG deadline) {
    char buffer[4096];
    for (;;) {
        if (!WaitFor(socket, false, deadline)) return false;
        const int n = ::recv(socket, buffer, sizeof buffer, 0);
        if (n == 0) return true;
        if (n == SOCKET_ERROR) {
            if (::WSAGetLastError() == WSAEWOULDBLOCK) continue;
            return false;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace

std::string HttpGet(std::uint16_t port, const std::string& pathAndQuery, unsigned timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    WinsockSession winsock;
    if (!winsock.Started()) return {};
    UniqueSocket socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!socket || !Connect(socket.get(), port, deadline)) return {};
    const std::string request = "GET " + pathAndQuery + " HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(port) +
                                "\r\nConnection: close\r\n\r\n";
    std::string answer;
    if (!SendAll(socket.get(), request, deadline) || !ReceiveAll(socket.get(), answer, deadline)) return {};

    // "HTTP/1.x 2xx ...", then the headers up to an empty line.
    if (answer.compare(0, 5, "HTTP/") != 0) return {};
    const std::size_t space = answer.find(' ');
    if (space == std::string::npos || space + 1 >= answer.size() || answer[space + 1] != '2') return {};
    const std::size_t headersEnd = answer.find("\r\n\r\n");
    if (headersEnd == std::string::npos) return {};
    std::string body = answer.substr(headersEnd + 4);
    // Content-Length, when given, tells a body cut short from a whole one.
    const std::string headers = answer.substr(0, headersEnd);
    for (std::size_t at = headers.find("\r\n"); at != std::string::npos; at = headers.find("\r\n", at + 2)) {
        if (_strnicmp(headers.c_str() + at + 2, "Content-Length:", 15) == 0) {
            const unsigned long long length = std::strtoull(headers.c_str() + at + 17, nullptr, 10);
            if (body.size() != length) return {};
        }
    }
    return body;
}

std::string UrlEncode(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
            c == '.' || c == '~') {
            out += static_cast<char>(c);
            continue;
        }
        out += '%';
        out += hex[c >> 4];
        out += hex[c & 0x0F];
    }
    return out;
}

namespace {

void SkipSpace(const std::string& text, std::size_t& at) {
    while (at < text.size() && std::strchr(" \t\r\n", text[at]) != nullptr) ++at;
}

// A quoted number of Prometheus's reply: no escapes can occur in it.
bool ReadQuoted(const std::string& text, std::size_t& at, std::string& out) {
    if (at >= text.size() || text[at] != '"') return false;
    const std::size_t end = text.find('"', at + 1);
    if (end == std::string::npos) return false;
    out = text.substr(at + 1, end - at - 1);
    at = end + 1;
    return true;
}

}  // namespace

bool PrometheusValue(std::uint16_t port, const std::string& query, double& value) {
    const std::string body = HttpGet(port, "/api/v1/query?query=" + UrlEncode(query));
    if (body.find("\"status\":\"success\"") == std::string::npos) return false;
    std::size_t at = body.find("\"result\":");
    if (at == std::string::npos) return false;
    at += 9;
    SkipSpace(body, at);
    if (at >= body.size() || body[at] != '[') return false;
    ++at;
    SkipSpace(body, at);
    if (at < body.size() && body[at] == '{') {
        // A vector: the first sample's "value"; a matrix has "values" only.
        at = body.find("\"value\":[", at);
        if (at == std::string::npos) return false;
        at += 9;
    }
    // [time,"number"]: step over the time to the quoted number.
    at = body.find(',', at);
    if (at == std::string::npos) return false;
    ++at;
    SkipSpace(body, at);
    std::string number;
    if (!ReadQuoted(body, at, number) || number.empty()) return false;
    char* end = nullptr;
    const double parsed = std::strtod(number.c_str(), &end);
    if (end != number.c_str() + number.size()) return false;
    value = parsed;
    return true;
}

std::optional<std::string> JsonField(const std::string& object, const std::string& name) {
    JsonMembers members;
    if (!ReadJsonObject(object, members)) return std::nullopt;
    const auto found = members.find(name);
    if (found == members.end() || found->second.kind != JsonKind::String) return std::nullopt;
    return found->second.text;
}

FleetPeers::FleetPeers() {
    const std::string received = Environment("MRWD_SYSLOG_RECEIVED");
    if (received.empty()) return;
    syslogReceived_ = WindowsPathOf(received);
    metricsFolder_ = WindowsPathOf(Environment("MRWD_METRICS_DIR"));
    syslogPort_ = static_cast<std::uint16_t>(std::atoi(Environment("MRWD_SYSLOG_PORT").c_str()));
    prometheusPort_ = static_cast<std::uint16_t>(std::atoi(Environment("MRWD_PROMETHEUS_PORT").c_str()));
}

std::vector<std::string> FleetPeers::SyslogLines() const {
    const std::string text = ReadWholeFile(syslogReceived_);
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

}  // namespace mrwd::testing
