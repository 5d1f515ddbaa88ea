// Times the service under Wine: from "/s" to the service's window answering,
// and from "/k" to the service manager reporting it stopped. Medians of RUNS.
//   service_bench.exe MRWD_EXE [RUNS]
// Works on a copy of mrwd.exe in a folder of its own, installs the service
// once and removes it at the end.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr char kName[] = "Marotel ZedevUdo Server";
constexpr DWORD kDeadlineMs = 30000;

double NowMs() {
    LARGE_INTEGER frequency, counter;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool Run(const std::string& exe, const std::string& arguments) {
    std::string commandLine = "\"" + exe + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process)) {
        return false;
    }
    const bool ended = ::WaitForSingleObject(process.hProcess, kDeadlineMs) == WAIT_OBJECT_0;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return ended;
}

DWORD ServiceState() {
    SC_HANDLE manager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? ::OpenServiceA(manager, kName, SERVICE_QUERY_STATUS) : nullptr;
    SERVICE_STATUS status{};
    const DWORD state = service && ::QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
    if (service) ::CloseServiceHandle(service);
    if (manager) ::CloseServiceHandle(manager);
    return state;
}

template <typename Condition>
bool WaitFor(Condition condition) {
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < kDeadlineMs) {
        if (condition()) return true;
        ::Sleep(1);
    }
    return false;
}

bool WindowAnswers() {
    HWND window = ::FindWindowA(kName, nullptr);
    DWORD_PTR result = 0;
    return window != nullptr && ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result) != 0;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: service_bench MRWD_EXE [RUNS]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    char temp[MAX_PATH];
    ::GetTempPathA(sizeof temp, temp);
    const std::string folder = std::string(temp) + "mrwd service bench\\";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    const std::string exe = folder + "mrwd.exe";
    if (!::CopyFileA(argv[1], exe.c_str(), FALSE)) {
        std::fprintf(stderr, "cannot copy %s\n", argv[1]);
        return 1;
    }
    if (ServiceState() != 0 || !Run(exe, "/i") || ServiceState() != SERVICE_STOPPED) {
        std::fprintf(stderr, "the service could not be installed (is one installed already?)\n");
        return 1;
    }
    std::vector<double> starts, stops;
    bool failed = false;
    for (int i = 0; i < runs && !failed; ++i) {
        const double t0 = NowMs();
        failed = !Run(exe, "/s") || !WaitFor(WindowAnswers);
        const double t1 = NowMs();
        failed = failed || !Run(exe, "/k") || !WaitFor([] { return ServiceState() == SERVICE_STOPPED; });
        const double t2 = NowMs();
        if (!failed) {
            starts.push_back(t1 - t0);
            stops.push_back(t2 - t1);
            std::printf("run %d: start %.0f ms, stop %.0f ms\n", i + 1, t1 - t0, t2 - t1);
        }
    }
    Run(exe, "/r");
    if (failed) {
        std::fprintf(stderr, "a start or stop did not complete in %lu ms\n", kDeadlineMs);
        return 1;
    }
    std::printf("median of %d: \"/s\" to the window answering %.0f ms, \"/k\" to STOPPED %.0f ms\n", runs,
                Median(starts), Median(stops));
    return ServiceState() == 0 ? 0 : 1;
}
