#include "process_control.h"

#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <vector>

#include "base/core/path_rules.h"
#include "base/win/dynamic_library.h"
#include "base/win/executable_path.h"
#include "base/win/handles.h"
#include "base/win/platform.h"
#include "supervision/win/started_programs.h"

namespace mrwd {
namespace {

// The process status library, loaded for one operation and freed after it.
class ProcessStatusLibrary {
public:
    using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
    using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
    using GetModuleFileNameExFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);
    using QueryFullProcessImageNameFn = BOOL(WINAPI*)(HANDLE, DWORD, LPSTR, DWORD*);

    ProcessStatusLibrary() : module_(::LoadLibraryA("psapi.dll")) {
        if (!module_) return;
        enumProcesses_ = BindFunction<EnumProcessesFn>(module_.get(), "EnumProcesses");
        enumProcessModules_ = BindFunction<EnumProcessModulesFn>(module_.get(), "EnumProcessModules");
        getModuleFileNameEx_ = BindFunction<GetModuleFileNameExFn>(module_.get(), "GetModuleFileNameExA");
        // Vista and later name the image of a process straight from the
        // kernel, several times faster than walking its module list; older
        // systems keep the module walk.
        queryImageName_ = BindFunction<QueryFullProcessImageNameFn>(::GetModuleHandleA("kernel32.dll"),
                                                                    "QueryFullProcessImageNameA");
    }

    bool CanListProcesses() const { return enumProcesses_ != nullptr && CanReadPaths(); }
    bool CanReadPaths() const {
        return queryImageName_ != nullptr || (enumProcessModules_ != nullptr && getModuleFileNameEx_ != nullptr);
    }

    std::vector<DWORD> ProcessIds() const {
        // Start with room for 1024 ids and grow while the list fills it, so a
        // busy system never loses the processes beyond the first thousand.
        std::vector<DWORD> ids(1024);
        for (;;) {
            DWORD bytes = 0;
            if (!enumProcesses_(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes)) return {};
            if (bytes < ids.size() * sizeof(DWORD)) {
                ids.resize(bytes / sizeof(DWORD));
                return ids;
            }
            ids.resize(ids.size() * 2);
        }
    }

    bool PathOf(DWORD processId, std::string& path) const {
        // The same access either way: which processes can be read must not
        // depend on which call names their image.
        UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
        if (!process) return false;
        char buffer[MAX_PATH] = {};
        if (queryImageName_ != nullptr) {
            DWORD size = sizeof buffer;
            if (!queryImageName_(process.get(), 0, buffer, &size) || size == 0) return false;
            path.assign(buffer, size);
            return true;
        }
        HMODULE first = nullptr;
        DWORD needed = 0;
        if (!enumProcessModules_(process.get(), &first, sizeof first, &needed) || needed == 0) return false;
        const DWORD length = getModuleFileNameEx_(process.get(), first, buffer, sizeof buffer);
        if (length == 0) return false;
        path.assign(buffer, length);
        return true;
    }

private:
    UniqueModule module_;
    EnumProcessesFn enumProcesses_ = nullptr;
    EnumProcessModulesFn enumProcessModules_ = nullptr;
    GetModuleFileNameExFn getModuleFileNameEx_ = nullptr;
    QueryFullProcessImageNameFn queryImageName_ = nullptr;
};

// The seven tool-help functions, looked up once in KERNEL32 and kept for the
// life of the process; usable only when all seven exist.
struct ToolHelp {
    using CreateSnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);
    using ProcessWalkFn = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);
    using ModuleWalkFn = BOOL(WINAPI*)(HANDLE, MODULEENTRY32*);
    using ThreadWalkFn = BOOL(WINAPI*)(HANDLE, THREADENTRY32*);

    CreateSnapshotFn createSnapshot = nullptr;
    ModuleWalkFn moduleFirst = nullptr;
    ModuleWalkFn moduleNext = nullptr;
    ProcessWalkFn processFirst = nullptr;
    ProcessWalkFn processNext = nullptr;
    ThreadWalkFn threadFirst = nullptr;
    ThreadWalkFn threadNext = nullptr;

    bool Usable() const {
        return createSnapshot && moduleFirst && moduleNext && processFirst && processNext && threadFirst && threadNext;
    }

    static const ToolHelp& Get() {
        static const ToolHelp functions = Load();
        return functions;
    }

    // Calls `visit` for each process until it returns false.
    template <typename Visit>
    void ForEachProcess(Visit visit) const {
        if (!Usable()) return;
        UniqueFile snapshot(createSnapshot(TH32CS_SNAPPROCESS, 0));
        if (!snapshot) return;
        PROCESSENTRY32 entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL more = processFirst(snapshot.get(), &entry); more; more = processNext(snapshot.get(), &entry)) {
            if (!visit(entry)) return;
        }
    }

private:
    static ToolHelp Load() {
        ToolHelp t;
        // Loaded in every process: looked up, never loaded or freed here.
        HMODULE kernel = ::GetModuleHandleA("KERNEL32.DLL");
        t.createSnapshot = BindFunction<CreateSnapshotFn>(kernel, "CreateToolhelp32Snapshot");
        t.moduleFirst = BindFunction<ModuleWalkFn>(kernel, "Module32First");
        t.moduleNext = BindFunction<ModuleWalkFn>(kernel, "Module32Next");
        t.processFirst = BindFunction<ProcessWalkFn>(kernel, "Process32First");
        t.processNext = BindFunction<ProcessWalkFn>(kernel, "Process32Next");
        t.threadFirst = BindFunction<ThreadWalkFn>(kernel, "Thread32First");
        t.threadNext = BindFunction<ThreadWalkFn>(kernel, "Thread32Next");
        return t;
    }
};

