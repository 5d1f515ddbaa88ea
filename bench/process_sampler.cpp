// process_sampler.exe: the resource figures of one running program as Windows
// reports them, for the soak run (bench/soak). Runs under Wine beside it:
//
//   process_sampler IMAGE OUT-FILE STOP-FILE [PERIOD-MS]
//
// Every PERIOD-MS (default 10000) until STOP-FILE exists or the program is
// gone, appends to OUT-FILE one line:
//   <ms since 1970> <pid> <private bytes> <handles> <gdi objects> <user objects>
//   <threads> <cpu ms> <failure-window lines> <system handle table> <windows>
// A figure Windows would not give is written as -1. "failure-window lines"
// counts the lines of the reboot controller's failure window (a dialog of the
// program holding list box 1043), -1 while no such window is open. "system
// handle table" is the program's entries in NtQuerySystemInformation's handle
// list (Wine answers GetProcessHandleCount with 0 for other processes);
// "windows" its windows, top-level and child (Wine's GetGuiResources gives 0).
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The handle list of NtQuerySystemInformation(SystemHandleInformation).
struct HandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    PVOID object;
    ACCESS_MASK access;
};
struct HandleList {
    ULONG count;
    HandleEntry entries[1];
};
using QuerySystem = LONG(WINAPI*)(int, PVOID, ULONG, PULONG);

long SystemHandleCount(DWORD pid) {
    static const auto query = reinterpret_cast<QuerySystem>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) return -1;
    for (ULONG size = 1 << 16; size <= (1u << 26); size *= 2) {
        void* buffer = HeapAlloc(GetProcessHeap(), 0, size);
        if (buffer == nullptr) return -1;
        ULONG needed = 0;
        const LONG status = query(16 /* SystemHandleInformation */, buffer, size, &needed);
        long count = -1;
        if (status == 0) {
            const auto* list = static_cast<const HandleList*>(buffer);
            count = 0;
            for (ULONG i = 0; i < list->count; ++i) {
                if (list->entries[i].ownerPid == pid) ++count;
            }
        }
        HeapFree(GetProcessHeap(), 0, buffer);
        if (status != static_cast<LONG>(0xC0000004) /* STATUS_INFO_LENGTH_MISMATCH */) return count;
    }
    return -1;
}

unsigned long long WallClockMs() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const unsigned long long ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return ticks / 10000 - 11644473600000ull;
}

// The process id of the first process whose executable file is `image`, and its thread count.
DWORD FindProcess(const char* image, long* threads) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    DWORD found = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, image) == 0) {
            found = entry.th32ProcessID;
            *threads = static_cast<long>(entry.cntThreads);
            break;
        }
    }
    CloseHandle(snapshot);
    return found;
}

// Counted from a thread snapshot: Wine's process entry may not carry the count.
long CountThreads(DWORD pid) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    long count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == pid) ++count;
    }
    CloseHandle(snapshot);
    return count;
}

struct WindowSearch {
    DWORD pid;
    long lines;
    long windows;
};

BOOL CALLBACK OnChild(HWND, LPARAM data) {
    ++reinterpret_cast<WindowSearch*>(data)->windows;
    return TRUE;
}

BOOL CALLBACK OnWindow(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<WindowSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->pid) return TRUE;
    ++search->windows;
    EnumChildWindows(window, OnChild, data);
    HWND list = GetDlgItem(window, 1043);
    if (list == nullptr) return TRUE;
    DWORD_PTR count = 0;
    if (SendMessageTimeoutA(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000, &count)) {
        search->lines = (search->lines < 0 ? 0 : search->lines) + static_cast<long>(count);
    }
    return TRUE;
}

WindowSearch SearchWindows(DWORD pid) {
    WindowSearch search{pid, -1, 0};
    EnumWindows(OnWindow, reinterpret_cast<LPARAM>(&search));
    return search;
}

bool Sample(const char* image, FILE* out) {
    long threads = -1;
    const DWORD pid = FindProcess(image, &threads);
    if (pid == 0) return false;
    const long counted = CountThreads(pid);
    if (counted > 0) threads = counted;
    long long privateBytes = -1, handles = -1, gdi = -1, user = -1, cpuMs = -1;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (process != nullptr) {
        PROCESS_MEMORY_COUNTERS_EX memory = {};
        memory.cb = sizeof memory;
        if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
            privateBytes = static_cast<long long>(memory.PrivateUsage);
        }
        DWORD count = 0;
        if (GetProcessHandleCount(process, &count)) handles = count;
        gdi = GetGuiResources(process, GR_GDIOBJECTS);
        user = GetGuiResources(process, GR_USEROBJECTS);
        FILETIME created, ended, kernel, userTime;
        if (GetProcessTimes(process, &created, &ended, &kernel, &userTime)) {
            auto ms = [](const FILETIME& t) {
                return static_cast<long long>(((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000);
            };
            cpuMs = ms(kernel) + ms(userTime);
        }
        CloseHandle(process);
    }
    const WindowSearch windows = SearchWindows(pid);
    std::fprintf(out, "%llu %lu %lld %lld %lld %lld %ld %lld %ld %ld %ld\n", WallClockMs(),
                 static_cast<unsigned long>(pid), privateBytes, handles, gdi, user, threads, cpuMs, windows.lines,
                 SystemHandleCount(pid), windows.windows);
    std::fflush(out);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: process_sampler IMAGE OUT-FILE STOP-FILE [PERIOD-MS]\n");
        return 2;
    }
    const DWORD period = argc > 4 ? static_cast<DWORD>(std::strtoul(argv[4], nullptr, 10)) : 10000;
    FILE* out = std::fopen(argv[2], "ab");
    if (out == nullptr) return 1;
    while (GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES) {
        const DWORD began = GetTickCount();
        if (!Sample(argv[1], out)) break;
        const DWORD spent = GetTickCount() - began;
        Sleep(spent < period ? period - spent : 0);
    }
    std::fclose(out);
    return 0;
}
