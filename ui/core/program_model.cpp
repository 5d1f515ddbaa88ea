#include "program_model.h"

#include <algorithm>
#include <limits>

#include "base/core/path_rules.h"
#include "resources/resource_ids.h"

namespace mrwd {
namespace {

using F = ProgramField;

struct FieldRule {
    ProgramField field;
    EnableRule rule;
};

// Every control not listed is always enabled.
constexpr FieldRule kEnableRules[] = {
    {F::CheckInterval, EnableRule::WhenNoAliveSupport},
    {F::RebootAfter, EnableRule::WhenRebootChosen},
    {F::RunPath, EnableRule::WhenRunChosen},
    {F::RunAfter, EnableRule::WhenRunChosen},
    {F::BackupFolder, EnableRule::WhenCopyChosen},
    {F::RestoreFolder, EnableRule::WhenCopyChosen},
    {F::CopyAfter, EnableRule::WhenCopyChosen},
    {F::CopyBeforeStart, EnableRule::WhenCopyChosen},
    {F::CopyOnlyDifferent, EnableRule::WhenCopyChosen},
    {F::CopySubfolders, EnableRule::WhenCopyChosen},
    {F::MakeCopies, EnableRule::WhenCopyChosen},
    {F::Notify, EnableRule::WhenMailConfigured},
    {F::NotifyAfter, EnableRule::WhenNotifyChosenAndMailConfigured},
};

constexpr std::uint64_t kUnsignedMax = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint64_t kSignedMax = std::numeric_limits<std::int32_t>::max();
constexpr std::size_t kPathBuffer = 260;

int Index(ProgramField field) { return static_cast<int>(field); }

std::string Seconds(std::uint32_t milliseconds) { return std::to_string(milliseconds / 1000); }

// Seconds typed by the user as milliseconds, at most what 32 bits hold.
std::uint32_t Milliseconds(const std::string& text) {
    const std::uint64_t seconds = ParseCount(text, kUnsignedMax / 1000).value_or(0);
    return static_cast<std::uint32_t>(seconds * 1000);
}

std::string Cut(const std::string& text) { return text.substr(0, kPathBuffer - 1); }

}  // namespace

std::string FolderOfProgram(const std::string& path) {
    const std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::optional<std::uint64_t> ParseCount(const std::string& text, std::uint64_t limit) {
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = std::min<std::uint64_t>(value * 10 + static_cast<std::uint64_t>(c - '0'), limit);
    }
    return value;
}

ProgramModel::ProgramModel(const std::string& path, const ModuleEntry& entry, bool mailConfigured)
    : entry_(entry), mailConfigured_(mailConfigured) {
    TextRef(F::Path) = path;
    TextRef(F::Parameters) = entry.Parameters;
    TextRef(F::Copies) = std::to_string(entry.Copies);
    TextRef(F::StartDelay) = Seconds(entry.StartDelay);
    checks_[Index(F::NoAliveSupport)] = entry.NoAliveSupport != 0;
    if (entry.NoAliveSupport != 0) TextRef(F::CheckInterval) = Seconds(std::max(entry.CheckInterval, kMinimumCheckInterval));
    checks_[Index(F::ControlEnabled)] = entry.ControlEnabled != 0;
    checks_[Index(F::Reboot)] = entry.RebootAfter != 0;
    if (entry.RebootAfter != 0) TextRef(F::RebootAfter) = std::to_string(entry.RebootAfter);
    checks_[Index(F::RunProgram)] = entry.RunAfter != -1;
    if (entry.RunAfter != -1) {
        TextRef(F::RunAfter) = std::to_string(entry.RunAfter);
        TextRef(F::RunPath) = entry.RunPath;
    }
    checks_[Index(F::CopyFiles)] = entry.CopyAfter != -1;
    if (entry.CopyAfter != -1) {
        TextRef(F::CopyAfter) = std::to_string(entry.CopyAfter);
        TextRef(F::BackupFolder) = entry.BackupFolder;
        TextRef(F::RestoreFolder) = entry.RestoreFolder;
    }
    checks_[Index(F::CopyOnlyDifferent)] = entry.CopyOnlyDifferent != 0;
    checks_[Index(F::CopySubfolders)] = entry.CopySubfolders != 0;
    checks_[Index(F::CopyBeforeStart)] = entry.CopyBeforeStart != 0;
    checks_[Index(F::Notify)] = entry.Notify != 0;
    TextRef(F::NotifyAfter) = std::to_string(entry.NotifyAfter);
}

const std::string& ProgramModel::Text(ProgramField field) const { return texts_[Index(field)]; }

void ProgramModel::SetText(ProgramField field, const std::string& text) { TextRef(field) = text; }

bool ProgramModel::Checked(ProgramField field) const { return checks_[Index(field)]; }

bool ProgramModel::Enabled(ProgramField field) const {
    EnableFacts facts;
    facts.noAliveSupport = Checked(F::NoAliveSupport);
    facts.rebootChosen = Checked(F::Reboot);
    facts.runChosen = Checked(F::RunProgram);
    facts.copyChosen = Checked(F::CopyFiles);
    facts.mailConfigured = mailConfigured_;
    facts.notifyChosen = Checked(F::Notify);
    for (const FieldRule& rule : kEnableRules) {
        if (rule.field == field) return IsEnabled(rule.rule, facts);
    }
    return true;
}

void ProgramModel::Click(ProgramField field, bool checkedNow) {
    checks_[Index(field)] = checkedNow;
    switch (field) {
        case F::ControlEnabled:
            armedByClick_ = true;
            break;
        case F::NoAliveSupport:
            armedByClick_ = true;
            TextRef(F::CheckInterval) =
                checkedNow ? Seconds(std::max(entry_.CheckInterval, kMinimumCheckInterval)) : std::string();
            break;
        case F::Reboot:
            TextRef(F::RebootAfter) =
                checkedNow ? std::to_string(entry_.RebootAfter != 0 ? entry_.RebootAfter : 1) : std::string();
            break;
        case F::CopyFiles:
            // The folder to restore is the program's own, whatever it held.
            if (checkedNow) TextRef(F::RestoreFolder) = FolderOfProgram(Text(F::Path));
            break;
        default:
            break;
    }
}

bool ProgramModel::ChooseProgram(const std::string& path, const std::set<std::string>& excluded) {
    if (excluded.count(FileNamePart(path)) != 0) return false;
    TextRef(F::Path) = path;
    TextRef(F::RestoreFolder) = FolderOfProgram(path);
    return true;
}

void ProgramModel::OnRebootCountEdited() {
    if (ParseCount(Text(F::RebootAfter), kSignedMax).value_or(0) == 0) TextRef(F::RebootAfter) = "1";
}

std::optional<ProgramWarning> ProgramModel::Validate(const PathProbe& probe) const {
    const std::string path = Cut(Text(F::Path));
    if (path.empty() || !probe.Exists(path)) return ProgramWarning{IDS_PROGRAM_NOT_FOUND, F::Path};
    if (Checked(F::RunProgram)) {
        const std::string run = Cut(Text(F::RunPath));
        if (run.empty() || !probe.Exists(run)) return ProgramWarning{IDS_RUN_PROGRAM_NOT_FOUND, F::RunPath};
    }
    if (Checked(F::CopyFiles)) {
        const std::string restore = Cut(Text(F::RestoreFolder));
        const std::string backup = Cut(Text(F::BackupFolder));
        if (restore.empty() || !probe.Exists(restore)) {
            return ProgramWarning{IDS_RESTORE_FOLDER_NOT_FOUND, F::RestoreFolder};
        }
        if (backup.empty() || !probe.Exists(backup)) return ProgramWarning{IDS_BACKUP_FOLDER_NOT_FOUND, F::BackupFolder};
        if (probe.Same(restore, backup)) return ProgramWarning{IDS_CHOOSE_OTHER_BACKUP_FOLDER, F::BackupFolder};
    }
    return std::nullopt;
}

ModuleEntry ProgramModel::Result() const {
    ModuleEntry e = entry_;
    e.Parameters = Text(F::Parameters);
    e.Copies = static_cast<std::uint32_t>(ParseCount(Text(F::Copies), kUnsignedMax).value_or(0));
    e.StartDelay = Milliseconds(Text(F::StartDelay));
    e.NoAliveSupport = Checked(F::NoAliveSupport) ? 1 : 0;
    if (Checked(F::NoAliveSupport)) e.CheckInterval = std::max(Milliseconds(Text(F::CheckInterval)), kMinimumCheckInterval);
    e.ControlEnabled = Checked(F::ControlEnabled) ? 1 : 0;
    // Counts stay below the "off" mark -1 however large the number typed.
    e.RebootAfter = Checked(F::Reboot) ? static_cast<std::uint32_t>(ParseCount(Text(F::RebootAfter), kSignedMax).value_or(0)) : 0;
    e.RunAfter = Checked(F::RunProgram) ? static_cast<std::int32_t>(ParseCount(Text(F::RunAfter), kSignedMax).value_or(0)) : -1;
    if (Checked(F::RunProgram)) e.RunPath = Cut(Text(F::RunPath));
    e.CopyAfter = Checked(F::CopyFiles) ? static_cast<std::int32_t>(ParseCount(Text(F::CopyAfter), kSignedMax).value_or(0)) : -1;
    if (Checked(F::CopyFiles)) {
        e.BackupFolder = Cut(Text(F::BackupFolder));
        e.RestoreFolder = Cut(Text(F::RestoreFolder));
    }
    e.CopyOnlyDifferent = Checked(F::CopyOnlyDifferent) ? 1 : 0;
    e.CopySubfolders = Checked(F::CopySubfolders) ? 1 : 0;
    e.CopyBeforeStart = Checked(F::CopyBeforeStart) ? 1 : 0;
    e.Notify = Checked(F::Notify) ? 1 : 0;
    e.NotifyAfter = Checked(F::Notify) ? static_cast<std::uint32_t>(ParseCount(Text(F::NotifyAfter), kUnsignedMax).value_or(0)) : 1;
    if (armedByClick_) e.Armed = 1;
    return e;
}

std::optional<ProgramWarning> CheckMakeCopies(const std::string& restoreFolder, const std::string& backupFolder,
                                              const PathProbe& probe) {
    if (restoreFolder.empty()) return ProgramWarning{IDS_CHOOSE_RESTORE_FOLDER, F::RestoreFolder};
    if (backupFolder.empty()) return ProgramWarning{IDS_CHOOSE_BACKUP_FOLDER, F::BackupFolder};
    if (probe.Same(restoreFolder, backupFolder)) return ProgramWarning{IDS_CHOOSE_OTHER_BACKUP_FOLDER, F::BackupFolder};
    return std::nullopt;
}

}  // namespace mrwd
