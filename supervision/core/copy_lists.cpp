#include "copy_lists.h"

namespace mrwd {
namespace {

constexpr char kSeparator = '\x01';

}  // namespace

std::string WithoutTrailingBackslash(const std::string& folder) {
    if (!folder.empty() && folder.back() == '\\') return folder.substr(0, folder.size() - 1);
    return folder;
}

std::string CopyAllPattern(const std::string& folder) { return folder + "\\*.*"; }

bool FitsShellBuffer(const std::string& text) { return text.size() + 2 <= kShellPathBuffer; }

void CopyList::Append(const std::string& sourceFile) {
    entries_ += sourceFile;
    entries_ += kSeparator;
}

std::string CopyList::ShellSources() const {
    std::string list = entries_;
    for (char& c : list) {
        if (c == kSeparator) c = '\0';
    }
    list += '\0';
    return list;
}

std::string CopyList::ShellDestinations(const std::string& sourceFolder, const std::string& destinationFolder) const {
    std::string list;
    std::string::size_type start = 0;
    for (auto end = entries_.find(kSeparator); end != std::string::npos; end = entries_.find(kSeparator, start)) {
        const std::string entry = entries_.substr(start, end - start);
        if (entry.compare(0, sourceFolder.size(), sourceFolder) == 0) {
            list += destinationFolder + entry.substr(sourceFolder.size());
        } else {
            list += entry;  // not below the source folder: cannot happen for listed files
        }
        list += '\0';
        start = end + 1;
    }
    list += '\0';
    return list;
}

}  // namespace mrwd
