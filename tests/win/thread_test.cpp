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
    std::atomic<int> exits{0};
    std::atomic<DWORD> ranOn{0};
    std::atomic<DWORD> exitedOn{0};
    std::atomic<bool> sawStop{false};

    void Run() override {
        ++runs;
        ranOn = ::GetCurrentThreadId();
        sawStop = ::WaitForSingleObject(StopEvent(), INFINITE) == WAIT_OBJECT_0;
    }
    void OnExit() override {
        exitedOn = ::GetCurrentThreadId();
        ++exits;
    }
    DWORD StoredId() const { return ThreadId(); }
};

TEST(CThread, StopWithoutAThreadReturnsFalseAtOnce) {
    WaitingThread thread;
    EXPECT_FALSE(thread.Stop(INFINITE));  // would hang if it waited on anything
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_EQ(thread.runs, 0);
}

TEST(CThread, RunsOnItsOwnThreadAndEndsOnStop) {
    WaitingThread thread;
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(WaitUntil([&] { return thread.IsRunning(); }, testing::kDeadlineMs));
    EXPECT_NE(thread.ranOn, ::GetCurrentThreadId());
    EXPECT_EQ(thread.StoredId(), thread.ranOn.load());

    EXPECT_TRUE(thread.Stop(testing::kDeadlineMs));
    EXPECT_TRUE(thread.sawStop);
    EXPECT_EQ(thread.exits, 1);
    EXPECT_EQ(thread.exitedOn, thread.ranOn.load());  // OnExit runs on the worker, after Run
}

TEST(CThread, StopResumesAThreadCreatedSuspended) {
    WaitingThread thread;
    ASSERT_TRUE(thread.Start(0, nullptr, CREATE_SUSPENDED));
    ::Sleep(50);
    EXPECT_EQ(thread.runs, 0);
    EXPECT_FALSE(thread.IsRunning());

    EXPECT_TRUE(thread.Stop(testing::kDeadlineMs));
    EXPECT_EQ(thread.runs, 1);
    EXPECT_TRUE(thread.sawStop);  // the stop was already signalled at its first wait
}

TEST(CThread, ResumeCountsUpTheRunningFlag) {
    WaitingThread thread;
    ASSERT_TRUE(thread.Start(0, nullptr, CREATE_SUSPENDED));
    EXPECT_EQ(thread.Resume(), 1);
    ASSERT_TRUE(WaitUntil([&] { return thread.IsRunning(); }, testing::kDeadlineMs));
    EXPECT_TRUE(thread.Stop(testing::kDeadlineMs));
}

TEST(CThread, StopAndResetAllowANewStart) {
    WaitingThread thread;
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(thread.Stop(testing::kDeadlineMs));
    thread.Reset();
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_EQ(thread.StoredId(), 0u);

    thread.sawStop = false;
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(WaitUntil([&] { return thread.runs == 2; }, testing::kDeadlineMs));
    // Reset cleared the stop event, so the second run waits again instead of ending at once.
    ::Sleep(50);
    EXPECT_EQ(thread.exits, 1);
    EXPECT_TRUE(thread.Stop(testing::kDeadlineMs));
    EXPECT_EQ(thread.exits, 2);
}

TEST(CThread, NotRunningBeforeTheThreadStoredItsId) {
    WaitingThread thread;
    // Suspended, but not with exactly CREATE_SUSPENDED: the running flag stays
    // set and the handle exists, yet the thread has not stored its id.
    ASSERT_TRUE(thread.Start(0, nullptr, CREATE_SUSPENDED | STACK_SIZE_PARAM_IS_A_RESERVATION));
    ::Sleep(50);
    EXPECT_EQ(thread.StoredId(), 0u);
    EXPECT_FALSE(thread.IsRunning());

    thread.Resume();
    EXPECT_TRUE(WaitUntil([&] { return thread.IsRunning(); }, testing::kDeadlineMs));
    EXPECT_TRUE(thread.Stop(testing::kDeadlineMs));
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
