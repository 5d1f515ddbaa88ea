// Windows-1251 bytes (the log's and the mail's texts) turned into UTF-8 for
// the outputs that read Unicode: syslog, the event log's peers, metrics labels.
#pragma once

#include <string>

namespace mrwd {

// Every byte value maps to one character; 0x98, which the code page leaves
// unassigned, becomes U+FFFD so the result is always valid UTF-8.
std::string Utf8FromCp1251(const std::string& bytes);

}  // namespace mrwd
