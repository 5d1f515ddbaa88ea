// The supervision engine's decisions, with a clock and a process table moved by hand.
#include "supervision/core/engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "tests/native/fake_engine_system.h"

namespace mrwd {
namespace {

using testing::FakeEngineSystem;

const std::string kApp = "C:\\Kiosk\\app.exe";
const std::string kOther = "C:\\Kiosk\\other.exe";
const std::string kFix = "C:\\Tools\\fix.bat";

// An alive message as the server takes it: on the window thread, and when
// the sender is not under control yet, its registration on the engine thread.
void Alive(SupervisionEngine& engine, std::uint64_t seconds, std::uint32_t processId) {
    if (!engine.OnAliveMessage(seconds, processId)) engine.RegisterProcess(seconds, processId);
}

// Records every call the engine makes while it holds the table lock; the
// lock must be free for all of them (they may block or wait on other threads).
class CheckedSystem : public FakeEngineSystem {
public:
    explicit CheckedSystem(SupervisionState& state) : state_(state) {}
    std::vector<std::string> heldDuring;

    bool Terminate(std::uint32_t id, bool wholeJob, std::uint32_t& error) override {
        Check("terminate");
        return FakeEngineSystem::Terminate(id, wholeJob, error);
    }
    bool StartProgram(const std::string& p, const std::string& a, std::uint32_t& id) override {
        Check("start");
        return FakeEngineSystem::StartProgram(p, a, id);
    }
    bool StartRecovery(const std::string& p, std::uint32_t& token) override {
        Check("run");
        return FakeEngineSystem::StartRecovery(p, token);
    }
    void RestoreFiles(const ModuleEntry& e, const std::string& t) override {
        Check("restore");
        FakeEngineSystem::RestoreFiles(e, t);
    }
    void Log(EngineEvent e, std::uint32_t n, const std::string& p) override {
        Check("log");
        FakeEngineSystem::Log(e, n, p);
    }
    void Notify(EngineNotice n, std::uint32_t x, const std::string& p, bool w) override {
        Check("notify");
        FakeEngineSystem::Notify(n, x, p, w);
    }
    void ReportStartFailure(const std::string& p) override {
        Check("box");
        FakeEngineSystem::ReportStartFailure(p);
    }
    bool PingWindow(std::uint32_t id) override {
        Check("ping");
        return FakeEngineSystem::PingWindow(id);
    }

private:
    // Tried from another thread: a mutex may not be tried by its owner.
    void Check(const char* what) {
        bool free = false;
        std::thread probe([&] {
            if (state_.lock.try_lock()) {
                free = true;
                state_.lock.unlock();
            }
        });
        probe.join();
        if (!free) heldDuring.push_back(what);
    }
    SupervisionState& state_;
};

class EngineTest : public ::testing::Test {
protected:
    SupervisionState state;
    CheckedSystem sys{state};
    Settings settings;
    SupervisionEngine engine{state, sys, settings};

    // One check pass as a cycle runs it: the failure-action flag starts clear.
    bool Pass() {
        state.failureActionInProgress = false;
        return engine.CheckPass();
    }

    void TearDown() override { EXPECT_TRUE(sys.heldDuring.empty()) << "lock held during " << sys.heldDuring[0]; }

