#include "program_list.h"

#include <mutex>

namespace mrwd {

bool AddProgram(SupervisionState& state, const ModuleStore& store, const std::string& path, const ModuleEntry& entry) {
    {
        std::lock_guard<std::mutex> lock(state.lock);
        if (!state.modules.Add(path, entry)) return false;
    }
    store.Store(path, entry);
    return true;
}

void ReplaceProgram(SupervisionState& state, const ModuleStore& store, const std::string& oldPath,
                    const std::string& newPath, const ModuleEntry& entry) {
    ModuleEntry stored;
    std::string storedKey;
    {
        std::lock_guard<std::mutex> lock(state.lock);
        state.modules.Replace(oldPath, newPath, entry);
        stored = *state.modules.Find(newPath);
        storedKey = *state.modules.KeyOf(newPath);
    }
    // Delete first: a rename that only changes letter case names the same value.
    if (oldPath != storedKey) store.Delete(oldPath);
    store.Store(storedKey, stored);
}

void RemoveProgram(SupervisionState& state, const ModuleStore& store, const std::string& path) {
    {
        std::lock_guard<std::mutex> lock(state.lock);
        state.modules.Remove(path);
    }
    store.Delete(path);
}

bool StoreProgram(SupervisionState& state, const ModuleStore& store, const std::string& path) {
    ModuleEntry entry;
    {
        std::lock_guard<std::mutex> lock(state.lock);
        const ModuleEntry* listed = state.modules.Find(path);
        if (listed == nullptr) return false;
        entry = *listed;
    }
    return store.Store(path, entry);
}

}  // namespace mrwd
