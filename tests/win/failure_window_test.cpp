// The controller failure window inside this test program: its lines, and
// that it always goes away with its owner.
#include "hardware/win/error_msg.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "resources/resource_ids.h"
#include "tests/harness/win_harness.h"

namespace mrwd {
namespace {

using testing::kDeadlineMs;
using testing::WaitUntil;

int Lines(HWND window) {
    return static_cast<int>(::SendDlgItemMessageA(window, IDC_FAILURE_LIST, LB_GETCOUNT, 0, 0));
}

TEST(FailureWindow, ListsEveryFailureAndClosesWithItsOwner) {
    auto window = std::make_unique<ErrorMsg>();
    ASSERT_TRUE(window->IsOpen());
    const HWND handle = window->Window();
    ASSERT_NE(handle, nullptr);
    window->AddFailureLine();
    window->AddFailureLine();
    ASSERT_TRUE(WaitUntil([&] { return Lines(handle) == 2; }, kDeadlineMs));
    char line[64] = {};
    ::SendDlgItemMessageA(handle, IDC_FAILURE_LIST, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(line));
    EXPECT_EQ(std::string(line).size(), 19u) << line;  // "HH:MM:SS   MM/DD/YY"
    window.reset();
    EXPECT_FALSE(::IsWindow(handle));
}

// The owner gave up waiting for the window (it came up late) and ends it
// before it exists: the window must still go, or the owner's thread waits
// for a person for ever.
TEST(FailureWindow, EndsAWindowThatComesUpLate) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        auto ended = std::make_shared<std::atomic<bool>>(false);
        std::thread([ended] {
            { ErrorMsg window(0); }
            *ended = true;
        }).detach();
        ASSERT_TRUE(WaitUntil([&] { return ended->load(); }, kDeadlineMs)) << "attempt " << attempt;
    }
}

}  // namespace
}  // namespace mrwd
