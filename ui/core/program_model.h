// The program parameters dialog without its window: one program's record as
// the dialog shows it (times in seconds, failure counts with their switches),
// what each switch does to the others, and the checks and conversion of OK.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "supervision/core/module_entry.h"
#include "ui/core/enable_rules.h"

namespace mrwd {

enum class ProgramField {
    Path,
    Parameters,
    Copies,
    StartDelay,     // seconds
    CheckInterval,  // seconds
    NoAliveSupport,
    ControlEnabled,
    CopyFiles,      // the "copy files after" switch
    BackupFolder,
    RestoreFolder,
    CopyAfter,
    CopyBeforeStart,
    CopyOnlyDifferent,
    CopySubfolders,
    MakeCopies,     // the "make copies now" button
    RunProgram,     // the "run after" switch
    RunPath,
    RunAfter,
    Reboot,         // the "reboot after" switch
    RebootAfter,
    Notify,
    NotifyAfter,
};

// Whether a file or folder exists, and whether two paths name the same
// place; the dialog asks the system, tests a table.
class PathProbe {
public:
    virtual ~PathProbe() = default;
    virtual bool Exists(const std::string& path) const = 0;
    virtual bool Same(const std::string& a, const std::string& b) const = 0;
};

struct ProgramWarning {
    unsigned stringId = 0;
    ProgramField field = ProgramField::Path;
};

// Everything up to the last "\" (the program's own folder), or empty.
std::string FolderOfProgram(const std::string& path);

// A number typed into an edit, at most `limit`: digits only; more than the
// limit is cut to it (never wrapped), anything else gives nothing.
std::optional<std::uint64_t> ParseCount(const std::string& text, std::uint64_t limit);

class ProgramModel {
public:
    ProgramModel(const std::string& path, const ModuleEntry& entry, bool mailConfigured);

    const std::string& Text(ProgramField field) const;
    void SetText(ProgramField field, const std::string& text);
    bool Checked(ProgramField field) const;
    bool Enabled(ProgramField field) const;

    // A click on a switch, `checkedNow` being its state after the click.
    void Click(ProgramField field, bool checkedNow);
    // A program chosen with the file chooser: false, and nothing changes, when
    // it may not be put under control.
    bool ChooseProgram(const std::string& path, const std::set<std::string>& excluded);
    // The text of the "reboot after" count was changed by the user: 0 becomes 1.
    void OnRebootCountEdited();

    // The checks of OK in their order; the first failure, or nothing.
    std::optional<ProgramWarning> Validate(const PathProbe& probe) const;
    // The record as OK stores it (call after Validate found nothing).
    ModuleEntry Result() const;
    const std::string& ResultPath() const { return texts_[static_cast<int>(ProgramField::Path)]; }

private:
    std::string& TextRef(ProgramField field) { return texts_[static_cast<int>(field)]; }

    ModuleEntry entry_;
    bool mailConfigured_;
    bool armedByClick_ = false;
    std::string texts_[static_cast<int>(ProgramField::NotifyAfter) + 1];
    bool checks_[static_cast<int>(ProgramField::NotifyAfter) + 1] = {};
};

// "Создать копии": the first problem with the two folders, or nothing. The
// folders need not exist yet.
std::optional<ProgramWarning> CheckMakeCopies(const std::string& restoreFolder, const std::string& backupFolder,
                                              const PathProbe& probe);

}  // namespace mrwd
