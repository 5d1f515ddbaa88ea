// Compares the two ways of naming a process's executable that the process
// snapshot can use: the process status library's module walk
// (EnumProcessModules + GetModuleFileNameExA) and QueryFullProcessImageNameA.
// For every running process both are asked, the answers compared, and each
// way timed over whole passes. Then the two ways of listing the processes:
// EnumProcesses and the one call that also gives parents and creation times
// (NtQuerySystemInformation), by processor time and by the clock. Prints
// one report; changes nothing.
#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
using GetModuleFileNameExFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);
using QueryFullProcessImageNameFn = BOOL(WINAPI*)(HANDLE, DWORD, LPSTR, DWORD*);

template <typename Fn>
Fn Bind(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

HMODULE psapi = LoadLibraryA("psapi.dll");
const auto enumProcesses = Bind<EnumProcessesFn>(psapi, "EnumProcesses");
const auto enumModules = Bind<EnumProcessModulesFn>(psapi, "EnumProcessModules");
const auto moduleFileName = Bind<GetModuleFileNameExFn>(psapi, "GetModuleFileNameExA");
const auto queryImageName = Bind<QueryFullProcessImageNameFn>(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA");

bool ByModules(DWORD id, std::string& path) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
    if (process == nullptr) return false;
    HMODULE first = nullptr;
    DWORD needed = 0;
    char buffer[MAX_PATH];
    bool ok = enumModules(process, &first, sizeof first, &needed) && needed != 0;
    DWORD length = ok ? moduleFileName(process, first, buffer, sizeof buffer) : 0;
    CloseHandle(process);
    if (length == 0) return false;
    path.assign(buffer, length);
    return true;
}

bool ByImageName(DWORD id, std::string& path) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
    if (process == nullptr) return false;
    char buffer[MAX_PATH];
    DWORD size = sizeof buffer;
    const bool ok = queryImageName(process, 0, buffer, &size) && size != 0;
    CloseHandle(process);
    if (ok) path.assign(buffer, size);
    return ok;
}

std::vector<DWORD> ProcessIds() {
    std::vector<DWORD> ids(4096);
    DWORD bytes = 0;
    enumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes);
    ids.resize(bytes / sizeof(DWORD));
    return ids;
}

template <typename Lookup>
double MedianPassMs(const std::vector<DWORD>& ids, Lookup lookup, int passes) {
    std::vector<double> times;
    for (int p = 0; p < passes; ++p) {
        const auto start = std::chrono::steady_clock::now();
        std::string path;
        for (DWORD id : ids) lookup(id, path);
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

using QuerySystemInformationFn = LONG(NTAPI*)(ULONG, void*, ULONG, ULONG*);

// This process's processor time so far, in ms.
double ProcessorMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ticks = [](const FILETIME& t) { return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
}

template <typename List>
void TimeListing(const char* what, List list, int passes) {
    const double cpu = ProcessorMs();
    const auto start = std::chrono::steady_clock::now();
    for (int p = 0; p < passes; ++p) list();
    const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("listing by %s: %.2f ms of processor time, %.2f ms by the clock, per listing\n", what,
                (ProcessorMs() - cpu) / passes, wall / passes);
}

}  // namespace

int main(int argc, char** argv) {
    const int passes = argc > 1 ? std::atoi(argv[1]) : 21;
    if (!enumProcesses || !enumModules || !moduleFileName || !queryImageName) {
        std::printf("a function is missing: nothing to compare\n");
        return 1;
    }
    const std::vector<DWORD> ids = ProcessIds();
    int both = 0, same = 0, sameIgnoringCase = 0, onlyModules = 0, onlyImage = 0;
    for (DWORD id : ids) {
        std::string a, b;
        const bool hasA = ByModules(id, a), hasB = ByImageName(id, b);
        if (hasA && hasB) {
            ++both;
            if (a == b) ++same;
            if (lstrcmpiA(a.c_str(), b.c_str()) == 0) ++sameIgnoringCase;
            else std::printf("differs: %lu\n  modules: %s\n  image:   %s\n", id, a.c_str(), b.c_str());
        } else if (hasA) {
            ++onlyModules;
        } else if (hasB) {
            ++onlyImage;
        }
    }
    std::printf("processes: %zu; named by both: %d (identical %d, equal ignoring case %d); only by modules: %d; "
                "only by image name: %d\n",
                ids.size(), both, same, sameIgnoringCase, onlyModules, onlyImage);
    const double modules = MedianPassMs(ids, ByModules, passes);
    const double image = MedianPassMs(ids, ByImageName, passes);
    std::printf("median pass over all processes (%d passes): module walk %.2f ms, image name %.2f ms, ratio %.1f\n",
                passes, modules, image, image > 0 ? modules / image : 0.0);

    TimeListing("EnumProcesses", [] { ProcessIds(); }, passes);
    const auto query = Bind<QuerySystemInformationFn>(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation");
    if (query != nullptr) {
        std::vector<unsigned char> buffer(8 << 20);
        TimeListing("NtQuerySystemInformation", [&] {
            ULONG needed = 0;
            query(5 /* SystemProcessInformation */, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        }, passes);
    }
    return 0;
}
