#include "base/win/whole_file.h"

#include <windows.h>

#include "base/win/handles.h"

namespace mrwd {

bool ReplaceFileWhole(const std::string& folder, const std::string& name, const char* halfSuffix,
                      const std::string& bytes) {
    ::CreateDirectoryA(folder.c_str(), nullptr);  // it normally exists already
    const std::string final = folder + "\\" + name;
    const std::string half = final + halfSuffix;
    bool written = false;
    {
        UniqueFile file(::CreateFileA(half.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
        if (!file) return false;
        DWORD done = 0;
        // On the disk before the rename, so the renamed file is never empty.
        written = ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
                  done == bytes.size() && ::FlushFileBuffers(file.get());
    }
    if (written && ::MoveFileExA(half.c_str(), final.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    ::DeleteFileA(half.c_str());
    return false;
}

}  // namespace mrwd
