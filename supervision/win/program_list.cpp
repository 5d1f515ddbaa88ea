#include "program_list.h"

#include <mutex>

namespace mrwd {
namespace {

// After a move: exactly one value, under the list's key for the new path.
// Delete first: a rename that only changes letter case names the same value.
void StoreMoved(const ModuleStore& store, const std::string& oldPath, const std::string& key,
                const ModuleEntry& entry) {
    if (oldPath != key) store.Delete(oldPath);
    store.Store(key, entry);
}

}  // namespace

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
    StoreMoved(store, oldPath, storedKey, stored);
}

EditOutcome EditProgram(SupervisionState& state, const ModuleStore& store, const ProgramEdit& edit) {
    ModuleEntry stored;
    std::string storedKey;
    {
        std::lock_guard<std::mutex> lock(state.lock);
        const EditOutcome outcome = ApplyEditToList(state.modules, edit, &stored);
        if (outcome != EditOutcome::Done) return outcome;
        storedKey = *state.modules.KeyOf(edit.newPath);
    }
    StoreMoved(store, edit.oldPath, storedKey, stored);
    return EditOutcome::Done;
}

bool ToggleProgram(SupervisionState& state, const ModuleStore& store, const std::string& path) {
    ModuleEntry changed;
    {
        std::lock_guard<std::mutex> lock(state.lock);
        if (!ToggleProgramControl(state.modules, path, &changed)) return false;
    }
    store.Store(path, changed);
    return true;
}

void RemoveProgram(SupervisionState& state, const ModuleStore& store, const std::string& path) {
    {
        std::lock_guard<std::mutex> lock(state.lock);
        state.modules.Remove(path);
    }
    store.Delete(path);
}

std::optional<ModuleEntry> ListedProgram(SupervisionState& state, const std::string& path) {
    std::lock_guard<std::mutex> lock(state.lock);
    const ModuleEntry* listed = state.modules.Find(path);
    if (listed == nullptr) return std::nullopt;
    return *listed;
}

bool StoreProgram(SupervisionState& state, const ModuleStore& store, const std::string& path) {
    const std::optional<ModuleEntry> entry = ListedProgram(state, path);
    return entry && store.Store(path, *entry);
}

}  // namespace mrwd
