// Reads the string fields of a file's version resource, and makes the main
// dialog's title from them.
#pragma once

#include <string>

#include "ui/core/version_info.h"

namespace mrwd {

// Fills `info` from the version resource of the file at `path`, or of the
// running executable when `path` is null. False, with `info` reset, when the
// file has no version resource that can be read.
bool ReadVersionInfo(VersionInfo& info, const char* path = nullptr);

// The main dialog's title with the file version, "... версия <file version>"
// (string 41); empty when `info` holds no version resource.
std::wstring VersionTitle(const VersionInfo& info);

}  // namespace mrwd
