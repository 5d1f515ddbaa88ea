// How the server splits paths: "\", "/" and ":" all end a folder name, so a
// path typed with forward slashes or a bare drive ("C:app.exe") splits too.
#pragma once

#include <string>

namespace mrwd {

// Everything after the last "\", "/" or ":" (the whole text when there is none).
std::string FileNamePart(const std::string& path);

// Everything up to and including the last "\", "/" or ":" (empty when there is none).
std::string FolderPart(const std::string& path);

}  // namespace mrwd
