// Replaces a file so that a reader sees the old bytes or the new, never a
// part: the bytes go to a file beside it first, reach the disk, and then
// take its name.
#pragma once

#include <string>

namespace mrwd {

// `folder` is made when missing. The bytes are written to `name` +
// `halfSuffix` first, a name the file's readers must skip; that file is
// deleted whenever the replacement fails.
bool ReplaceFileWhole(const std::string& folder, const std::string& name, const char* halfSuffix,
                      const std::string& bytes);

}  // namespace mrwd