    ModuleEntry& List(const std::string& path, ModuleEntry entry = ModuleEntry()) {
        state.modules.Add(path, entry);
        return *state.modules.Find(path);
    }
    // A program following the alive protocol, listed and registered now.
    ModuleEntry& ListAliveProgram(const std::string& path) {
        ModuleEntry entry = RegisteredEntry(10000);
        entry.Copies = 0;  // the tests start processes themselves unless they say otherwise
        return List(path, entry);
    }
    std::uint32_t Register(const std::string& path, std::uint64_t seconds = 10) {
        const std::uint32_t id = sys.Spawn(path);
        Alive(engine, seconds, id);
        return id;
    }
    // The process with the given path in the alive table (0 when none).
    std::uint32_t AliveId(const std::string& path) const {
        for (const auto& a : state.alive) {
            if (a.second.ExePath == path) return a.first;
        }
        return 0;
    }
    int Count(const std::vector<std::string>& items, const std::string& prefix) const {
        return static_cast<int>(std::count_if(items.begin(), items.end(), [&](const std::string& s) {
            return s.compare(0, prefix.size(), prefix) == 0;
        }));
    }
};

TEST(Interval, AtLeastTenSecondsAndSaturating) {
    EXPECT_EQ(IntervalFromSeconds(3), 10000u);
    EXPECT_EQ(IntervalFromSeconds(10), 10000u);
    EXPECT_EQ(IntervalFromSeconds(60), 60000u);
    // 4294968 s x 1000 wraps to 704 ms in 32 bits; it must not become short.
    EXPECT_EQ(IntervalFromSeconds(4294968), kLongestTickSpan);
    EXPECT_EQ(IntervalFromSeconds(0xFFFFFFFFFFFFFFFFull), kLongestTickSpan);
    EXPECT_EQ(IntervalFromSeconds(2147483), 2147483000u);
    EXPECT_EQ(IntervalFromSeconds(2147484), kLongestTickSpan);
}

// Finding a new process's executable may wait for a network share: the
// window thread, which takes every heartbeat, leaves it to the engine thread.
TEST_F(EngineTest, ARegistrationLooksNothingUpOnTheWindowThread) {
    const std::uint32_t id = sys.Spawn(kApp);
    EXPECT_FALSE(engine.OnAliveMessage(10, id));
    EXPECT_EQ(sys.pathLookUps, 0);
    EXPECT_TRUE(state.alive.empty());
    engine.RegisterProcess(10, id);
    EXPECT_EQ(sys.pathLookUps, 1);
    ASSERT_EQ(state.alive.count(id), 1u);
    EXPECT_TRUE(engine.OnAliveMessage(10, id)) << "its heartbeats are taken at once";
    engine.RegisterProcess(10, id);  // a second message queued before the first was taken
    EXPECT_TRUE(engine.OnAliveMessage(0, id));
    EXPECT_EQ(sys.pathLookUps, 1);
    EXPECT_EQ(Count(sys.logs, "registered"), 1);
}

TEST_F(EngineTest, RegistrationOfAnUnlistedProgramListsAndStoresIt) {
    const std::uint32_t id = Register(kApp, 3);
    ASSERT_EQ(state.alive.count(id), 1u);
    EXPECT_EQ(state.alive[id].AliveInterval, 10000u);
    EXPECT_EQ(state.alive[id].Failures, 0u);
    EXPECT_EQ(state.alive[id].StartTick, sys.now);
    const ModuleEntry* module = state.modules.Find(kApp);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->AliveSeen, 1);
    EXPECT_EQ(module->NoAliveSupport, 0);
    EXPECT_EQ(module->CheckInterval, 10000u);
    ASSERT_EQ(sys.stored.count(kApp), 1u);
    EXPECT_EQ(EncodeModuleEntry(sys.stored[kApp]), EncodeModuleEntry(*module));
    EXPECT_EQ(sys.logs, std::vector<std::string>{"registered " + std::to_string(id) + " " + kApp});
}

TEST_F(EngineTest, RegistrationWithoutAKnownPathIsIgnored) {
    Alive(engine, 10, 4242);  // no such process
    EXPECT_TRUE(state.alive.empty());
    EXPECT_TRUE(state.modules.Empty());
    EXPECT_TRUE(sys.logs.empty());
}

TEST_F(EngineTest, FirstMessageOfAListedProgramDoesNotMarkItSeenTheSecondDoes) {
    ModuleEntry& module = List(kApp);
    module.NoAliveSupport = 0;
    module.CheckInterval = 30000;
    module.Armed = 0;
    const std::uint32_t id = Register(kApp, 60);
    EXPECT_EQ(module.AliveSeen, 0);
    EXPECT_EQ(module.CheckInterval, 60000u);
    EXPECT_EQ(module.Armed, 1);
    EXPECT_TRUE(sys.stored.empty());  // a listed program is not stored again

    sys.now += 5000;
    Alive(engine, 20, id);
    EXPECT_EQ(module.AliveSeen, 1);
    EXPECT_EQ(state.alive[id].LastAlive, sys.now);
    EXPECT_EQ(state.alive[id].AliveInterval, 20000u);
    EXPECT_EQ(module.CheckInterval, 20000u);
}

TEST_F(EngineTest, HeartbeatOfAWindowCheckedProgramOnlyMarksItSeen) {
    ModuleEntry& module = List(kApp);  // NoAliveSupport is set for programs the user adds
    module.CheckInterval = 15000;
    const std::uint32_t id = Register(kApp, 60);
    EXPECT_EQ(state.alive[id].AliveInterval, 15000u);  // its own check interval, not the message's
    const Tick registered = state.alive[id].LastAlive;

    sys.now += 5000;
    Alive(engine, 60, id);
    EXPECT_EQ(module.AliveSeen, 1);
    EXPECT_EQ(state.alive[id].LastAlive, registered);
    EXPECT_EQ(state.alive[id].AliveInterval, 15000u);
    EXPECT_EQ(module.CheckInterval, 15000u);
}

TEST_F(EngineTest, HeartbeatRearmsAProgramThatHadEndedItsControl) {
    ListAliveProgram(kApp);
    const std::uint32_t id = Register(kApp);
    Alive(engine, 0, id);
    EXPECT_EQ(state.modules.Find(kApp)->Armed, 0);
    sys.logs.clear();
    Alive(engine, 10, id);
    EXPECT_EQ(state.modules.Find(kApp)->Armed, 1);
    EXPECT_EQ(sys.logs, std::vector<std::string>{"registered " + std::to_string(id) + " " + kApp});
}

TEST_F(EngineTest, EndOfControlDisarmsAndIsNeitherRestartedNorStartedAgain) {
    ModuleEntry& module = ListAliveProgram(kApp);
    module.Copies = 1;
    const std::uint32_t id = Register(kApp);
    Alive(engine, 0, id);
    EXPECT_EQ(module.Armed, 0);
    EXPECT_EQ(state.alive.count(id), 1u);  // stays until the process is gone
    EXPECT_EQ(sys.logs.back(), "released " + std::to_string(id) + " " + kApp);

    // Still running and silent long after its interval: not judged.
    sys.now += 60000;
    EXPECT_FALSE(Pass());
    // Then it exits: not started again as a missing copy.
    sys.processes.erase(id);
    engine.Sweep();
    EXPECT_TRUE(state.alive.empty());
    EXPECT_TRUE(sys.actions.empty());

    // Ending control of an unknown process does nothing.
    Alive(engine, 0, 9999);
    EXPECT_EQ(Count(sys.logs, "released"), 1);
}

TEST_F(EngineTest, GracePeriodIsStartTickPlusCheckInterval) {
    ListAliveProgram(kApp);
    const std::uint32_t id = Register(kApp);
    sys.now += 10000;  // exactly the check interval: not yet judged
    EXPECT_FALSE(Pass());
    EXPECT_EQ(state.alive[id].Failures, 0u);
    sys.now += 1;
    Pass();
    EXPECT_EQ(sys.logs.back(), "restart 1 " + kApp);
}

TEST_F(EngineTest, AProcessInItsGraceIsNeverJudgedEvenIfSilent) {
    ModuleEntry& module = ListAliveProgram(kApp);
    module.CheckInterval = 60000;
    const std::uint32_t id = sys.Spawn(kApp);
    engine.Sweep();  // discovered: interval 60 s
    ASSERT_EQ(state.alive.count(id), 1u);
    state.alive[id].AliveInterval = 10000;  // a short interval does not shorten the grace
    sys.now += 30000;
    Pass();
    EXPECT_EQ(state.alive[id].Failures, 0u);
}

TEST_F(EngineTest, OnlyControlledAndArmedProgramsAreJudged) {
    ModuleEntry& module = ListAliveProgram(kApp);
    const std::uint32_t id = Register(kApp);
    module.ControlEnabled = 0;
    sys.now += 20000;
    Pass();
    EXPECT_EQ(state.alive[id].Failures, 0u);
    module.ControlEnabled = 1;
    module.Armed = 0;
    Pass();
    EXPECT_EQ(state.alive[id].Failures, 0u);
    module.Armed = 1;
    Pass();
    EXPECT_EQ(Count(sys.logs, "restart 1"), 1);
}

TEST_F(EngineTest, HungProgramIsKilledAndStartedAgainInheritingItsCount) {
    ModuleEntry& module = ListAliveProgram(kApp);
    module.Parameters = "-kiosk";
    std::uint32_t id = Register(kApp, 15);
    for (std::uint32_t failure = 1; failure <= 3; ++failure) {
        sys.now += 20000;
        EXPECT_FALSE(Pass());
        const std::uint32_t replacement = AliveId(kApp);
        ASSERT_NE(replacement, 0u);
        EXPECT_NE(replacement, id);
        EXPECT_EQ(state.alive[replacement].Failures, failure);
        EXPECT_EQ(state.alive[replacement].AliveInterval, 15000u);
        EXPECT_EQ(state.alive[replacement].StartTick, sys.now);
        EXPECT_EQ(sys.logs.back(), "restart " + std::to_string(failure) + " " + kApp);
        EXPECT_EQ(sys.actions[sys.actions.size() - 2], "terminate " + std::to_string(id));
        EXPECT_EQ(sys.actions.back(), "start " + kApp + " -kiosk -> " + std::to_string(replacement));
        id = replacement;
    }
}

TEST_F(EngineTest, RebootAfterThreeRestartsTwiceThenAsksForAReboot) {
    ModuleEntry& module = ListAliveProgram(kApp);
    module.RebootAfter = 3;
    Register(kApp);
    sys.now += 20000;
    EXPECT_FALSE(Pass());
    sys.now += 20000;
    EXPECT_FALSE(Pass());
    const std::uint32_t last = AliveId(kApp);
    const size_t actionsBefore = sys.actions.size();

    sys.now += 20000;
    EXPECT_TRUE(Pass());
    EXPECT_EQ(sys.actions.size(), actionsBefore) << "the hung process is not killed";
    EXPECT_EQ(state.alive[last].Failures, 3u);
    EXPECT_EQ(sys.logs.back(), "reboot-program 0 " + kApp);
    EXPECT_EQ(Count(sys.logs, "restart"), 2);
}

TEST_F(EngineTest, FailuresStopGrowingOnlyWhenAllThreeLimitsAreReached) {
    ModuleEntry& module = ListAliveProgram(kApp);
    module.RebootAfter = 2;
    module.RunAfter = 1;
    module.CopyAfter = 1;
    Register(kApp);
    sys.now += 20000;
    Pass();  // failure 1: the recovery program runs
    Pass();  // it has ended: the restore and the restart
    sys.now += 20000;
    EXPECT_TRUE(Pass());  // failure 2: reboot
    const std::uint32_t id = AliveId(kApp);
    EXPECT_EQ(state.alive[id].Failures, 2u);
    sys.now += 20000;
    EXPECT_TRUE(Pass());
    EXPECT_EQ(state.alive[id].Failures, 2u) << "all three limits reached: no growth";

    module.CopyAfter = -1;  // one limit off: the count grows again
    sys.now += 20000;
    Pass();
    EXPECT_EQ(state.alive[id].Failures, 3u);
}

TEST_F(EngineTest, FailureActionsRunInOrderWhileTheOthersAreStillJudged) {
    ModuleEntry& app = ListAliveProgram(kApp);
    app.RunAfter = 2;
    app.CopyAfter = 2;
    app.Copies = 1;
    app.RunPath = kFix;
    app.BackupFolder = "D:\\Backup";
    app.RestoreFolder = "C:\\Kiosk";
    ListAliveProgram(kOther);
    Register(kApp);
    Register(kOther);  // a higher process id: visited after app.exe

    sys.now += 20000;
    Pass();  // failure 1 of both: plain restarts
    EXPECT_EQ(Count(sys.actions, "terminate"), 2);
    const std::uint32_t app2 = AliveId(kApp);
    const std::uint32_t other2 = AliveId(kOther);
    ASSERT_LT(app2, other2);

    // Failure 2 of both: app.exe's recovery program starts and runs on;
    // other.exe is restarted all the same, and no copy takes app.exe's place.
    sys.actions.clear();
    sys.endlessRecoveries.insert(kFix);
    sys.now += 20000;
    Pass();
    engine.Sweep();
    ASSERT_EQ(sys.actions.size(), 4u);
    EXPECT_EQ(sys.actions[0], "terminate " + std::to_string(app2));
    EXPECT_EQ(sys.actions[1], "run " + kFix);
    EXPECT_EQ(sys.actions[2], "terminate " + std::to_string(other2));
    EXPECT_EQ(sys.actions[3].compare(0, 6 + kOther.size(), "start " + kOther), 0);
    EXPECT_EQ(AliveId(kApp), 0u);
    EXPECT_FALSE(state.failureActionInProgress) << "nobody was held up";

    // The recovery program ends: the restore, then the start.
    sys.actions.clear();
    sys.endlessRecoveries.clear();
    sys.now += 2000;
    Pass();
    ASSERT_EQ(sys.actions.size(), 3u);
    EXPECT_EQ(sys.actions[0], "release " + kFix);
    EXPECT_EQ(sys.actions[1], "restore D:\\Backup -> C:\\Kiosk failure of " + kApp);
    EXPECT_EQ(sys.actions[2].compare(0, 6 + kApp.size(), "start " + kApp), 0);
    EXPECT_TRUE(state.failureActionInProgress);
    EXPECT_EQ(state.alive[AliveId(kApp)].Failures, 2u);
    EXPECT_EQ(Count(sys.logs, "recovery-overdue"), 0);
}

// A recovery program still running after its bound (five minutes, or the
// program's longer check interval) is logged and left to run; the restart
// goes on as if it had ended.
TEST(EngineRecovery, ARecoveryProgramPastItsBoundIsLeftRunningAndTheRestartGoesOn) {
    const struct {
        std::uint64_t announcedSeconds;
        std::uint32_t boundMs;
    } cases[] = {{10, kRecoveryWaitMs}, {600, 600000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.announcedSeconds);
        SupervisionState state;
        FakeEngineSystem sys;
        Settings settings;
        SupervisionEngine engine{state, sys, settings};
        ModuleEntry entry = RegisteredEntry(10000);
        entry.Copies = 0;
        entry.RunAfter = 1;
        entry.RunPath = kFix;
        state.modules.Add(kApp, entry);
        const std::uint32_t id = sys.Spawn(kApp);
        Alive(engine, c.announcedSeconds, id);
        sys.endlessRecoveries.insert(kFix);

        sys.now += 2 * static_cast<std::uint32_t>(c.announcedSeconds) * 1000 + 1000;  // its grace, then its interval
        engine.CheckPass();
        ASSERT_EQ(sys.recoveries.size(), 1u);
        const Tick started = sys.now;
        sys.now = started + c.boundMs;
        engine.CheckPass();
        EXPECT_EQ(sys.actions.back(), "run " + kFix) << "started again before its bound was over";

        sys.now += 1;
        engine.CheckPass();
        EXPECT_EQ(sys.logs.back(), "recovery-overdue " + std::to_string(c.boundMs / 1000) + " " + kFix);
        EXPECT_TRUE(sys.recoveries.empty()) << "let go of";
        EXPECT_EQ(sys.actions.back().compare(0, 6 + kApp.size(), "start " + kApp), 0);
        EXPECT_EQ(std::count(sys.actions.begin(), sys.actions.end(), "terminate " + std::to_string(id)), 1);
    }
}

// A process that cannot be killed (another account's, an elevated one) keeps
// its count, so that the reboot limit is reached; it is judged again one
// interval later, and mailed about once.
// The moment the engine thread wakes to judge between its cycles, and what
// is judged then: only what is due, and nothing again by the next cycle.
TEST_F(EngineTest, AProcessIsJudgedWhenItsIntervalRunsOutAndNotAgainByTheCycle) {
    Tick when = 0;
    EXPECT_FALSE(engine.NextJudgement(when)) << "nothing supervised";
    ListAliveProgram(kApp);
    const std::uint32_t app = Register(kApp, 10);
    ASSERT_TRUE(engine.NextJudgement(when));
    EXPECT_EQ(when, 11001u) << "one tick past its first interval";
    sys.now += 4000;
    Alive(engine, 20, app);
    ASSERT_TRUE(engine.NextJudgement(when));
    EXPECT_EQ(when, 25001u) << "a heartbeat moves it";
    ListAliveProgram(kOther);
    const std::uint32_t other = Register(kOther, 10);
    ASSERT_TRUE(engine.NextJudgement(when));
    EXPECT_EQ(when, 15001u) << "the earliest of all";
    state.modules.Find(kOther)->ControlEnabled = 0;
    ASSERT_TRUE(engine.NextJudgement(when));
    EXPECT_EQ(when, 25001u) << "a program not under control wakes nobody";
    state.modules.Find(kOther)->ControlEnabled = 1;

    sys.now = 15000;
    Pass();
    EXPECT_EQ(Count(sys.actions, "terminate"), 0) << "judged before its interval ran out";
    sys.now = 15001;
    Pass();
    EXPECT_EQ(sys.actions.size(), 2u);
    EXPECT_EQ(sys.actions[0], "terminate " + std::to_string(other));
    sys.now += 1;  // the cycle that comes next
    Pass();
    EXPECT_EQ(Count(sys.actions, "terminate"), 1);
    EXPECT_EQ(AliveId(kApp), app);
}

// A hung process goes with what it started, deepest first, and with its whole
// job when none of it had to be spared.
TEST(EngineTree, AHungProcessGoesWithWhatItStartedButNeverWithTheServerOrTheSystem) {
    struct Case {
        const char* what;
        std::string path;  // empty: its executable cannot be read
        bool serversOwnProcess;
        bool ended;
    } const cases[] = {
        {"a child of its own", "C:\\Kiosk\\renderer.exe", false, true},
        {"another process of the server's executable", "C:\\Watchdog\\MRWD.EXE", false, false},
        {"the server's own process", "C:\\Watchdog\\mrwd.exe", true, false},
        {"one of the system's critical processes", "C:\\Windows\\System32\\csrss.exe", false, false},
        {"one another account runs", "", false, false},
    };
    for (const Case& c : cases) {
        SupervisionState state;
        FakeEngineSystem sys;
        Settings settings;
        SupervisionEngine engine(state, sys, settings);
        ModuleEntry entry = RegisteredEntry(10000);
        entry.Copies = 0;
        state.modules.Add(kApp, entry);
        const std::uint32_t app = sys.Spawn(kApp);
        Alive(engine, 10, app);
        const std::uint32_t grandchild = sys.Spawn("C:\\Kiosk\\helper.exe");
        std::uint32_t child = sys.serverId;
        if (c.serversOwnProcess) sys.processes[child] = c.path;
        if (!c.serversOwnProcess) child = c.path.empty() ? 4242 : sys.Spawn(c.path);
        sys.descendants[app] = {grandchild, child};
        sys.now += 10001;
        state.failureActionInProgress = false;
        engine.CheckPass();

        std::vector<std::string> expected{"terminate " + std::to_string(grandchild)};
        if (c.ended) expected.push_back("terminate " + std::to_string(child));
        expected.push_back("terminate " + std::to_string(app));
        const std::vector<std::string> terminated(sys.actions.begin(), sys.actions.begin() + expected.size());
        EXPECT_EQ(terminated, expected) << c.what;
        EXPECT_EQ(sys.wholeJobs, c.ended ? std::vector<std::uint32_t>{app} : std::vector<std::uint32_t>{}) << c.what;
    }
}

TEST_F(EngineTest, AProcessThatCannotBeKilledKeepsItsCountAndIsMailedOnce) {
    ModuleEntry& module = ListAliveProgram(kApp);
    module.Notify = 1;
    module.RebootAfter = 4;
    const std::uint32_t id = Register(kApp);
    sys.unkillable.insert(id);
    for (std::uint32_t failure = 1; failure <= 3; ++failure) {
        sys.now += 11000;
        EXPECT_FALSE(Pass());
        ASSERT_EQ(state.alive.count(id), 1u);
        EXPECT_EQ(state.alive[id].Failures, failure);
        EXPECT_EQ(Count(sys.logs, "restart " + std::to_string(failure) + " " + kApp), 1);
        // The next cycle does not judge it again.
        sys.now += 2000;
        EXPECT_FALSE(Pass());
        EXPECT_EQ(Count(sys.logs, "restart"), static_cast<int>(failure));
    }
    EXPECT_EQ(Count(sys.notices, "mail-restart"), 1) << "one mail for the whole episode";
    EXPECT_EQ(Count(sys.logs, "kill-failed 5 " + kApp), 1) << "one line, with the system's error code";
    EXPECT_EQ(Count(sys.actions, "start"), 0) << "no second copy beside the live one";
    sys.now += 11000;
    EXPECT_TRUE(Pass()) << "the reboot limit is reached";
}

TEST_F(EngineTest, ReplacementThatCannotStartLeavesNoEntry) {
    ListAliveProgram(kApp);
    Register(kApp);
    sys.missingFiles.insert(kApp);
    sys.now += 20000;
    Pass();
    EXPECT_TRUE(state.alive.empty());
    EXPECT_EQ(sys.actions.back(), "start " + kApp + " failed");
}

TEST_F(EngineTest, RestartUsesTheListedSpellingOfThePath) {
    ListAliveProgram(kApp);
    const std::string lower = "c:\\kiosk\\app.exe";  // as the process snapshot reports it
    Register(lower);
    sys.now += 20000;
    Pass();
    EXPECT_EQ(sys.actions.back().compare(0, 6 + kApp.size(), "start " + kApp), 0);
    EXPECT_EQ(state.alive.begin()->second.ExePath, lower);
}

TEST_F(EngineTest, CopiesAreStartedOnePerSweep) {
    ModuleEntry& module = List(kApp);
    module.Copies = 3;
    module.Parameters = "/x";
    engine.Sweep();
    EXPECT_EQ(Count(sys.actions, "start"), 1);
    engine.Sweep();
    EXPECT_EQ(Count(sys.actions, "start"), 2);
    engine.Sweep();
    engine.Sweep();
    EXPECT_EQ(Count(sys.actions, "start"), 3);
    EXPECT_EQ(state.alive.size(), 3u);
    EXPECT_EQ(Count(sys.logs, "begun"), 3);

    // One dies: the next sweep, a cycle later, starts it again.
    sys.processes.erase(state.alive.begin()->first);
    sys.now += 2000;
    engine.Sweep();
    EXPECT_EQ(Count(sys.actions, "start"), 4);
    EXPECT_EQ(state.alive.size(), 3u);
}

TEST(CrashLoop, TheWaitBetweenStartsDoublesFromTwoSecondsUpToAMinute) {
    const std::pair<std::uint32_t, std::uint32_t> table[] = {
        {0, 2000}, {1, 2000}, {2, 4000}, {3, 8000}, {4, 16000}, {5, 32000}, {6, 60000}, {7, 60000}, {0xFFFFFFFFu, 60000},
    };
    for (const auto& row : table) EXPECT_EQ(CrashLoopDelayMs(row.first), row.second) << row.first << " deaths";
}

// A copy that dies before its start delay is over, sweep after sweep; then
// one that stays up; then one that dies after its start delay.
TEST_F(EngineTest, ACopyThatKeepsDyingAtItsStartIsStartedLessAndLessOften) {
    ModuleEntry& module = List(kApp);
    module.Copies = 1;
    module.StartDelay = 30000;
    module.CheckInterval = 10000;
    std::vector<Tick> starts;
    const auto cycle = [&](bool dies) {
        sys.now += 2000;
        if (dies) sys.processes.clear();
        const int before = Count(sys.actions, "start");
        engine.Sweep();
        if (Count(sys.actions, "start") > before) starts.push_back(sys.now);
    };
    for (int i = 0; i < 120; ++i) cycle(true);
    std::vector<Tick> gaps;
    for (std::size_t i = 1; i < starts.size(); ++i) gaps.push_back(starts[i] - starts[i - 1]);
    ASSERT_GE(gaps.size(), 7u);
    EXPECT_EQ(std::vector<Tick>(gaps.begin(), gaps.begin() + 7),
              (std::vector<Tick>{2000, 4000, 8000, 16000, 32000, 60000, 60000}));
    EXPECT_EQ(Count(sys.logs, "crash-loop "), 1) << "one line when the spacing begins, none per start";
    EXPECT_NE(std::find(sys.logs.begin(), sys.logs.end(), "crash-loop 4 " + kApp), sys.logs.end());

    // The next copy stays up: past its start delay plus its check interval
    // the spacing ends, once.
    while (state.alive.empty()) cycle(false);
    for (int i = 0; i < 20; ++i) cycle(false);
    EXPECT_EQ(Count(sys.logs, "crash-loop-ended"), 0) << "up 40 s, not longer";
    cycle(false);
    cycle(false);
    EXPECT_EQ(Count(sys.logs, "crash-loop-ended"), 1);
    // It dies past its start delay: started again in the same sweep, and
    // the next death at its start is not spaced yet.
    starts.clear();
    const Tick died = sys.now + 2000;
    cycle(true);
    cycle(true);
    EXPECT_EQ(starts, (std::vector<Tick>{died, died + 2000}));
    EXPECT_EQ(Count(sys.logs, "crash-loop "), 1);
}

// Whether a process's end wakes the engine for a sweep at once.
TEST_F(EngineTest, AnEndCallsForAnImmediateSweepOnlyPastTheStartDelayOfAnArmedProgram) {
    struct Case {
        const char* what;
        Tick ranMs;
        std::int32_t controlEnabled;
        std::int32_t armed;
        std::uint32_t copies;
        bool listed;
        bool sweep;
    } const cases[] = {
        {"ran past its start delay", 5001, 1, 1, 1, true, true},
        {"died within its start delay: waits for the regular sweep", 4999, 1, 1, 1, true, false},
        {"died at the very end of its start delay", 5000, 1, 1, 1, true, false},
        {"its program announced its end", 9000, 1, 0, 1, true, false},
        {"control switched off", 9000, 0, 1, 1, true, false},
        {"no copies kept started", 9000, 1, 1, 0, true, false},
        {"its program removed from the list", 9000, 1, 1, 1, false, false},
    };
    for (const Case& c : cases) {
        SupervisionState fresh;
        FakeEngineSystem system;
        SupervisionEngine subject(fresh, system, settings);
        ModuleEntry module;
        module.StartDelay = 5000;
        module.ControlEnabled = c.controlEnabled;
        module.Armed = c.armed;
        module.Copies = c.copies;
        fresh.modules.Add(kApp, module);
        system.Spawn(kApp);
        subject.Sweep();  // discovered: its entry starts now
        ASSERT_EQ(fresh.alive.size(), 1u) << c.what;
        const std::uint32_t id = fresh.alive.begin()->first;
        if (!c.listed) fresh.modules.Remove(kApp);
        system.now += c.ranMs;
        EXPECT_EQ(subject.EndCallsForSweep(id), c.sweep) << c.what;
    }
    EXPECT_FALSE(engine.EndCallsForSweep(4242)) << "a process never under control";
}

// Months later the tick comparison would turn over: the delay's end is kept.
TEST_F(EngineTest, AnEndAfterMonthsStillCallsForASweep) {
    ModuleEntry& module = List(kApp);
    module.StartDelay = 5000;
    engine.Sweep();
    const std::uint32_t id = AliveId(kApp);
    sys.now += 6000;
    Pass();
    sys.now += 0x90000000u;  // beyond the 24.8 days two ticks compare over
    EXPECT_TRUE(engine.EndCallsForSweep(id));
    EXPECT_EQ(engine.SupervisedProcessIds(), std::vector<std::uint32_t>{id});
}

TEST_F(EngineTest, RunningProcessesAreDiscoveredAndCountAsCopies) {
    ModuleEntry& module = List(kApp);
    module.Copies = 1;
    module.CheckInterval = 25000;
    const std::uint32_t id = sys.Spawn(kApp);
    sys.Spawn("C:\\Windows\\notepad.exe");  // not listed: ignored
    engine.Sweep();
    EXPECT_TRUE(sys.actions.empty());
    ASSERT_EQ(state.alive.size(), 1u);
    EXPECT_EQ(state.alive[id].AliveInterval, 25000u);
    EXPECT_EQ(sys.logs, std::vector<std::string>{"begun " + std::to_string(id) + " " + kApp});
}

TEST_F(EngineTest, CopyBeforeStartRestoresFirst) {
    ModuleEntry& module = List(kApp);
    module.CopyBeforeStart = 1;
    module.BackupFolder = "D:\\B";
    module.RestoreFolder = "C:\\Kiosk";
    engine.Sweep();
    ASSERT_EQ(sys.actions.size(), 2u);
    EXPECT_EQ(sys.actions[0], "restore D:\\B -> C:\\Kiosk copying");
    EXPECT_EQ(sys.actions[1].compare(0, 5, "start"), 0);
}

TEST_F(EngineTest, MissingFileIsReportedOnceAndNotTriedAgain) {
    ModuleEntry& module = List(kApp);
    List(kOther);
    sys.missingFiles.insert(kApp);
    engine.Sweep();
    EXPECT_EQ(sys.logs.front(), "not-found 0 " + kApp);
    EXPECT_EQ(sys.startFailureBoxes, std::vector<std::string>{kApp});
    EXPECT_EQ(module.ControlEnabled, 0);
    EXPECT_EQ(AliveId(kOther) != 0, true) << "the other program is started in the same sweep";
    engine.Sweep();
    engine.Sweep();
    EXPECT_EQ(Count(sys.logs, "not-found"), 1);
    EXPECT_EQ(sys.startFailureBoxes.size(), 1u);
}

TEST_F(EngineTest, WindowCheckedProgramsLiveByTheirPings) {
    ModuleEntry& module = List(kApp);
    module.CheckInterval = 10000;
    module.Copies = 0;
    const std::uint32_t answering = sys.Spawn(kApp);
    const std::uint32_t silent = sys.Spawn(kApp);
    const std::uint32_t windowless = sys.Spawn(kApp);
    sys.windows = {answering, silent};
    engine.Sweep();  // discovered
    EXPECT_TRUE(sys.pings.empty());

    for (int cycle = 0; cycle < 6; ++cycle) {
        sys.now += 2000;
        engine.Sweep();
        engine.OnPingAnswered(answering);
        Pass();
    }
    EXPECT_EQ(Count(sys.logs, "restart"), 1);
    EXPECT_EQ(sys.logs.back(), "restart 1 " + kApp);
    EXPECT_EQ(Count(sys.actions, "terminate " + std::to_string(silent)), 1);
    EXPECT_EQ(state.alive.count(answering), 1u);
    EXPECT_EQ(state.alive.count(windowless), 1u) << "no window: counted as alive";
    EXPECT_NE(std::find(sys.pings.begin(), sys.pings.end(), silent), sys.pings.end());
    EXPECT_EQ(std::find(sys.pings.begin(), sys.pings.end(), windowless), sys.pings.end());

    engine.OnPingAnswered(123456);  // an answer for a process long gone changes nothing
}

TEST_F(EngineTest, EndedProcessesAreDroppedBySweep) {
    ListAliveProgram(kApp);
    ListAliveProgram(kOther);
    const std::uint32_t a = Register(kApp);
    const std::uint32_t b = Register(kOther);
    sys.processes.erase(a);
    engine.Sweep();
    EXPECT_EQ(state.alive.count(a), 0u);
    EXPECT_EQ(state.alive.count(b), 1u);
    EXPECT_EQ(state.snapshot.size(), 1u);
}

TEST_F(EngineTest, AServerWithNothingToWatchNamesNoProcesses) {
    sys.Spawn(kApp);
    engine.Sweep();
    EXPECT_EQ(sys.snapshots, 0);
    EXPECT_TRUE(state.snapshot.empty());

    // A refused process must still be seen to end, so that its id can be refused again.
    const std::uint32_t server = sys.Spawn(sys.ServerExecutablePath());
    Alive(engine, 10, server);
    ASSERT_EQ(state.refusedProcesses.size(), 1u);
    engine.Sweep();
    EXPECT_EQ(sys.snapshots, 1);

    state.refusedProcesses.clear();
    List(kApp);
    engine.Sweep();
    EXPECT_EQ(sys.snapshots, 2);
    EXPECT_NE(AliveId(kApp), 0u);
}

TEST_F(EngineTest, EverythingHoldsAcrossTheTickWrap) {
    sys.now = 0xFFFFF000u;  // 4 s before the tick count wraps
    ListAliveProgram(kApp);
    const std::uint32_t id = Register(kApp);
    sys.now += 9000;  // wrapped; still inside the grace period and the interval
    Pass();
    EXPECT_EQ(state.alive[id].Failures, 0u);
    EXPECT_TRUE(sys.actions.empty());
    Alive(engine, 10, id);  // heartbeat after the wrap
    sys.now += 9999;
    Pass();
    EXPECT_TRUE(sys.actions.empty());
    sys.now += 2;
    Pass();
    EXPECT_EQ(sys.logs.back(), "restart 1 " + kApp);
}

TEST_F(EngineTest, HugeIntervalsDoNotWrapIntoShortOnes) {
    ListAliveProgram(kApp);
    const std::uint32_t id = Register(kApp, 4294968);  // x1000 wraps to 704 ms in 32 bits
    state.modules.Find(kApp)->CheckInterval = 0xFFFFFFF0u;  // stored by hand, far beyond 24 days
    sys.now += 20000;
    Pass();
    EXPECT_EQ(state.alive[id].Failures, 0u);
    EXPECT_TRUE(sys.actions.empty());
}

TEST_F(EngineTest, ClockThatStandsStillAsksForAReboot) {
    settings.System = 1;
    EXPECT_FALSE(engine.ClockCheck());
    sys.now += 2000;
    EXPECT_FALSE(engine.ClockCheck());
    EXPECT_TRUE(engine.ClockCheck());  // the same tick count twice
    EXPECT_EQ(sys.logs.back(), "reboot-system 0 ");
    EXPECT_TRUE(sys.notices.empty()) << "mailed only when NotifyReboot is set";

    settings.NotifyReboot = 1;
    EXPECT_TRUE(engine.ClockCheck());
    EXPECT_EQ(sys.notices.back(), "mail-system-hang 0  wait");

    settings.System = 0;
    EXPECT_FALSE(engine.ClockCheck());
}

TEST_F(EngineTest, MailsGoOutFromTheirLimitsInTheBackground) {
    ModuleEntry& module = ListAliveProgram(kApp);
    module.Notify = 1;
    module.NotifyAfter = 2;
    module.RebootAfter = 3;
    settings.NotifyReboot = 1;
    Register(kApp);
    sys.now += 20000;
    Pass();
    EXPECT_TRUE(sys.notices.empty());
    sys.now += 20000;
    Pass();
    EXPECT_EQ(sys.notices, std::vector<std::string>{"mail-restart 2 " + kApp + " background"});
    sys.now += 20000;
    Pass();
    EXPECT_EQ(sys.notices.back(), "mail-program-hang 0 " + kApp + " background");
}

// The mails about a reboot go out only when NotifyReboot asks for them; the
// restart mail follows the program's own switch alone.
TEST_F(EngineTest, RebootMailsOnlyWithNotifyReboot) {
    for (std::uint32_t notifyReboot : {0u, 1u}) {
        for (std::uint32_t hardReboot : {0u, 1u}) {
            SCOPED_TRACE("NotifyReboot " + std::to_string(notifyReboot) + ", HardReboot " + std::to_string(hardReboot));
            SupervisionState freshState;
            FakeEngineSystem fresh;
            Settings s;
            s.NotifyReboot = notifyReboot;
            s.HardReboot = hardReboot;
            SupervisionEngine e(freshState, fresh, s);
            ModuleEntry entry = RegisteredEntry(10000);
            entry.Copies = 0;
            entry.Notify = 1;
            entry.RebootAfter = 2;
            freshState.modules.Add(kApp, entry);
            Alive(e, 10, fresh.Spawn(kApp));
            fresh.now += 20000;
            EXPECT_FALSE(e.CheckPass());
            fresh.now += 20000;
            ASSERT_TRUE(e.CheckPass());
            e.RebootSequence();
            std::vector<std::string> expected = {"mail-restart 1 " + kApp + " background"};
            if (notifyReboot != 0) {
                expected.push_back("mail-program-hang 0 " + kApp + " background");
                expected.push_back(hardReboot != 0 ? "mail-card-reboot 0  wait" : "mail-software-reboot 0  wait");
            }
            EXPECT_EQ(fresh.notices, expected);
        }
    }
}

// Each way to reboot, and each way it can fail: a card that does not answer
// its reset leaves the reboot to Windows; when Windows refuses too, the
// server goes on (a card that took its last heartbeat resets the computer
// itself, otherwise the controller is told to feed it again).
TEST_F(EngineTest, RebootSequenceStepsAndFallBacks) {
    struct Case {
        std::uint32_t hardReboot;
        std::uint32_t notifyReboot;
        bool cardAnswers;
        bool windowsReboots;
        bool rebooted;
        std::vector<std::string> steps;
    };
    const Case cases[] = {
        {0, 1, true, true, true,
         {"announce", "last-heartbeat", "log software-reboot", "mail mail-software-reboot", "wait-mails",
          "reboot-windows", "end"}},
        {0, 0, true, true, true,
         {"announce", "last-heartbeat", "log software-reboot", "wait-mails", "reboot-windows", "end"}},
        {1, 1, true, true, true, {"announce", "log card-reboot", "mail mail-card-reboot", "wait-mails", "reset-card", "end"}},
        {1, 0, true, true, true, {"announce", "log card-reboot", "wait-mails", "reset-card", "end"}},
        {0, 0, true, false, false,
         {"announce", "last-heartbeat", "log software-reboot", "wait-mails", "reboot-windows",
          "log software-reboot-failed"}},
        {0, 0, false, false, false,
         {"announce", "last-heartbeat", "log software-reboot", "wait-mails", "reboot-windows",
          "log software-reboot-failed", "cancel"}},
        {1, 1, false, true, true,
         {"announce", "log card-reboot", "mail mail-card-reboot", "wait-mails", "reset-card", "log card-reboot-failed",
          "last-heartbeat", "reboot-windows", "end"}},
        {1, 0, false, false, false,
         {"announce", "log card-reboot", "wait-mails", "reset-card", "log card-reboot-failed", "last-heartbeat",
          "reboot-windows", "log software-reboot-failed", "cancel"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("HardReboot " + std::to_string(c.hardReboot) + ", NotifyReboot " + std::to_string(c.notifyReboot) +
                     ", card " + (c.cardAnswers ? "answers" : "silent") + ", Windows " +
                     (c.windowsReboots ? "reboots" : "refuses"));
        settings.HardReboot = c.hardReboot;
        settings.NotifyReboot = c.notifyReboot;
        sys.cardAnswers = c.cardAnswers;
        sys.windowsReboots = c.windowsReboots;
        sys.rebootSteps.clear();
        sys.logs.clear();
        EXPECT_EQ(engine.RebootSequence(), c.rebooted);
        EXPECT_EQ(sys.rebootSteps, c.steps);
        if (!c.windowsReboots) EXPECT_EQ(sys.logs.back(), "software-reboot-failed 1314 ");
    }
    // Unloaded while the mails went out: no order any more, the server ends.
    for (std::uint32_t hardReboot : {0u, 1u}) {
        settings.HardReboot = hardReboot;
        sys.stopping = true;
        sys.rebootSteps.clear();
        EXPECT_TRUE(engine.RebootSequence());
        EXPECT_EQ(std::count(sys.rebootSteps.begin(), sys.rebootSteps.end(), "reset-card"), 0);
        EXPECT_EQ(std::count(sys.rebootSteps.begin(), sys.rebootSteps.end(), "reboot-windows"), 0);
    }
}

// A reboot that did not take place is decided again one interval later, not
// at every cycle (each decision logs, mails and waits for its mails).
TEST_F(EngineTest, FailedRebootIsDecidedAgainOneIntervalLater) {
    ModuleEntry& module = ListAliveProgram(kApp);
    module.RebootAfter = 1;
    Register(kApp);
    sys.now += 20000;
    ASSERT_TRUE(engine.CheckPass());
    sys.now += 2000;
    EXPECT_FALSE(engine.CheckPass());
    sys.now += 9000;
    EXPECT_TRUE(engine.CheckPass());
}

// Supervision switched off, or the server unloading, in the middle of a pass:
// nothing more is judged, killed or started.
TEST_F(EngineTest, PassesBeginNothingOnceStopping) {
    ListAliveProgram(kApp);
    ListAliveProgram(kOther).Copies = 1;
    Register(kApp);
    sys.now += 20000;
    sys.logs.clear();
    sys.stopping = true;
    engine.Sweep();
    EXPECT_FALSE(engine.CheckPass());
    EXPECT_TRUE(sys.actions.empty());
    EXPECT_TRUE(sys.logs.empty());

    sys.stopping = false;  // the same cycle, going on: a copy started, the hung one restarted
    engine.Sweep();
    engine.CheckPass();
    EXPECT_EQ(Count(sys.actions, "start "), 2);
    EXPECT_EQ(Count(sys.actions, "terminate "), 1);
}

TEST_F(EngineTest, HardwareResetIsLoggedAndMailedOnlyWithNotifyReboot) {
    engine.ReportHardwareReset();
    EXPECT_TRUE(sys.logs.empty());
    EXPECT_TRUE(sys.notices.empty());
    EXPECT_TRUE(sys.floatShowsReboot) << "the float window shows it either way";
    settings.NotifyReboot = 1;
    engine.ReportHardwareReset();
    EXPECT_EQ(sys.logs, std::vector<std::string>{"hardware-reboot 0 "});
    EXPECT_EQ(sys.notices, std::vector<std::string>{"mail-hardware-reboot 0  background"});
}

TEST_F(EngineTest, ReplacementIsStartedWithItsFilesRestoredWhenCopyBeforeStart) {
    ModuleEntry& module = ListAliveProgram(kApp);
    module.CopyBeforeStart = 1;
    module.BackupFolder = "D:\\B";
    module.RestoreFolder = "C:\\Kiosk";
    const std::uint32_t id = Register(kApp);
    sys.now += 20000;
    Pass();
    const std::vector<std::string> expected = {"terminate " + std::to_string(id),
                                               "restore D:\\B -> C:\\Kiosk copying",
                                               "start " + kApp + "  -> " + std::to_string(AliveId(kApp))};
    EXPECT_EQ(sys.actions, expected);

    // When the failure action has just restored them, once is enough.
    module.CopyAfter = 1;
    sys.actions.clear();
    sys.now += 20000;
    Pass();
    EXPECT_EQ(Count(sys.actions, "restore"), 1);
    EXPECT_EQ(Count(sys.actions, "restore D:\\B -> C:\\Kiosk failure of"), 1);
}

// A damaged record (hand-edited, cut short) with an empty or relative folder:
// a copy would take the root of the current drive, or write into the current
// folder. Such folders are never copied from or into; the program still starts.
TEST_F(EngineTest, EmptyOrRelativeCopyFoldersAreNeverCopied) {
    struct Case {
        const char* backup;
        const char* restore;
        bool copied;
    };
    const Case cases[] = {
        {"", "C:\\Kiosk", false},        {"D:\\B", "", false},
        {"backup", "C:\\Kiosk", false},  {"D:\\B", "C:kiosk", false},
        {"\\B", "C:\\Kiosk", false},     {"D:\\B", "kiosk\\data", false},
        {"D:\\B", "C:\\Kiosk", true},    {"\\\\server\\share\\b", "c:/kiosk", true},
    };
    int index = 0;
    for (const Case& c : cases) {
        const std::string path = "C:\\Kiosk\\app" + std::to_string(index++) + ".exe";
        SCOPED_TRACE(path + " from '" + c.backup + "' to '" + c.restore + "'");
        ModuleEntry& module = List(path);
        module.CopyBeforeStart = 1;
        module.CopyAfter = 1;
        module.CheckInterval = 10000;
        module.BackupFolder = c.backup;
        module.RestoreFolder = c.restore;
        sys.actions.clear();
        engine.Sweep();  // the start
        const std::uint32_t id = AliveId(path);
        ASSERT_NE(id, 0u);
        Alive(engine, 10, id);
        sys.now += 11000;
        Pass();  // the restart after a failure
        EXPECT_EQ(Count(sys.actions, "restore"), c.copied ? 2 : 0);
        EXPECT_EQ(Count(sys.actions, "start " + path), 2) << "started all the same";
        EXPECT_EQ(Count(sys.logs, "copy-refused 0 " + path), c.copied ? 0 : 1) << "one line per program";
        module.ControlEnabled = 0;  // out of the way of the next cases
    }
}

TEST_F(EngineTest, AProgramRunningForMonthsIsStillJudged) {
    ListAliveProgram(kApp);
    const std::uint32_t id = Register(kApp);
    sys.now += 5000;
    Alive(engine, 10, id);
    sys.now += 5001;  // the grace is over; the last heartbeat is recent
    Pass();
    // Beating for 24.8 days and more: past that span the start tick no longer
    // compares as long ago.
    sys.now += 0x80000000u;
    Alive(engine, 10, id);
    EXPECT_FALSE(Pass());
    EXPECT_EQ(state.alive[id].Failures, 0u);
    sys.now += 10001;  // now it hangs
    Pass();
    EXPECT_EQ(Count(sys.logs, "restart 1"), 1);
    EXPECT_EQ(Count(sys.actions, "terminate " + std::to_string(id)), 1);
}

TEST_F(EngineTest, OneRebootDecisionPerPassWhileOthersAreRestarted) {
    settings.NotifyReboot = 1;
    ModuleEntry& limit = ListAliveProgram(kApp);
    limit.RebootAfter = 1;
    ListAliveProgram(kOther);
    const std::uint32_t a = Register(kApp);    // judged first (lower id)
    const std::uint32_t b = Register(kOther);  // hung too: restarted, which starts the pass over
    ASSERT_LT(a, b);
    sys.now += 20000;
    EXPECT_TRUE(Pass());
    EXPECT_EQ(Count(sys.logs, "reboot-program"), 1);
    EXPECT_EQ(Count(sys.notices, "mail-program-hang"), 1);
    EXPECT_EQ(state.alive[a].Failures, 1u);
    EXPECT_EQ(Count(sys.actions, "terminate " + std::to_string(b)), 1);
    EXPECT_EQ(Count(sys.actions, "terminate " + std::to_string(a)), 0);
}

TEST_F(EngineTest, TheServerAndTheSystemsOwnProcessesAreNeverPutUnderControl) {
    ListAliveProgram(kApp);
    const struct {
        std::uint32_t id;
        std::string path;
    } refused[] = {
        {sys.serverId, "C:\\Anything\\other.exe"},  // the server's own process, whatever it reports
        {900, "c:\\watchdog\\MRWD.EXE"},            // another process of the server's executable
        {901, "C:\\Windows\\System32\\csrss.exe"},
        {902, "C:\\Windows\\System32\\WinInit.exe"},
        {903, "C:\\Windows\\System32\\winlogon.exe"},
        {904, "C:\\Windows\\System32\\services.exe"},
        {905, "C:\\Windows\\System32\\lsass.exe"},
        {906, "C:\\Windows\\System32\\smss.exe"},
    };
    for (const auto& r : refused) {
        sys.processes[r.id] = r.path;
        Alive(engine, 10, r.id);
        Alive(engine, 30, r.id);  // asking again adds no second line
    }
    EXPECT_EQ(state.alive.size(), 0u);
    EXPECT_EQ(state.modules.Size(), 1u) << "nothing was listed or stored";
    EXPECT_TRUE(sys.stored.empty());
    EXPECT_EQ(Count(sys.logs, "refused"), 8);
    EXPECT_EQ(sys.logs[1], "refused 900 c:\\watchdog\\MRWD.EXE");

    // The server's executable listed already (by an older build) is neither
    // discovered nor started.
    ModuleEntry server = RegisteredEntry(10000);
    state.modules.Add(sys.serverPath, server);
    engine.Sweep();
    engine.Sweep();
    EXPECT_TRUE(state.alive.empty());
    EXPECT_EQ(Count(sys.actions, "start " + sys.serverPath), 0);

    // An ordinary program still registers.
    Register(kApp);
    EXPECT_EQ(state.alive.size(), 1u);
}

TEST_F(EngineTest, ForgetProcessesEmptiesTheTable) {
    ListAliveProgram(kApp);
    Register(kApp);
    engine.ForgetProcesses();
    EXPECT_TRUE(state.alive.empty());
    engine.Sweep();  // the running process is discovered afresh
    EXPECT_EQ(Count(sys.logs, "begun"), 1);
}

}  // namespace
}  // namespace mrwd
