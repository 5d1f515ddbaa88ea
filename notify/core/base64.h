// Base64 as the mail attachments carry it: the standard alphabet, a CR LF
// after every so many complete four-character groups. SMTP allows a line feed
// only as part of CR LF, and servers refuse mail with a bare one.
#pragma once

#include <cstddef>
#include <string>

namespace mrwd {

// The buffer size needed for `length` bytes: the characters, two bytes for
// each line break and a terminating zero.
std::size_t Base64Size(std::size_t length, std::size_t groupsPerLine);

// Writes the characters (no terminator) and returns how many; `output` must
// hold Base64Size(length, groupsPerLine) - 1 of them. 0 groups: no line breaks.
std::size_t Base64Encode(const unsigned char* bytes, std::size_t length, char* output, std::size_t groupsPerLine);

std::string Base64(const std::string& bytes, std::size_t groupsPerLine = 0);

}  // namespace mrwd
