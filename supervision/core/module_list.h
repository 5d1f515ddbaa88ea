// ModuleList: the monitored programs by executable path, in path order, with
// paths compared without regard to case (C:\Prog\A.EXE and c:\prog\a.exe are
// one program).
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>

#include "supervision/core/module_entry.h"

namespace mrwd {

// strcmp-like: negative, zero or positive. On Windows the system's
// locale-aware comparison (lstrcmpiA); elsewhere an ASCII one.
using PathCompare = int (*)(const char*, const char*);

int CompareAsciiNoCase(const char* a, const char* b);

struct PathLess {
    PathCompare compare = CompareAsciiNoCase;
    bool operator()(const std::string& a, const std::string& b) const { return compare(a.c_str(), b.c_str()) < 0; }
};

class ModuleList {
public:
    using Map = std::map<std::string, ModuleEntry, PathLess>;

    explicit ModuleList(PathCompare compare = CompareAsciiNoCase) : entries_(PathLess{compare}) {}

    // Null when the path is not listed.
    ModuleEntry* Find(const std::string& path);
    const ModuleEntry* Find(const std::string& path) const;
    // The path as the list spells it (the key the program was listed under).
    const std::string* KeyOf(const std::string& path) const;

    // False, and nothing changes, when the path is already listed.
    bool Add(const std::string& path, const ModuleEntry& entry);
    // Moves the entry to `newPath` (which may be the same path) and arms it.
    void Replace(const std::string& oldPath, const std::string& newPath, ModuleEntry entry);
    bool Remove(const std::string& path);
    void Clear() { entries_.clear(); }

    // True when some program has sent an alive message at least once.
    bool AnyAliveSeen() const;

    bool SamePath(const std::string& a, const std::string& b) const { return entries_.key_comp().compare(a.c_str(), b.c_str()) == 0; }

    std::size_t Size() const { return entries_.size(); }
    bool Empty() const { return entries_.empty(); }
    Map::iterator begin() { return entries_.begin(); }
    Map::iterator end() { return entries_.end(); }
    Map::const_iterator begin() const { return entries_.begin(); }
    Map::const_iterator end() const { return entries_.end(); }
    // The first entry whose path sorts after `path`: walks that survive changes
    // to the list between two steps resume from here.
    Map::iterator After(const std::string& path) { return entries_.upper_bound(path); }

private:
    Map entries_;
};

}  // namespace mrwd
