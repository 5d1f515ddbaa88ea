#include "registry.h"

namespace mrwd {

// A REG_DWORD is four bytes on every Windows; DWORD is unsigned long, which
// is four bytes wide in the 32-bit and the 64-bit ABI alike.
static_assert(sizeof(DWORD) == sizeof(std::uint32_t), "the stored number's size");

bool ReadRegistryDword(HKEY key, const char* name, std::uint32_t& value) {
    DWORD data = 0;
    DWORD size = sizeof data;
    if (::RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS ||
        size != sizeof data) {
        return false;
    }
    value = data;
    return true;
}

bool WriteRegistryDword(HKEY key, const char* name, std::uint32_t value) {
    const DWORD data = value;
    return ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data) ==
           ERROR_SUCCESS;
}

}  // namespace mrwd
