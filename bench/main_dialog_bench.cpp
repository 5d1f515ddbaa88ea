// Times the main dialog with a long program list, in this process under
// Wine: opening it, one refresh (the rows taken under the supervision lock),
// and painting every visible row (its icon looked up off this thread).
//   main_dialog_bench.exe [PROGRAMS]   (default 500)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <commctrl.h>

#include "resources/resource_ids.h"
#include "ui/win/main_dialog.h"

namespace {

using namespace mrwd;

double NowMs() {
    LARGE_INTEGER frequency, counter;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

class QuietHost : public MainDialogHost {
public:
    HWND MainWindow() override { return nullptr; }
    void SwitchSupervision(bool) override {}
    void UpdateTrayIcon(DWORD) override {}
    bool IsAutostart() override { return false; }
    bool SetAutostart(bool) override { return false; }
    FloatWindowControl* FloatWindow() override { return nullptr; }
    const StatusLine* ControllerStatus() override { return &line_; }
    const StatusLine* ModemStatus() override { return &line_; }
    void RequestModemStatusRefresh() override {}
    void RequestCardSearch() override {}
    HWND ShowHelp(HWND) override { return nullptr; }
    void EditNotificationSettings(HWND) override {}
    bool EditProgram(HWND, std::string&, ModuleEntry&) override { return false; }

private:
    StatusLine line_;
};

class QuietPrompts : public DialogPrompts {
public:
    void Warn(HWND, UINT) override {}
    void Inform(HWND, UINT) override {}
    std::optional<std::string> ChooseFile(HWND, UINT, const std::string&) override { return std::nullopt; }
    std::optional<std::string> ChooseFolder(HWND, UINT) override { return std::nullopt; }
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int programs = argc > 1 ? std::atoi(argv[1]) : 500;
    Settings settings;
    std::atomic<bool> on{true};
    SupervisionState supervision;
    const Tick now = ::GetTickCount();
    for (int i = 0; i < programs; ++i) {
        char path[64];
        std::snprintf(path, sizeof path, "C:\\Programs\\program%04d.exe", i);
        ModuleEntry entry;
        entry.AliveSeen = 1;
        supervision.modules.Add(path, entry);
        supervision.alive[1000u + static_cast<unsigned>(i)] = AliveEntry{now, now - 3000, 10000, 0, path, true};
        supervision.snapshot[1000u + static_cast<unsigned>(i)] = path;
    }
    QuietHost host;
    QuietPrompts prompts;
    MainDialogContext context{::GetModuleHandleW(nullptr), settings, SettingsStore(false), on, supervision,
                              host, prompts, std::wstring()};
    const double opening = NowMs();
    HWND dialog = ::CreateDialogParamW(context.instance, MAKEINTRESOURCEW(IDD_MAIN_DIALOG), nullptr, MainDialogProc,
                                       reinterpret_cast<LPARAM>(&context));
    if (dialog == nullptr) return 1;
    ::ShowWindow(dialog, SW_SHOW);
    ::UpdateWindow(dialog);
    const double opened = NowMs();
    HWND list = ::GetDlgItem(dialog, IDC_PROGRAM_LIST);
    std::vector<double> refreshes, paints;
    for (int run = 0; run < 20; ++run) {
        const double t0 = NowMs();
        RefreshMainDialog();
        const double t1 = NowMs();
        ::RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        const double t2 = NowMs();
        refreshes.push_back(t1 - t0);
        paints.push_back(t2 - t1);
    }
    const int visible = static_cast<int>(::SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
    std::printf("%d programs: opening %.1f ms; one refresh %.2f ms, painting the %d visible rows %.2f ms (medians of 20)\n",
                programs, opened - opening, Median(refreshes), visible, Median(paints));
    ::DestroyWindow(dialog);
    return 0;
}