std::string Lower(std::string text) {
    ::CharLowerBuffA(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

struct WindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchWindowOwner(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<WindowSearch*>(lParam);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId) return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

ProcessApi SystemProcessApi() { return IsNtFamily() ? ProcessApi::ProcessStatus : ProcessApi::ToolHelp; }

bool ExecutablePathOfProcess(std::uint32_t processId, std::string& path, ProcessApi api) {
    if (api == ProcessApi::ProcessStatus) {
        const ProcessStatusLibrary library;
        return library.CanReadPaths() && library.PathOf(processId, path);
    }
    bool found = false;
    ToolHelp::Get().ForEachProcess([&](const PROCESSENTRY32& entry) {
        if (entry.th32ProcessID != processId) return true;
        path = entry.szExeFile;
        found = true;
        return false;
    });
    return found;
}

void RebuildProcessSnapshot(ProcessSnapshot& snapshot, ProcessApi api) {
    snapshot.clear();
    if (api == ProcessApi::ProcessStatus) {
        const ProcessStatusLibrary library;
        if (!library.CanListProcesses()) return;
        for (DWORD id : library.ProcessIds()) {
            std::string path;
            if (library.PathOf(id, path)) snapshot[id] = Lower(path);
        }
        return;
    }
    ToolHelp::Get().ForEachProcess([&](const PROCESSENTRY32& entry) {
        snapshot[entry.th32ProcessID] = entry.szExeFile;
        return true;
    });
}

void RebuildProcessSnapshot(ProcessSnapshot& snapshot, ProcessListing& listing, ProcessNameCache& names) {
    std::vector<RunningProcess> running;
    if (SystemProcessApi() != ProcessApi::ProcessStatus || !listing.List(running)) {
        RebuildProcessSnapshot(snapshot);
        return;
    }
    const ProcessStatusLibrary library;
    if (!library.CanReadPaths()) {
        snapshot.clear();
        return;
    }
    names.Refresh(
        running,
        [&library](std::uint32_t processId, std::string& path) {
            if (!library.PathOf(processId, path)) return false;
            path = Lower(path);
            return true;
        },
        snapshot);
}

bool CanonicalLongPath(const std::string& path, std::string& longPath) {
    if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    char full[MAX_PATH];
    const DWORD fullLength = ::GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    if (fullLength == 0 || fullLength >= sizeof full) return false;

    ComPointer<IShellFolder> desktop;
    if (FAILED(::SHGetDesktopFolder(desktop.put())) || !desktop) {
        longPath.assign(full, fullLength);
        return true;
    }
    const UINT codePage = ::AreFileApisANSI() ? CP_ACP : CP_OEMCP;
    wchar_t wide[MAX_PATH];
    if (::MultiByteToWideChar(codePage, 0, full, -1, wide, MAX_PATH) == 0) return false;
    LPITEMIDLIST parsed = nullptr;
    if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, wide, nullptr, &parsed, nullptr))) return false;
    const UniqueShellMemory items(parsed);
    char resolved[MAX_PATH] = {};
    if (!::SHGetPathFromIDListA(parsed, resolved)) return false;
    longPath = resolved;
    return true;
}

std::string ServerExecutableLongPath() {
    const std::string path = ThisExecutablePath();
    std::string longPath;
    return CanonicalLongPath(path, longPath) ? longPath : path;
}

HWND TopLevelWindowOfProcess(std::uint32_t processId) {
    // The result lives in the call, not in a shared variable, so threads may search at once.
    WindowSearch search{processId, nullptr};
    ::EnumWindows(MatchWindowOwner, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool TerminateProcessById(std::uint32_t processId, std::uint32_t* error) {
    UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
    const bool canWait = process.valid();
    if (!process) process.reset(::OpenProcess(PROCESS_TERMINATE, FALSE, processId));
    if (!process || !::TerminateProcess(process.get(), 0)) {
        if (error != nullptr) *error = ::GetLastError();
        return false;
    }
    // Termination only begins here: the process may still hold its files
    // for a moment, and the recovery program and the restore that follow
    // must find them free. A process that takes longer is left to itself.
    if (canWait) ::WaitForSingleObject(process.get(), kTerminationWaitMs);
    return true;
}

RunResult RunWithShell(const std::string& path, UniqueHandle& process) {
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    // No error box from the shell: on an unattended computer nobody would
    // close it.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_DDEWAIT | SEE_MASK_FLAG_NO_UI;
    info.hwnd = nullptr;
    info.lpVerb = "open";
    info.lpFile = path.c_str();
    info.nShow = SW_SHOWDEFAULT;
    // What it starts inherits the server's error mode: no crash box either.
    ::SetErrorMode(kQuietErrorMode);
    if (!::ShellExecuteExA(&info)) return RunResult::NotStarted;
    process.reset(info.hProcess);
    return process ? RunResult::Started : RunResult::NothingToWaitFor;
}

bool ChooseFolder(HWND owner, const std::string& title, std::string& folder) {
    // The folder browser needs COM on the calling thread; without it Wine's
    // browser hangs now and then while it fills its tree.
    const ComScope com;
    char chosen[MAX_PATH] = {};
    BROWSEINFOA browse = {};
    browse.hwndOwner = owner;
    browse.pszDisplayName = chosen;
    browse.lpszTitle = title.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST items = ::SHBrowseForFolderA(&browse);
    if (items == nullptr) return false;
    const UniqueShellMemory owned(items);
    if (!::SHGetPathFromIDListA(items, chosen)) return false;
    folder = chosen;
    return true;
}

}  // namespace mrwd
