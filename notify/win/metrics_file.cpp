#include "notify/win/metrics_file.h"

#include "base/win/whole_file.h"

namespace mrwd {

bool ReplaceMetricsFile(const std::string& folder, const std::string& text) {
    // The collectors read "*.prom" only.
    return ReplaceFileWhole(folder, kMetricsFileName, ".tmp", text);
}

}  // namespace mrwd
