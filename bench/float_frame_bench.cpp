// float_frame_bench: what one animation step of the float window costs, shown
// and hidden: processor time of this thread and elapsed time per frame, over
// FRAMES steps each (default 2000). Run on an X display (bench/run-float-bench).
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "ui/win/float_window.h"

namespace {

class StillHost : public mrwd::FloatWindowHost {
public:
    bool SupervisionOn() const override { return true; }
    bool AnyProgramAliveSeen() const override { return true; }
    void OpenMakerPage(HWND) override {}
    void SwitchSupervision(bool) override {}
};

double ThreadMs() {
    FILETIME created, ended, kernel, user;
    ::GetThreadTimes(::GetCurrentThread(), &created, &ended, &kernel, &user);
    auto ms = [](const FILETIME& t) { return ((static_cast<double>(t.dwHighDateTime) * 4294967296.0) + t.dwLowDateTime) / 1e4; };
    return ms(kernel) + ms(user);
}

double NowMs() {
    LARGE_INTEGER counter, frequency;
    ::QueryPerformanceCounter(&counter);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void Pump() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
}

void Measure(mrwd::CFloatWindow& window, const char* label, int frames) {
    window.SetState(mrwd::FloatState::On);
    ::KillTimer(window.Window(), mrwd::kFloatAnimationTimerId);  // stepped by hand
    Pump();
    const double cpu = ThreadMs();
    const double wall = NowMs();
    for (int i = 0; i < frames; ++i) {
        ::SendMessageW(window.Window(), WM_TIMER, mrwd::kFloatAnimationTimerId, 0);
        if (i % 16 == 0) Pump();  // what the message loop does between ticks
    }
    Pump();
    std::printf("%-8s %7.3f ms processor, %7.3f ms elapsed per frame (%d frames)\n", label,
                (ThreadMs() - cpu) / frames, (NowMs() - wall) / frames, frames);
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 2000;
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    HWND owner = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, instance, nullptr);
    StillHost host;
    mrwd::CFloatWindow window(instance, owner, host, WM_USER + 2);
    if (!window.IsCreated()) {
        std::fprintf(stderr, "float_frame_bench: no float window\n");
        return 1;
    }
    window.Show();
    Pump();
    Measure(window, "shown", frames);
    window.Hide();
    Pump();
    Measure(window, "hidden", frames);
    ::DestroyWindow(owner);
    return 0;
}
