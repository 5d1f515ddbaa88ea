#include "certificate_pin.h"

namespace mrwd {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<Sha256> ParseSha256(const std::string& text) {
    Sha256 hash{};
    std::size_t digits = 0;
    for (char c : text) {
        if (c == ':' || c == ' ' || c == '\t') continue;
        const int value = HexValue(c);
        if (value < 0 || digits >= 64) return std::nullopt;
        hash[digits / 2] = static_cast<std::uint8_t>(hash[digits / 2] | (digits % 2 == 0 ? value << 4 : value));
        ++digits;
    }
    if (digits != 64) return std::nullopt;
    return hash;
}

std::string Sha256Hex(const Sha256& hash) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::uint8_t byte : hash) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

}  // namespace mrwd
