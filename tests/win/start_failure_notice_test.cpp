// The box about a program that cannot be started: on its own thread, one per
// program, gone when closed.
#include "supervision/win/start_failure_notice.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/harness/win_harness.h"

namespace mrwd {
namespace {

using testing::kDeadlineMs;
using testing::WaitUntil;

struct BoxSearch {
    std::wstring part;
    std::vector<HWND> found;
};

// A named function: the system's callbacks are stdcall on 32-bit Windows,
// which a lambda cannot be.
BOOL CALLBACK KeepBoxAbout(HWND window, LPARAM lParam) {
    auto* s = reinterpret_cast<BoxSearch*>(lParam);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    char cls[16] = {};
    ::GetClassNameA(window, cls, sizeof cls);
    if (owner != ::GetCurrentProcessId() || std::string(cls) != "#32770") return TRUE;
    // The text of a message box is its static control 0xFFFF.
    wchar_t text[512] = {};
    ::GetDlgItemTextW(window, 0xFFFF, text, 512);
    if (std::wstring(text).find(s->part) != std::wstring::npos) s->found.push_back(window);
    return TRUE;
}

// The message boxes of this process whose text mentions `part`.
std::vector<HWND> BoxesAbout(const std::wstring& part) {
    BoxSearch search{part, {}};
    ::EnumWindows(KeepBoxAbout, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST(StartFailureNotice, OneBoxPerProgramOnItsOwnThreadUntilClosed) {
    const std::string path = "C:\\Kiosk\\gone.exe";
    ShowStartFailure(path);  // returns at once: nobody has to close the box first
    ASSERT_TRUE(StartFailureShown(path));
    ASSERT_TRUE(WaitUntil([&] { return BoxesAbout(L"gone.exe").size() == 1; }, kDeadlineMs));
    const HWND box = BoxesAbout(L"gone.exe").front();
    EXPECT_NE(::GetWindowThreadProcessId(box, nullptr), ::GetCurrentThreadId());
    wchar_t caption[64] = {};
    ::GetWindowTextW(box, caption, 64);
    EXPECT_STREQ(caption, L"Ошибка");
    wchar_t text[512] = {};
    ::GetDlgItemTextW(box, 0xFFFF, text, 512);
    EXPECT_STREQ(text, L"Файл C:\\Kiosk\\gone.exe не найден!");

    ShowStartFailure("c:\\kiosk\\GONE.EXE");  // the same program: no second box
    ShowStartFailure("C:\\Kiosk\\other.exe");
    ASSERT_TRUE(WaitUntil([&] { return BoxesAbout(L"other.exe").size() == 1; }, kDeadlineMs));
    EXPECT_EQ(BoxesAbout(L"gone.exe").size() + BoxesAbout(L"GONE.EXE").size(), 1u);

    // Closed by the user: the next failure shows a box again.
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !StartFailureShown(path); }, kDeadlineMs));
    ShowStartFailure(path);
    EXPECT_TRUE(WaitUntil([&] { return BoxesAbout(L"gone.exe").size() == 1; }, kDeadlineMs));

    for (const wchar_t* name : {L"gone.exe", L"other.exe"}) {
        for (HWND w : BoxesAbout(name)) ::PostMessageA(w, WM_COMMAND, IDOK, 0);
    }
    EXPECT_TRUE(WaitUntil([&] { return !StartFailureShown(path) && !StartFailureShown("C:\\Kiosk\\other.exe"); },
                          kDeadlineMs));
}

// The box runs on a thread of its own: it may not be owned by (and so
// disable) a window of another thread, such as the open main dialog.
TEST(StartFailureNotice, HasNoOwner) {
    const std::string path = "C:\\Kiosk\\owned.exe";
    ShowStartFailure(path);
    ASSERT_TRUE(WaitUntil([&] { return BoxesAbout(L"owned.exe").size() == 1; }, kDeadlineMs));
    const HWND box = BoxesAbout(L"owned.exe").front();
    EXPECT_EQ(::GetWindow(box, GW_OWNER), nullptr);
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return !StartFailureShown(path); }, kDeadlineMs));
}

}  // namespace
}  // namespace mrwd
