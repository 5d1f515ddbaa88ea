#include "autostart.h"

#include <windows.h>

#include "app/core/service_setup.h"
#include "base/win/executable_path.h"
#include "base/win/handles.h"

namespace mrwd {
namespace {

constexpr DWORD kMaxCommand = 260;

AutostartEntry EntryFor(const std::string& executablePath, const std::string& arguments) {
    return MakeAutostartEntry(executablePath.empty() ? ThisExecutablePath() : executablePath, arguments);
}

}  // namespace

bool SetAutostart(bool enable, const std::string& executablePath, const std::string& arguments) {
    const AutostartEntry entry = EntryFor(executablePath, arguments);
    if (entry.command.empty()) return false;
    UniqueRegKey key;
    if (enable) {
        char keyClass[] = "Data";
        if (::RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, keyClass, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                              key.put(), nullptr) != ERROR_SUCCESS) {
            return false;
        }
        return ::RegSetValueExA(key.get(), entry.valueName.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(entry.command.c_str()),
                                static_cast<DWORD>(entry.command.size() + 1)) == ERROR_SUCCESS;
    }
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_WRITE, key.put()) != ERROR_SUCCESS) return false;
    return ::RegDeleteValueA(key.get(), entry.valueName.c_str()) == ERROR_SUCCESS;
}

bool IsAutostart(const std::string& executablePath, const std::string& arguments) {
    const AutostartEntry entry = EntryFor(executablePath, arguments);
    if (entry.command.empty()) return false;
    UniqueRegKey key;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
    // One byte more than is read, so that a value stored without its zero
    // still ends.
    char stored[kMaxCommand + 1] = {};
    DWORD size = kMaxCommand;
    DWORD type = 0;
    if (::RegQueryValueExA(key.get(), entry.valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(stored),
                           &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return false;
    }
    return ::lstrcmpiA(stored, entry.command.c_str()) == 0 || ::lstrcmpiA(stored, entry.unquotedCommand.c_str()) == 0;
}

}  // namespace mrwd
