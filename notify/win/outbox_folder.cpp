#include "outbox_folder.h"

#include <windows.h>

#include "base/win/executable_path.h"
#include "base/win/handles.h"
#include "base/win/whole_file.h"

namespace mrwd {
namespace {

constexpr char kHalfWritten[] = ".part";

}  // namespace

std::string OutboxFolderBesideExecutable() { return ThisExecutableFolder() + "Outbox"; }

WindowsOutboxFolder::WindowsOutboxFolder(std::string folder) : folder_(std::move(folder)) {
    for (const std::string& name : Matching("*.part")) ::DeleteFileA((folder_ + "\\" + name).c_str());
}

std::vector<std::string> WindowsOutboxFolder::Matching(const char* pattern) const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder_ + "\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.emplace_back(found.cFileName);
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return names;
}

std::vector<std::string> WindowsOutboxFolder::Names() { return Matching("*.mail"); }

bool WindowsOutboxFolder::Read(const std::string& name, std::string& bytes) {
    UniqueFile file(::CreateFileA((folder_ + "\\" + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > 64 * 1024 * 1024) return false;
    bytes.assign(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    return bytes.empty() || (::ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                             read == bytes.size());
}

bool WindowsOutboxFolder::Write(const std::string& name, const std::string& bytes) {
    return ReplaceFileWhole(folder_, name, kHalfWritten, bytes);
}

void WindowsOutboxFolder::Remove(const std::string& name) { ::DeleteFileA((folder_ + "\\" + name).c_str()); }

}  // namespace mrwd
