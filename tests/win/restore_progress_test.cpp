// The window the engine shows while it works out which files a restore must
// copy: created on the engine's thread, it must read right on any code page
// and must not hang on a window of the window thread.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "base/win/texts.h"
#include "resources/resource_ids.h"
#include "supervision/win/win_engine_system.h"
#include "tests/harness/quiet_ui_events.h"
#include "tests/harness/win_harness.h"

namespace mrwd::testing {
namespace {

namespace fs = std::filesystem;

// The progress window as it was just before it closed.
struct SeenProgress {
    bool seen = false;
    std::wstring text;
    DWORD ownerThread = 0;  // 0: no owner
};

thread_local SeenProgress* watching = nullptr;

LRESULT CALLBACK NoteProgressWindow(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_DESTROYWND && watching != nullptr) {
        const HWND window = reinterpret_cast<HWND>(wParam);
        if (const HWND text = ::GetDlgItem(window, IDC_COPY_PROGRESS_TEXT)) {
            wchar_t shown[512] = {};
            ::GetWindowTextW(text, shown, 512);
            watching->seen = true;
            watching->text = shown;
            const HWND owner = ::GetWindow(window, GW_OWNER);
            watching->ownerThread = owner != nullptr ? ::GetWindowThreadProcessId(owner, nullptr) : 0;
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

class RestoreProgress : public ::testing::Test {
protected:
    RestoreProgress() : folder_(FreshTestFolder("RestoreProgress")) {
        fs::create_directories(folder_ + "\\backup");
        fs::create_directories(folder_ + "\\program");
        std::ofstream(folder_ + "\\backup\\settings.ini") << "good";
        std::ofstream(folder_ + "\\program\\settings.ini") << "damaged";
        entry_.BackupFolder = folder_ + "\\backup";
        entry_.RestoreFolder = folder_ + "\\program";
        entry_.CopyAfter = 1;
        entry_.CopyOnlyDifferent = 1;  // the mode that shows the window
        // A window of this thread, as the server's main window is of the window thread.
        mainWindow_ = ::CreateWindowExW(0, L"STATIC", L"main", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                        ::GetModuleHandleW(nullptr), nullptr);
    }
    ~RestoreProgress() override { ::DestroyWindow(mainWindow_); }

    // Restores as the engine does, on a thread of its own, while this thread
    // keeps answering its windows' messages. `failedPath` empty: the restore
    // before a start, else the one after a failure of that program.
    SeenProgress RestoreOnEngineThread(const std::string& failedPath) {
        SeenProgress seen;
        DWORD engineThread = 0;
        std::atomic<bool> done{false};
        std::thread engine([&] {
            engineThread = ::GetCurrentThreadId();
            const HHOOK hook = ::SetWindowsHookExW(WH_CBT, NoteProgressWindow, nullptr, engineThread);
            watching = &seen;
            const EngineServices services{settings_, SettingsStore(false), log_, sender_, ui_};
            WinEngineSystem system(services, nullptr, supervisionOn_);
            system.RestoreFiles(entry_, failedPath.empty() ? system.CopyingCaption() : system.RestoreCaption(failedPath));
            watching = nullptr;
            ::UnhookWindowsHookEx(hook);
            done = true;
        });
        PumpMessagesUntil([&] { return done.load(); }, kDeadlineMs);
        engine.join();
        if (seen.ownerThread == engineThread) seen.ownerThread = 0;  // its own window is no other thread's
        return seen;
    }

    std::string folder_;
    ModuleEntry entry_ = UserAddedEntry();
    HWND mainWindow_ = nullptr;
    Settings settings_;
    std::atomic<std::uint32_t> logOn_{0};
    EventLog log_{logOn_};
    NotificationSender sender_{settings_, log_, FreshTestFolder("RestoreProgressOutbox")};
    QuietUiEvents ui_;
    const std::atomic<bool> supervisionOn_{true};
};

TEST_F(RestoreProgress, HasNoOwnerOnTheWindowThread) {
    const SeenProgress seen = RestoreOnEngineThread("");
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.ownerThread, 0u) << "owned by a window of another thread";
    EXPECT_EQ(ReadWholeFile(folder_ + "\\program\\settings.ini"), "good");
}

// Also run under code page 1252.
TEST_F(RestoreProgress, ScreenTextsReadRightInAnyCodePage) {
    const std::string expected = Environment("MRWD_EXPECTED_ACP");
    if (!expected.empty()) EXPECT_EQ(std::to_string(::GetACP()), expected);
    EXPECT_EQ(RestoreOnEngineThread("").text, L"Копирование файлов");
    std::ofstream(folder_ + "\\program\\settings.ini") << "damaged again";
    EXPECT_EQ(RestoreOnEngineThread("C:\\Kiosk\\app.exe").text,
              L"MRWD - отказ программы C:\\Kiosk\\app.exe. Сейчас будет произведено восстановление файлов.");
}

}  // namespace
}  // namespace mrwd::testing
