// A small JSON reader, enough for the reply of an OAuth token endpoint: one
// object, whose top-level string and number members are kept. Anything nested,
// and true, false and null, is checked and skipped.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace mrwd {

enum class JsonKind { String, Number };

struct JsonMember {
    JsonKind kind = JsonKind::String;
    // A string decoded to UTF-8; a number as the reply wrote it.
    std::string text;
};

using JsonMembers = std::map<std::string, JsonMember>;

// False, with `members` empty, for anything but one well-formed object of at
// most 64 KiB and 32 levels: also for a name given twice at the top, since
// readers disagree on which one counts.
bool ReadJsonObject(const std::string& text, JsonMembers& members);
// The same without the kinds.
bool ReadJsonObject(const std::string& text, std::map<std::string, std::string>& members);

// Decimal digits only (a number's text, or a string holding one); false on
// anything else and on overflow.
bool JsonUnsigned(const std::string& text, std::uint64_t& value);

}  // namespace mrwd
