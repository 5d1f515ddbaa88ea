// Starting the server at the user's logon: a value of the user's Run key.
#pragma once

#include <string>

namespace mrwd {

constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// Writes (enable) or deletes the Run value of `executablePath` (this program
// when empty), with `arguments` after it. True on success.
bool SetAutostart(bool enable, const std::string& executablePath = std::string(),
                  const std::string& arguments = std::string());

// True when the Run value holds exactly this command, quoted or (as earlier
// versions wrote it) not, compared without regard to case; a value that
// starts another copy of the program gives false.
bool IsAutostart(const std::string& executablePath = std::string(), const std::string& arguments = std::string());

}  // namespace mrwd
