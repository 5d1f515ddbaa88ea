#include "base/win/thread.h"

#include <gtest/gtest.h>

#include <atomic>

#include "tests/harness/win_harness.h"

namespace mrwd {
namespace {

using testing::WaitUntil;

// A worker that waits for its stop event, as every real worker must.
class WaitingThread final : public CThread {
public:
    ~WaitingThread() override { Stop(INFINITE); }

    std::atomic<int> runs{0};
    std::atomic<int> ends{0};
    std::atomic<DWORD> ranOn{0};
    std::atomic<bool> sawStop{false};

    void Run() override {
        ++runs;
        ranOn = ::GetCurrentThreadId();
        sawStop = ::WaitForSingleObject(StopEvent(), INFINITE) == WAIT_OBJECT_0;
        ++ends;
    }
};

TEST(CThread, StopWithoutAThreadReturnsFalseAtOnce) {
    WaitingThread thread;
    EXPECT_FALSE(thread.Stop(INFINITE));  // would hang if it waited on anything
    EXPECT_EQ(thread.runs, 0);
}

TEST(CThread, RunsOnItsOwnThreadAndEndsOnStop) {
    WaitingThread thread;
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(WaitUntil([&] { return thread.runs == 1; }, testing::kDeadlineMs));
    EXPECT_NE(thread.ranOn, ::GetCurrentThreadId());

    EXPECT_TRUE(thread.Stop(testing::kDeadlineMs));
    EXPECT_TRUE(thread.sawStop);
    EXPECT_EQ(thread.ends, 1);
}

TEST(CThread, StartsAgainAfterAStop) {
    WaitingThread thread;
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(thread.Stop(testing::kDeadlineMs));

    thread.sawStop = false;
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(WaitUntil([&] { return thread.runs == 2; }, testing::kDeadlineMs));
    // The new start cleared the stop event, so the second run waits again instead of ending at once.
    ::Sleep(50);
    EXPECT_EQ(thread.ends, 1);
    EXPECT_TRUE(thread.Stop(testing::kDeadlineMs));
    EXPECT_EQ(thread.ends, 2);
    EXPECT_TRUE(thread.sawStop) << "the second run ended on the stop too";
}

TEST(CThread, StopTimesOutOnAThreadThatIgnoresTheEvent) {
    class Stubborn final : public CThread {
    public:
        HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        ~Stubborn() override {
            ::SetEvent(release);
            Stop(INFINITE);
            ::CloseHandle(release);
        }
        void Run() override { ::WaitForSingleObject(release, INFINITE); }
    } thread;
    ASSERT_TRUE(thread.Start());
    EXPECT_FALSE(thread.Stop(100));
}

}  // namespace
}  // namespace mrwd
