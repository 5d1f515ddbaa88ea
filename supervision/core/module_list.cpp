#include "module_list.h"

namespace mrwd {

int CompareAsciiNoCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        unsigned char ca = static_cast<unsigned char>(*a);
        unsigned char cb = static_cast<unsigned char>(*b);
        if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca - 'A' + 'a');
        if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb - 'A' + 'a');
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
    }
}

ModuleEntry* ModuleList::Find(const std::string& path) {
    auto it = entries_.find(path);
    return it == entries_.end() ? nullptr : &it->second;
}

const ModuleEntry* ModuleList::Find(const std::string& path) const {
    auto it = entries_.find(path);
    return it == entries_.end() ? nullptr : &it->second;
}

const std::string* ModuleList::KeyOf(const std::string& path) const {
    auto it = entries_.find(path);
    return it == entries_.end() ? nullptr : &it->first;
}

bool ModuleList::Add(const std::string& path, const ModuleEntry& entry) {
    return entries_.emplace(path, entry).second;
}

void ModuleList::Replace(const std::string& oldPath, const std::string& newPath, ModuleEntry entry) {
    entries_.erase(oldPath);
    entry.Armed = 1;
    entries_.emplace(newPath, std::move(entry));  // a program already listed there stays as it is
}

bool ModuleList::Remove(const std::string& path) { return entries_.erase(path) != 0; }

bool ModuleList::AnyAliveSeen() const {
    for (const auto& item : entries_) {
        if (item.second.AliveSeen != 0) return true;
    }
    return false;
}

}  // namespace mrwd
