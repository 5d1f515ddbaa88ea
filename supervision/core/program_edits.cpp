#include "program_edits.h"

namespace mrwd {

void ApplyProgramEdit(const ModuleEntry& before, const ModuleEntry& edited, ModuleEntry& current) {
    current.Parameters = edited.Parameters;
    current.Copies = edited.Copies;
    current.StartDelay = edited.StartDelay;
    current.NoAliveSupport = edited.NoAliveSupport;
    if (edited.NoAliveSupport != 0) current.CheckInterval = edited.CheckInterval;
    current.ControlEnabled = edited.ControlEnabled;
    current.RebootAfter = edited.RebootAfter;
    current.RunAfter = edited.RunAfter;
    if (edited.RunAfter != -1) current.RunPath = edited.RunPath;
    current.CopyAfter = edited.CopyAfter;
    if (edited.CopyAfter != -1) {
        current.BackupFolder = edited.BackupFolder;
        current.RestoreFolder = edited.RestoreFolder;
    }
    current.CopyOnlyDifferent = edited.CopyOnlyDifferent;
    current.CopySubfolders = edited.CopySubfolders;
    current.CopyBeforeStart = edited.CopyBeforeStart;
    current.Notify = edited.Notify;
    current.NotifyAfter = edited.NotifyAfter;
    if (edited.Armed != before.Armed) current.Armed = edited.Armed;
}

EditOutcome ApplyEditToList(ModuleList& modules, const ProgramEdit& edit, ModuleEntry* stored) {
    // Moving onto another listed program would lose this one's record.
    if (!modules.SamePath(edit.newPath, edit.oldPath) && modules.Find(edit.newPath) != nullptr) {
        return EditOutcome::AlreadyListed;
    }
    const ModuleEntry* current = modules.Find(edit.oldPath);
    if (current == nullptr) return EditOutcome::Gone;
    ModuleEntry entry = *current;
    ApplyProgramEdit(edit.before, edit.edited, entry);
    modules.Replace(edit.oldPath, edit.newPath, entry);
    *stored = *modules.Find(edit.newPath);
    return EditOutcome::Done;
}

bool ToggleProgramControl(ModuleList& modules, const std::string& path, ModuleEntry* changed) {
    ModuleEntry* entry = modules.Find(path);
    if (entry == nullptr) return false;
    if (entry->Armed != 0) {
        entry->ControlEnabled = entry->ControlEnabled != 0 ? 0 : 1;
    } else {
        entry->ControlEnabled = 1;
        entry->Armed = 1;
    }
    *changed = *entry;
    return true;
}

}  // namespace mrwd
