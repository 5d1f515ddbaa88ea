// The metrics file: "mrwd.prom" in the folder the operator named, replaced
// whole (written beside it under a name the collector skips, then renamed
// over it), so that a collector never reads half a file.
#pragma once

#include <string>

namespace mrwd {

constexpr char kMetricsFileName[] = "mrwd.prom";

// Creates the folder when missing. False when the file could not be
// replaced; the previous one, if any, is left as it was.
bool ReplaceMetricsFile(const std::string& folder, const std::string& text);

}  // namespace mrwd
