// The text side of copying a folder with the shell: trailing backslashes,
// the copy-all patterns and the source and destination lists of the
// only-different mode.
#pragma once

#include <cstddef>
#include <string>

namespace mrwd {

// The shell's copy buffers hold 260 bytes, two terminating zeros included.
constexpr std::size_t kShellPathBuffer = 260;

// Drops one trailing backslash ("C:\Backup\" is used as "C:\Backup").
std::string WithoutTrailingBackslash(const std::string& folder);

// The copy-all mode's source: every entry of the folder.
std::string CopyAllPattern(const std::string& folder);

// True when `text` fits a shell buffer with its double zero.
bool FitsShellBuffer(const std::string& text);

// Files of the only-different mode: full source paths in the order found.
class CopyList {
public:
    void Append(const std::string& sourceFile);
    bool Empty() const { return entries_.empty(); }
    // The stored form: each path followed by the byte 0x01.
    const std::string& Entries() const { return entries_; }

    // The shell's double-zero-terminated list of the source paths.
    std::string ShellSources() const;
    // The destination of each entry, in the same order: the source folder at
    // the start of the entry is replaced, once, by the destination folder.
    std::string ShellDestinations(const std::string& sourceFolder, const std::string& destinationFolder) const;

private:
    std::string entries_;
};

}  // namespace mrwd
