// "SMTPCertSHA256": the SHA-256 of the one server certificate to trust, as an
// operator copies it from a certificate viewer or from openssl (hex in any
// case, with or without colons or blanks between the bytes).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace mrwd {

using Sha256 = std::array<std::uint8_t, 32>;

// The 32 bytes, or nothing when the text is not exactly 64 hex digits.
std::optional<Sha256> ParseSha256(const std::string& text);

// Lower-case hex without separators, as the failure line shows it.
std::string Sha256Hex(const Sha256& hash);

}  // namespace mrwd
