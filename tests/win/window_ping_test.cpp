// The engine's window pings on the real system: an answer refreshes the
// process, and a ping that cannot be sent is reported as not sent, so that the
// engine does not wait for an answer that can never come.
#include "supervision/win/win_engine_system.h"

#include <gtest/gtest.h>

#include "tests/harness/win_harness.h"
#include "tests/native/fake_engine_system.h"

namespace mrwd {
namespace {

TEST(WindowPing, AnAnswerReachesTheEngineAPingThatCannotBeSentIsReported) {
    SupervisionState state;
    testing::FakeEngineSystem system;
    const Settings settings;
    SupervisionEngine engine(state, system, settings);
    constexpr std::uint32_t kProcess = 77;
    state.alive[kProcess].LastAlive = 0;
    WinEngineSystem::AnswerPingsTo(&engine);

    HWND window = ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(SendPing(window, kProcess));
    testing::PumpMessagesUntil([&] { return state.alive[kProcess].LastAlive != 0; }, 1000);
    EXPECT_EQ(state.alive[kProcess].LastAlive, system.now) << "the answer refreshed the process";

    // The window is gone between the search and the ping.
    ASSERT_TRUE(::DestroyWindow(window));
    EXPECT_FALSE(SendPing(window, kProcess));
    WinEngineSystem::AnswerPingsTo(nullptr);
}

}  // namespace
}  // namespace mrwd
