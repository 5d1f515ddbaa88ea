#include "path_rules.h"

namespace mrwd {
namespace {

std::string::size_type LastSeparator(const std::string& path) { return path.find_last_of("\\/:"); }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

bool IsFullFolderPath(const std::string& folder) {
    if (folder.size() >= 3 && IsDriveLetter(folder[0]) && folder[1] == ':' && IsSeparator(folder[2])) return true;
    return folder.size() >= 3 && IsSeparator(folder[0]) && IsSeparator(folder[1]) && !IsSeparator(folder[2]);
}

std::string FileNamePart(const std::string& path) {
    const auto at = LastSeparator(path);
    return at == std::string::npos ? path : path.substr(at + 1);
}

std::string FolderPrefix(const std::string& path) {
    const auto at = LastSeparator(path);
    return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

std::string FolderPart(const std::string& path) {
    const std::string head = path.substr(0, 260);
    const auto at = head.find_last_of('\\');
    return at == std::string::npos ? head : head.substr(0, at);
}

}  // namespace mrwd
