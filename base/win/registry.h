// The registry reads and writes that more than one part of the server makes.
#pragma once

#include <windows.h>

#include <cstdint>

namespace mrwd {

// A 4-byte value; false when it is missing or has another size (a partial
// number is never taken).
bool ReadRegistryDword(HKEY key, const char* name, std::uint32_t& value);

bool WriteRegistryDword(HKEY key, const char* name, std::uint32_t value);

}  // namespace mrwd
