// The service's line to the service manager, answering controls as the
// manager sends them, and the reboot marker that a shutdown must take first.
#include "app/win/service_channel.h"

#include <gtest/gtest.h>

#include "tests/harness/win_harness.h"

namespace mrwd {
namespace {

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The switch's owner as the channel sees it: every move it is asked for.
class RecordingFlag final : public SupervisionFlag {
public:
    const std::atomic<bool>& Value() const override { return on_; }
    void SetFromAnyThread(bool on) override {
        on_ = on;
        ++moves_;
    }
    int Moves() const { return moves_; }

private:
    std::atomic<bool> on_{true};
    int moves_ = 0;
};

bool QuitPosted() {
    MSG message;
    return ::PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

// When the system ends, Windows may end the process at any moment: the marker
// goes at the control itself, before the teardown waits for anything, and
// the engine does not make it again. A plain stop leaves it to the teardown.
TEST(ServiceChannel, ShutdownControlsTakeTheRebootMarkerFirst) {
    struct Case {
        DWORD control;
        bool markerGone;
        bool supervisionOff;
    };
    const Case cases[] = {
        {SERVICE_CONTROL_SHUTDOWN, true, true},
        {SERVICE_CONTROL_PRESHUTDOWN, true, true},
        {SERVICE_CONTROL_STOP, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control);
        RebootMarker marker(testing::TestProgramFolder() + "channel-test.mrk");
        marker.Delete();  // none left by an earlier run
        marker.Arm();
        ASSERT_FALSE(marker.FoundOrMade());
        ASSERT_TRUE(Exists(marker.Path()));

        // No manager takes the reports here; the channel keeps its book all the same.
        ServiceChannel channel;
        channel.OfferPreshutdown(true);
        channel.SetWorker(::GetCurrentThreadId());
        channel.Report(ServiceState::Running, NO_ERROR, 0);
        RecordingFlag supervision;
        channel.Control(c.control, supervision, marker);

        EXPECT_EQ(!Exists(marker.Path()), c.markerGone);
        EXPECT_EQ(!supervision.Value(), c.supervisionOff);
        EXPECT_EQ(supervision.Moves(), c.supervisionOff ? 1 : 0) << "moved through the owner";
        EXPECT_TRUE(QuitPosted()) << "every one of them ends the server";
        // The engine's start, late: a marker gone is not made again.
        EXPECT_EQ(marker.FoundOrMade(), !c.markerGone);
        EXPECT_EQ(!Exists(marker.Path()), c.markerGone);
        marker.Delete();
    }
}

}  // namespace
}  // namespace mrwd
