#include "folder_copy.h"

#include <shellapi.h>

#include <cstring>

#include "base/win/handles.h"
#include "base/win/mapped_file.h"
#include "resources/resource_ids.h"

namespace mrwd {
namespace {

// The modeless "building the list" window, gone when this goes out of scope.
class ProgressWindow {
public:
    ProgressWindow(HWND owner, const wchar_t* text) {
        if (text == nullptr) return;
        window_ = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_COPY_PROGRESS), owner,
                                       nullptr, 0);
        if (window_ == nullptr) return;
        ::SetDlgItemTextW(window_, IDC_COPY_PROGRESS_TEXT, text);
        ::UpdateWindow(window_);
    }
    ~ProgressWindow() {
        if (window_ != nullptr) ::DestroyWindow(window_);
    }
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

private:
    HWND window_ = nullptr;
};

bool RefuseIfTooLong(const std::string& folder, const std::string& asUsed, const EventLog& log) {
    if (FitsShellBuffer(asUsed)) return false;
    log.WriteLogString(IDS_FOLDER_TOO_LONG, folder.c_str());
    return true;
}

// `from` and `to` are lists of paths, each ended by a zero, the list by one
// more. Returns the shell's result: 0 when everything was copied.
int ShellCopy(HWND owner, const char* from, const char* to, FILEOP_FLAGS flags) {
    SHFILEOPSTRUCTA operation = {};
    operation.hwnd = owner;
    operation.wFunc = FO_COPY;
    operation.pFrom = from;
    operation.pTo = to;
    operation.fFlags = flags;
    const int result = ::SHFileOperationA(&operation);
    if (result == 0 && operation.fAnyOperationsAborted) return ERROR_CANCELLED;
    return result;
}

}  // namespace

bool FilesEqual(const std::string& a, const std::string& b) {
    const MappedFile first(a);
    if (!first.Mapped()) return false;
    const MappedFile second(b);
    if (!second.Mapped()) return false;
    return first.Size() == second.Size() && std::memcmp(first.Data(), second.Data(), first.Size()) == 0;
}

void BuildCopyList(const std::string& source, const std::string& destination, CopyList& list, bool subfolders) {
    WIN32_FIND_DATAA found;
    const std::string pattern = source + "\\*";
    UniqueFind search(::FindFirstFileA(pattern.c_str(), &found));
    if (!search) return;
    do {
        const std::string name = found.cFileName;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // Also skips "." and "..", and folders such as ".git".
            if (subfolders && name[0] != '.') {
                BuildCopyList(source + "\\" + name, destination + "\\" + name, list, subfolders);
            }
            continue;
        }
        if (!FilesEqual(source + "\\" + name, destination + "\\" + name)) list.Append(source + "\\" + name);
        ::Sleep(1);  // keeps a large folder from hogging the processor
    } while (::FindNextFileA(search.get(), &found));
}

bool CopyFolder(HWND owner, const std::string& sourceFolder, const std::string& destinationFolder, bool subfolders,
                bool onlyDifferent, const wchar_t* progressText, const EventLog& log, ShellErrors errors) {
    const std::string source = WithoutTrailingBackslash(sourceFolder);
    const std::string destination = WithoutTrailingBackslash(destinationFolder);
    const std::string pattern = CopyAllPattern(source);
    if (RefuseIfTooLong(sourceFolder, pattern, log) || RefuseIfTooLong(destinationFolder, destination, log)) {
        return false;
    }
    // Nobody would close an error box of the engine's copy: it would stop
    // supervision for good. Its failures go to the log instead.
    const FILEOP_FLAGS quiet = errors == ShellErrors::Logged ? FOF_NOERRORUI : 0;
    // The shell's own boxes do not say which restore failed: the log line does, in either mode.
    auto copied = [&](int result) {
        if (result == 0) return true;
        log.WriteLogString(IDS_COPY_FAILED, source.c_str(), destination.c_str(), static_cast<long>(result));
        return false;
    };

    if (onlyDifferent) {
        CopyList list;
        {
            const ProgressWindow progress(owner, progressText);
            BuildCopyList(source, destination, list, subfolders);
        }
        if (list.Empty()) return true;
        const std::string sources = list.ShellSources();
        const std::string destinations = list.ShellDestinations(source, destination);
        return copied(ShellCopy(owner, sources.c_str(), destinations.c_str(),
                                FOF_MULTIDESTFILES | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | quiet));
    }

    // Zero-filled buffers of the shell's size: the text and its double zero.
    char from[kShellPathBuffer] = {};
    char to[kShellPathBuffer] = {};
    std::memcpy(from, pattern.data(), pattern.size());
    std::memcpy(to, destination.data(), destination.size());
    FILEOP_FLAGS flags = FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
    if (!subfolders) flags |= FOF_FILESONLY;
    return copied(ShellCopy(owner, from, to, flags));
}

}  // namespace mrwd
