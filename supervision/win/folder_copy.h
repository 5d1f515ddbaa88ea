// Copying a folder into another with the shell: every file, or only the
// files that differ, with or without subfolders. Restores a program's files
// from its backup folder and makes the backup from the dialog.
#pragma once

#include <windows.h>

#include <string>

#include "base/win/event_log.h"
#include "supervision/core/copy_lists.h"

namespace mrwd {

// Who hears of a copy that failed: the shell's own error boxes, for a person
// at the dialog, or a line in the log, for the engine, which nobody watches.
enum class ShellErrors { Shown, Logged };

// Blocks until the shell has copied. `progressText` (UTF-16, so that it reads
// right on any code page; may be null) is shown
// while the list of differing files is built. Folders too long for the
// shell's buffers are refused with a line in `log`, and nothing is copied.
// True when every file that had to be copied was; a failed or refused copy,
// whoever hears of it, also logs its line.
bool CopyFolder(HWND owner, const std::string& source, const std::string& destination, bool subfolders,
                bool onlyDifferent, const wchar_t* progressText, const EventLog& log, ShellErrors errors);

// Appends to `list` every file under `source` that differs from its
// counterpart under `destination` (recursing into subfolders whose names do
// not begin with a dot, when asked to).
void BuildCopyList(const std::string& source, const std::string& destination, CopyList& list, bool subfolders);

// Both files readable and mappable, of the same size and the same bytes. An
// empty file cannot be mapped and never counts as equal.
bool FilesEqual(const std::string& a, const std::string& b);

}  // namespace mrwd
