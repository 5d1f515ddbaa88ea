// Prints the memory Windows reports for every running process of a given
// image name, as the operating system itself accounts it:
//   private_memory NAME.exe
//   -> "<process id> private <bytes> pagefile <bytes> working-set <bytes>"
// "private" is PROCESS_MEMORY_COUNTERS_EX.PrivateUsage, the commit charge
// that belongs to the process alone; Windows reports the same figure as
// PagefileUsage. Wine 8 leaves PrivateUsage 0 and fills PagefileUsage with
// the pages the process has written to (its Linux anonymous memory), so both
// are printed and the reader says which one it took. Exits 1 when no such
// process runs.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: private_memory NAME.exe\n");
        return 2;
    }
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 2;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    int found = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, argv[1]) != 0) continue;
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, entry.th32ProcessID);
        if (process == nullptr) continue;
        PROCESS_MEMORY_COUNTERS_EX counters = {};
        counters.cb = sizeof counters;
        if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters)) {
            std::printf("%lu private %llu pagefile %llu working-set %llu\n",
                        static_cast<unsigned long>(entry.th32ProcessID),
                        static_cast<unsigned long long>(counters.PrivateUsage),
                        static_cast<unsigned long long>(counters.PagefileUsage),
                        static_cast<unsigned long long>(counters.WorkingSetSize));
            ++found;
        }
        CloseHandle(process);
    }
    CloseHandle(snapshot);
    return found > 0 ? 0 : 1;
}
