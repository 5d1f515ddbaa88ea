// The engine's window onto the system's processes: which processes run and
// from which executable, a process's top-level window, and starting, killing
// and running programs. The NT family uses the process status library, the
// Windows 95/98 family the tool-help functions; both are bound at run time.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "base/win/handles.h"
#include "supervision/core/process_tree.h"
#include "supervision/core/supervision_state.h"
#include "supervision/win/process_listing.h"

namespace mrwd {

enum class ProcessApi {
    ProcessStatus,  // NT family: "psapi.dll"
    ToolHelp,       // Windows 95/98 (present on NT too)
};

// The interface this system offers: the process status library on the NT family.
ProcessApi SystemProcessApi();

// The executable path of a running process. With the process status library
// the path is the full path; tool-help reports what the system keeps (on NT
// only the file name).
bool ExecutablePathOfProcess(std::uint32_t processId, std::string& path, ProcessApi api = SystemProcessApi());

// Every process whose path can be read, by id. With the process status
// library the paths are in lower case and processes that cannot be opened
// are left out.
void RebuildProcessSnapshot(ProcessSnapshot& snapshot, ProcessApi api = SystemProcessApi());
// The same, naming only the processes `names` does not know yet (new since
// its last use, or under a reused id): the engine's every cycle.
void RebuildProcessSnapshot(ProcessSnapshot& snapshot, ProcessListing& listing, ProcessNameCache& names);

// The long-name form of an existing path (short 8.3 names expanded), through
// the shell. False when the path does not exist or cannot be resolved.
bool CanonicalLongPath(const std::string& path, std::string& longPath);

// The server's own executable in that long form (as it is, when it cannot be resolved).
std::string ServerExecutableLongPath();

// The first top-level window, visible or not, owned by the process; null when none.
HWND TopLevelWindowOfProcess(std::uint32_t processId);

// How long a termination waits for the process to be gone.
constexpr DWORD kTerminationWaitMs = 5000;

// Terminates the process and waits (at most kTerminationWaitMs) until it has
// ended. On failure `error` (may be null) gets the system's error code.
bool TerminateProcessById(std::uint32_t processId, std::uint32_t* error = nullptr);

enum class RunResult {
    NotStarted,         // the shell could not open the path
    Started,            // `process` holds the process it started
    NothingToWaitFor,   // handed to an application that already runs: no new process
};

// Opens `path` with the shell, without waiting for what it starts and
// without a window to own the shell's own: the caller may be any thread.
RunResult RunWithShell(const std::string& path, UniqueHandle& process);

// The shell's folder browser; true with the chosen file-system folder.
bool ChooseFolder(HWND owner, const std::string& title, std::string& folder);

}  // namespace mrwd
