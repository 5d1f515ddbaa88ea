// How the server splits paths: "\", "/" and ":" all end a folder name, so a
// path typed with forward slashes or a bare drive ("C:app.exe") splits too.
#pragma once

#include <string>

namespace mrwd {

// Everything after the last "\", "/" or ":" (the whole text when there is none).
std::string FileNamePart(const std::string& path);

// Everything up to and including the last "\", "/" or ":" (empty when there
// is none): where files beside a program go ("Logs", "reboot.mrk").
std::string FolderPrefix(const std::string& path);

// The folder a program is started in: the path's first 260 characters cut at
// the last backslash, which is dropped ("C:\App.exe" gives "C:"); the whole
// text when there is no backslash.
std::string FolderPart(const std::string& path);

// A folder named in full: "X:\..." or a share "\\server\...". An empty,
// relative or drive-relative folder ("data", "C:data", "\data") would be
// taken from wherever the process happens to stand.
bool IsFullFolderPath(const std::string& folder);

}  // namespace mrwd
