#include "fleet_peers.h"

#include "base/win/socket_handle.h"

#include <ws2tcpip.h>

#include <cstdlib>
#include <cstring>

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

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

void SkipSpace(const std::string& text, std::size_t& at) {
    while (at < text.size() && IsSpace(text[at])) ++at;
}

void AppendUtf8(std::string& out, unsigned long code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool ReadHex4(const std::string& text, std::size_t at, unsigned long& code) {
    if (at + 4 > text.size()) return false;
    char digits[5] = {text[at], text[at + 1], text[at + 2], text[at + 3], '\0'};
    char* end = nullptr;
    code = std::strtoul(digits, &end, 16);
    return end == digits + 4;
}

// A JSON string starting at text[at] (its opening quote), unescaped to UTF-8;
// `at` ends after the closing quote.
bool ReadString(const std::string& text, std::size_t& at, std::string& out) {
    if (at >= text.size() || text[at] != '"') return false;
    out.clear();
    for (++at; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '"') {
            ++at;
            return true;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++at >= text.size()) return false;
        switch (text[at]) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                unsigned long code = 0;
                if (!ReadHex4(text, at + 1, code)) return false;
                at += 4;
                // A character beyond the BMP comes as a surrogate pair.
                unsigned long low = 0;
                if (code >= 0xD800 && code < 0xDC00 && at + 2 < text.size() && text[at + 1] == '\\' &&
                    text[at + 2] == 'u' && ReadHex4(text, at + 3, low) && low >= 0xDC00 && low < 0xE000) {
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    at += 6;
                }
                AppendUtf8(out, code);
                break;
            }
            default: return false;
        }
    }
    return false;
}

// Steps over any JSON value starting at text[at].
bool SkipValue(const std::string& text, std::size_t& at) {
    std::string ignored;
    if (at >= text.size()) return false;
    if (text[at] == '"') return ReadString(text, at, ignored);
    if (text[at] == '{' || text[at] == '[') {
        int depth = 0;
        while (at < text.size()) {
            const char c = text[at];
            if (c == '"') {
                if (!ReadString(text, at, ignored)) return false;
                continue;
            }
            if (c == '{' || c == '[') ++depth;
            if (c == '}' || c == ']') --depth;
            ++at;
            if (depth == 0) return true;
        }
        return false;
    }
    const std::size_t start = at;
    while (at < text.size() && text[at] != ',' && text[at] != '}' && text[at] != ']' && !IsSpace(text[at])) ++at;
    return at > start;
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
    if (!ReadString(body, at, number) || number.empty()) return false;
    char* end = nullptr;
    const double parsed = std::strtod(number.c_str(), &end);
    if (end != number.c_str() + number.size()) return false;
    value = parsed;
    return true;
}

std::optional<std::string> JsonField(const std::string& object, const std::string& name) {
    std::size_t at = 0;
    SkipSpace(object, at);
    if (at >= object.size() || object[at] != '{') return std::nullopt;
    ++at;
    for (;;) {
        SkipSpace(object, at);
        std::string key;
        if (!ReadString(object, at, key)) return std::nullopt;
        SkipSpace(object, at);
        if (at >= object.size() || object[at] != ':') return std::nullopt;
        ++at;
        SkipSpace(object, at);
        if (key == name) {
            std::string text;
            if (at < object.size() && object[at] == '"' && ReadString(object, at, text)) return text;
            return std::nullopt;
        }
        if (!SkipValue(object, at)) return std::nullopt;
        SkipSpace(object, at);
        if (at >= object.size() || object[at] != ',') return std::nullopt;
        ++at;
    }
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

bool FleetPeers::WaitForSyslogLines(std::size_t count, unsigned timeoutMs) const {
    return WaitUntil([&] { return SyslogLines().size() >= count; }, timeoutMs);
}

}  // namespace mrwd::testing
