#include "module_store.h"

#include "base/win/handles.h"
#include "base/win/settings_store.h"

namespace mrwd {

void ModuleStore::Load(ModuleList& list) const {
    UniqueRegKey key;
    if (::RegOpenKeyExA(root_, kModulesSubkey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
    for (DWORD index = 0;; ++index) {
        char name[kModuleTextSize];
        DWORD nameLength = sizeof name;
        unsigned char data[kModuleEntrySize];
        DWORD dataSize = sizeof data;
        const LONG result = ::RegEnumValueA(key.get(), index, name, &nameLength, nullptr, nullptr, data, &dataSize);
        if (result == ERROR_MORE_DATA) continue;  // too long a name or record: skip just this one
        if (result != ERROR_SUCCESS) return;      // the end of the list (or a key that went away)
        list.Add(std::string(name, nameLength), DecodeModuleEntry(data, dataSize));
    }
}

bool ModuleStore::Store(const std::string& path, const ModuleEntry& entry) const {
    UniqueRegKey key;
    if (::RegCreateKeyExA(root_, kModulesSubkey, 0, const_cast<char*>(kSettingsKeyClass), REG_OPTION_NON_VOLATILE,
                          KEY_ALL_ACCESS, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const ModuleRecord record = EncodeModuleEntry(entry);
    return ::RegSetValueExA(key.get(), path.c_str(), 0, REG_BINARY, record.data(), kModuleEntrySize) ==
           ERROR_SUCCESS;
}

bool ModuleStore::Delete(const std::string& path) const {
    UniqueRegKey key;
    if (::RegOpenKeyExA(root_, kModulesSubkey, 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS) return false;
    return ::RegDeleteValueA(key.get(), path.c_str()) == ERROR_SUCCESS;
}

}  // namespace mrwd
