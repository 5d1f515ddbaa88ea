// Texts from the program's string table. Log lines and mail leave the program
// as Windows-1251 bytes whatever the system's code page; texts for the screen
// are converted to the code page of the ANSI window functions.
#pragma once

#include <windows.h>

#include <string>

namespace mrwd {

// The string as UTF-16; empty when the table has no such string.
std::wstring LoadWideText(UINT id);

// The string as Windows-1251 bytes, for the log and for mail.
std::string LoadText(UINT id);

// The string in the system's ANSI code page, for the "A" window functions.
std::string LoadScreenText(UINT id);

// UTF-16 to bytes of the given code page.
std::string NarrowText(const std::wstring& text, UINT codePage);

}  // namespace mrwd
