// Keeps text that leaves the program as UTF-8 well formed: receivers of
// syslog and metrics reject or mangle malformed sequences.
#pragma once

#include <cstdint>
#include <string>

namespace mrwd {

// The text with every ill-formed sequence (stray continuation bytes, cut or
// overlong sequences, surrogates, values above U+10FFFF) replaced by U+FFFD,
// one per maximal ill-formed part as Unicode recommends. Valid text is
// returned unchanged.
std::string ValidUtf8(const std::string& text);

// Appends one code point (at most U+10FFFF, no surrogate) as UTF-8.
void AppendUtf8(std::uint32_t code, std::string& out);

}  // namespace mrwd
