// Texts from the program's string table. Log lines and mail leave the program
// as Windows-1251 bytes whatever the system's code page; texts for the screen
// are converted to the code page of the ANSI window functions, or kept in
// UTF-16 for the wide ones.
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

// UTF-16 to bytes of the given code page, and back.
std::string NarrowText(const std::wstring& text, UINT codePage);
std::wstring WidenText(const std::string& bytes, UINT codePage);

// String `id` with its first "%s" replaced by `argument` (taken as it is: a
// path may hold a '%'), in Windows-1251 or, `forScreen`, the ANSI code page.
std::string FillText(UINT id, const std::string& argument, bool forScreen);

// The same in UTF-16, for the wide window functions.
std::wstring FillWideText(UINT id, const std::wstring& argument);

}  // namespace mrwd
