#include "notify/win/metrics_file.h"

#include <windows.h>

#include "base/win/handles.h"

namespace mrwd {

bool ReplaceMetricsFile(const std::string& folder, const std::string& text) {
    ::CreateDirectoryA(folder.c_str(), nullptr);  // normally exists already
    const std::string path = folder + "\\" + kMetricsFileName;
    // The collectors read "*.prom" only.
    const std::string temporary = path + ".tmp";
    bool written = false;
    {
        UniqueFile file(::CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        DWORD done = 0;
        written = ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &done, nullptr) &&
                  done == text.size() && ::FlushFileBuffers(file.get());
    }
    if (written && ::MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    ::DeleteFileA(temporary.c_str());
    return false;
}

}  // namespace mrwd
