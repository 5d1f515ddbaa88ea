// Supervision end to end: the real mrwd.exe keeps real stand-in programs
// running under Wine. These wait for the engine's 2-second cycles and the
// 10-second shortest alive interval, so they are the slow ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>

#include "supervision/win/module_store.h"
#include "supervision/win/process_control.h"
#include "tests/harness/win_harness.h"

namespace mrwd::testing {
namespace {

const char kLoaded[] = "Watchdog сервер загружен.";

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

std::string Restart(int number, const std::string& path) {
    return "Перезапуск номер " + std::to_string(number) + ", программы " + Utf8FromCp1251(path) + ".";
}

// A program that speaks the alive protocol, as stored by the user.
ModuleEntry AliveProgram(const std::string& parameters) {
    ModuleEntry entry = RegisteredEntry(10000);
    entry.Parameters = parameters;
    return entry;
}

// A program checked through its window.
ModuleEntry WindowProgram(const std::string& parameters, std::uint32_t checkMs) {
    ModuleEntry entry;
    entry.NoAliveSupport = 1;
    entry.CheckInterval = checkMs;
    entry.Parameters = parameters;
    return entry;
}

class Supervision : public ::testing::Test {
protected:
    CleanSettings clean_;
    ServerSandbox sandbox_{TestName()};
    ModuleStore store_{HKEY_CURRENT_USER};

    ChildProcess& StartServer() {
        ChildProcess& server = sandbox_.Start("");
        EXPECT_TRUE(sandbox_.WaitForLog(kLoaded));
        return server;
    }
    // The path logged when process `id` registered (waits for the line).
    std::string RegisteredPath(std::uint32_t id) {
        const std::string line = "Зарегистрировался для контроля процесс " + std::to_string(id) + ", ";
        if (!Logged(line)) return std::string();
        const std::string log = sandbox_.Log();
        const size_t at = log.find(line) + line.size();
        return Cp1251FromUtf8(log.substr(at, log.find("!\r\n", at) - at));
    }
    // Waits for `text` in the log: a few cycles' worth by default.
    bool Logged(const std::string& text, DWORD timeoutMs = 40000) { return sandbox_.WaitForLog(text, 1, timeoutMs); }
    // The process ids of the program's running processes.
    static std::vector<std::uint32_t> Processes(const std::string& path) {
        ProcessSnapshot snapshot;
        RebuildProcessSnapshot(snapshot);
        std::vector<std::uint32_t> ids;
        for (const auto& p : snapshot) {
            if (::lstrcmpiA(p.second.c_str(), path.c_str()) == 0) ids.push_back(p.first);
        }
        return ids;
    }
};

TEST_F(Supervision, RegistrationListsTheProgramAndStoresItsRecord) {
    const std::string app = sandbox_.AddProgram("registers.exe");
    StartServer();
    ChildProcess& program = sandbox_.StartProgram(app, "--interval 25");
    EXPECT_EQ(::lstrcmpiA(RegisteredPath(program.Id()).c_str(), app.c_str()), 0) << sandbox_.Log();

    ModuleList stored;
    ASSERT_TRUE(WaitUntil([&] {
        stored.Clear();
        store_.Load(stored);
        return stored.Find(app) != nullptr;
    }, kDeadlineMs));
    const ModuleEntry& entry = *stored.Find(app);
    EXPECT_EQ(entry.ControlEnabled, 1);
    EXPECT_EQ(entry.NoAliveSupport, 0);
    EXPECT_EQ(entry.AliveSeen, 1);
    EXPECT_EQ(entry.CheckInterval, 25000u);
    EXPECT_EQ(entry.StartDelay, 25000u);
    EXPECT_EQ(entry.Copies, 1u);
    EXPECT_EQ(entry.RunAfter, -1);
    EXPECT_EQ(entry.CopyAfter, -1);
    EXPECT_EQ(entry.NotifyAfter, 1u);
    EXPECT_EQ(entry.Armed, 1);
    EXPECT_EQ(entry.Parameters, "");

    // The process id is the low half of lParam, whatever the sender put above it.
    const std::string other = sandbox_.AddProgram("quiet.exe");
    ChildProcess& quiet = sandbox_.StartProgram(other, "--no-alive");
    const LPARAM widened = static_cast<LPARAM>((0xABCDull << 32) | quiet.Id());
    ASSERT_TRUE(::PostMessageA(FindServerWindow(), ::RegisterWindowMessageA("app.alive.msg"), 30, widened));
    EXPECT_EQ(::lstrcmpiA(RegisteredPath(quiet.Id()).c_str(), other.c_str()), 0) << sandbox_.Log();
}

TEST_F(Supervision, ProgramStartedByItsShortNameIsRegisteredByItsLongName) {
    ::CreateDirectoryA((sandbox_.Folder() + "Kiosk Application Folder").c_str(), nullptr);
    const std::string app = sandbox_.AddProgram("Kiosk Application Folder\\Terminal Program.exe");
    char shortPath[MAX_PATH] = {};
    ASSERT_GT(::GetShortPathNameA(app.c_str(), shortPath, sizeof shortPath), 0u);
    ASSERT_EQ(std::string(shortPath).find("Kiosk Application Folder"), std::string::npos);
    StartServer();
    ChildProcess& program = sandbox_.StartProgram(shortPath, "");
    EXPECT_EQ(::lstrcmpiA(RegisteredPath(program.Id()).c_str(), app.c_str()), 0) << sandbox_.Log();
}

TEST_F(Supervision, ProgramThatStopsBeatingIsRestartedAndCounted) {
    const std::string app = sandbox_.AddProgram("hangs.exe");
    // It registers, then never beats again; so does every copy started in its place.
    ASSERT_TRUE(store_.Store(app, AliveProgram("--hang-after 0")));
    StartServer();
    ASSERT_TRUE(Logged("Начат контроль процесса "));
    ASSERT_TRUE(Logged(Restart(1, app)));
    ASSERT_TRUE(Logged(Restart(2, app)));
    // Each hung copy was killed: one runs.
    EXPECT_TRUE(WaitUntil([&] { return Processes(app).size() == 1; }, kDeadlineMs));
}

// A recovery program that never ends holds up only its own program: the
// others are still started as they die, and the hung one is started again
// once its recovery program has ended.
TEST_F(Supervision, ARecoveryProgramThatNeverEndsHoldsUpNoOtherProgram) {
    const std::string hung = sandbox_.AddProgram("hangs.exe");
    const std::string fix = sandbox_.AddProgram("fix.exe");
    const std::string dies = sandbox_.AddProgram("dies.exe");
    ModuleEntry hangs = AliveProgram("--hang-after 0");
    hangs.RunAfter = 1;
    hangs.RunPath = fix;
    ASSERT_TRUE(store_.Store(hung, hangs));
    // It dies after its start delay: started again at once each time, not spaced.
    ModuleEntry dying = WindowProgram("--no-alive --exit-after 2000 --exit silent", 60000);
    dying.StartDelay = 1000;
    ASSERT_TRUE(store_.Store(dies, dying));
    // The shell opens the recovery program without arguments: these make it run on.
    ::SetEnvironmentVariableA("MRWD_STANDIN_ARGS", "--no-alive");
    StartServer();
    ::SetEnvironmentVariableA("MRWD_STANDIN_ARGS", nullptr);
    ASSERT_TRUE(Logged(Restart(1, hung)));
    ASSERT_TRUE(WaitUntil([&] { return Processes(fix).size() == 1; }, kDeadlineMs));

    const int startsBefore = sandbox_.CountInLog(Utf8FromCp1251(dies));
    EXPECT_TRUE(WaitUntil([&] { return sandbox_.CountInLog(Utf8FromCp1251(dies)) >= startsBefore + 2; }, 20000))
        << "the program that keeps dying was left dead while the recovery program ran";
    EXPECT_TRUE(Processes(hung).empty()) << "started before its recovery program ended";

    for (const std::uint32_t id : Processes(fix)) {
        UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        ::TerminateProcess(process.get(), 0);
        ::WaitForSingleObject(process.get(), kDeadlineMs);
    }
    EXPECT_TRUE(WaitUntil([&] { return Processes(hung).size() == 1; }, kDeadlineMs));
}

// A stand-in's record line: "<process id> <event> <ms since 1970>[ <detail>]".
struct RecordLine {
    std::string process, event, detail;
    unsigned long long ms = 0;
};

std::vector<RecordLine> RecordLines(const std::string& record) {
    std::vector<RecordLine> found;
    std::istringstream lines(ReadWholeFile(record));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        RecordLine parsed;
        if (!(words >> parsed.process >> parsed.event >> parsed.ms)) continue;
        words >> parsed.detail;
        found.push_back(parsed);
    }
    return found;
}

bool Running(std::uint32_t id) {
    UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, id));
    return process && ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

// A hung launcher goes with what it started: one the server started (in its
// job), and one it did not (found by its parent id).
TEST_F(Supervision, AHungProgramIsEndedWithItsChildren) {
    const std::string started = sandbox_.AddProgram("launcher.exe");
    const std::string found = sandbox_.AddProgram("found.exe");
    const std::string child = sandbox_.AddProgram("child.exe");
    const std::string record = sandbox_.Folder() + "record.txt";
    ::SetEnvironmentVariableA("MRWD_STANDIN_RECORD", record.c_str());
    const std::string launches = "--hang-after 0 --child \"" + child + "\"";
    ASSERT_TRUE(store_.Store(started, AliveProgram(launches)));
    StartServer();
    ChildProcess& outsider = sandbox_.StartProgram(found, launches);
    ::SetEnvironmentVariableA("MRWD_STANDIN_RECORD", nullptr);
    ASSERT_TRUE(Logged(Restart(1, started)));
    ASSERT_TRUE(Logged(Restart(1, found)));
    ASSERT_TRUE(outsider.WaitForExit(kDeadlineMs));

    // The first child of each: the server's first launcher and the outsider.
    std::string first, outsiders;
    for (const RecordLine& line : RecordLines(record)) {
        if (line.event != "child") continue;
        std::string& slot = line.process == std::to_string(outsider.Id()) ? outsiders : first;
        if (slot.empty()) slot = line.detail;
    }
    ASSERT_FALSE(first.empty() || outsiders.empty()) << ReadWholeFile(record);
    for (const std::string& id : {first, outsiders}) {
        const auto childId = static_cast<std::uint32_t>(std::stoul(id));
        EXPECT_TRUE(WaitUntil([&] { return !Running(childId); }, kDeadlineMs)) << "child " << id << " lives on";
    }
}

// A crash ends the program at once, with Wine's crash handling as a user
// has it (its debugger not switched off), and the copy is started again.
TEST_F(Supervision, AProgramThatCrashesIsStartedAgainAtOnce) {
    const std::string crashes = sandbox_.AddProgram("crashes.exe");
    const std::string record = sandbox_.Folder() + "record.txt";
    ModuleEntry entry = WindowProgram("--no-alive --exit-after 1500 --exit crash", 60000);
    entry.StartDelay = 500;
    ASSERT_TRUE(store_.Store(crashes, entry));
    char overrides[512] = {};
    ::GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof overrides);
    ::SetEnvironmentVariableA("WINEDLLOVERRIDES", "mscoree,mshtml=");
    ::SetEnvironmentVariableA("MRWD_STANDIN_RECORD", record.c_str());
    StartServer();
    ::SetEnvironmentVariableA("WINEDLLOVERRIDES", overrides);
    ::SetEnvironmentVariableA("MRWD_STANDIN_RECORD", nullptr);
    std::vector<unsigned long long> crashedAt, startedAt;
    ASSERT_TRUE(WaitUntil([&] {
        crashedAt.clear();
        startedAt.clear();
        for (const RecordLine& line : RecordLines(record)) {
            if (line.event == "ending") crashedAt.push_back(line.ms);
            if (line.event == "started") startedAt.push_back(line.ms);
        }
        return startedAt.size() >= 4;
    }, 40000)) << ReadWholeFile(record);
    // From each crash to the next start: the engine's wake on the end, not a cycle later or never.
    for (std::size_t i = 0; i + 1 < startedAt.size() && i < crashedAt.size(); ++i) {
        EXPECT_LT(startedAt[i + 1] - crashedAt[i], 2000u) << "crash " << i << " held the program";
    }
}

TEST_F(Supervision, AnnouncedEndIsRespectedASilentExitIsNot) {
    const std::string leaves = sandbox_.AddProgram("leaves.exe");
    const std::string quits = sandbox_.AddProgram("quits.exe");
    StartServer();
    ChildProcess& polite = sandbox_.StartProgram(leaves, "--exit-after 3000 --exit clean");
    ChildProcess& silent = sandbox_.StartProgram(quits, "--exit-after 3000 --exit silent");
    ASSERT_TRUE(Logged("Закончен контроль процесса " + std::to_string(polite.Id()) + ", "));
    ASSERT_TRUE(polite.WaitForExit(kDeadlineMs));
    ASSERT_TRUE(silent.WaitForExit(kDeadlineMs));

    // The one that left without a word is started again by the next sweeps ...
    ASSERT_TRUE(Logged("Начат контроль процесса "));
    ASSERT_TRUE(WaitUntil([&] { return Processes(quits).size() == 1; }, kDeadlineMs));
    // ... the one that said goodbye is not, however long we wait.
    ::Sleep(3 * 2000);
    EXPECT_TRUE(Processes(leaves).empty());
    EXPECT_EQ(sandbox_.CountInLog("Начат контроль процесса "), 1);
}

TEST_F(Supervision, CopiesAreKeptRunning) {
    const std::string app = sandbox_.AddProgram("pair.exe");
    ModuleEntry entry = WindowProgram("--no-alive", 60000);
    entry.Copies = 2;
    ASSERT_TRUE(store_.Store(app, entry));
    StartServer();
    ASSERT_TRUE(WaitUntil([&] { return Processes(app).size() == 2; }, kDeadlineMs));

    const std::uint32_t victim = Processes(app).front();
    UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, victim));
    ASSERT_TRUE(process.valid());
    ::TerminateProcess(process.get(), 1);
    ::WaitForSingleObject(process.get(), kDeadlineMs);
    // Started again by the next sweep.
    EXPECT_TRUE(WaitUntil([&] {
        const auto ids = Processes(app);
        return ids.size() == 2 && std::find(ids.begin(), ids.end(), victim) == ids.end();
    }, kDeadlineMs));
    ::Sleep(2500);
    EXPECT_EQ(Processes(app).size(), 2u) << "never more than asked for";
}

TEST_F(Supervision, WindowThatStopsAnsweringIsRestartedOneThatAnswersIsNot) {
    const std::string frozen = sandbox_.AddProgram("frozen.exe");
    const std::string lively = sandbox_.AddProgram("lively.exe");
    ASSERT_TRUE(store_.Store(frozen, WindowProgram("--no-alive --window --freeze-after 1000", 4000)));
    ASSERT_TRUE(store_.Store(lively, WindowProgram("--no-alive --window", 4000)));
    StartServer();
    ASSERT_TRUE(Logged(Restart(1, frozen)));
    ::Sleep(3 * 2000);
    EXPECT_EQ(sandbox_.CountInLog("программы " + Utf8FromCp1251(lively)), 0);
    EXPECT_EQ(Processes(lively).size(), 1u);
}

TEST_F(Supervision, MissingProgramIsReportedOnceAndOthersAreStillSupervised) {
    const std::string missing = sandbox_.Folder() + "missing.exe";
    const std::string hung = sandbox_.AddProgram("hangs.exe");
    ASSERT_TRUE(store_.Store(missing, AliveProgram("")));
    ASSERT_TRUE(store_.Store(hung, AliveProgram("--hang-after 0")));
    StartServer();
    const std::string notFound = "Файл " + Utf8FromCp1251(missing) + " не найден!";
    ASSERT_TRUE(Logged(notFound));
    // The box about the missing file is still open (nobody is there to close
    // it): the other program's hang is handled all the same.
    ASSERT_TRUE(Logged(Restart(1, hung)));
    EXPECT_EQ(sandbox_.CountInLog(notFound), 1);
}

TEST_F(Supervision, RebootMarkerTellsAnOrderlyEndFromAReset) {
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "NotifyReboot", 1));
    const char kHardwareReboot[] = "Была произведена аппаратная перезагрузка системы!";

    // An orderly run leaves no marker and reports nothing.
    StartServer();
    ASSERT_TRUE(WaitUntil([&] { return ::GetFileAttributesA(sandbox_.MarkerPath().c_str()) != INVALID_FILE_ATTRIBUTES; },
                          kDeadlineMs));
    EXPECT_EQ(sandbox_.Run("/k"), 0u);
    EXPECT_EQ(::GetFileAttributesA(sandbox_.MarkerPath().c_str()), INVALID_FILE_ATTRIBUTES);

    // A run that ends like a power cut leaves it.
    ChildProcess& crashed = StartServer();
    ASSERT_TRUE(WaitUntil([&] { return ::GetFileAttributesA(sandbox_.MarkerPath().c_str()) != INVALID_FILE_ATTRIBUTES; },
                          kDeadlineMs));
    crashed.Kill();
    EXPECT_EQ(sandbox_.CountInLog(kHardwareReboot), 0);

    ChildProcess& next = sandbox_.Start("");
    ASSERT_TRUE(Logged(kHardwareReboot));
    EXPECT_NE(sandbox_.Log().find("mailto:support@"), std::string::npos);
    EXPECT_EQ(sandbox_.Run("/k"), 0u);
    EXPECT_TRUE(next.WaitForExit(kDeadlineMs));
    EXPECT_EQ(::GetFileAttributesA(sandbox_.MarkerPath().c_str()), INVALID_FILE_ATTRIBUTES);
}

// Any program could once make the server register itself, then "restart"
// (kill) itself for good. Its own process, its own program and the system's
// critical processes are refused, and random messages leave it standing.
TEST_F(Supervision, TheServerCannotBePutUnderItsOwnControl) {
    ChildProcess& server = StartServer();
    // A record of its own program left by an older build is skipped at load.
    ASSERT_TRUE(store_.Store(sandbox_.ExePath(), AliveProgram("")));
    ASSERT_EQ(sandbox_.Run("/k"), 0u);
    ASSERT_TRUE(server.WaitForExit(kDeadlineMs));
    ChildProcess& running = StartServer();
    const HWND window = WaitForServerWindow();
    ASSERT_NE(window, nullptr);
    const UINT alive = ::RegisterWindowMessageA("app.alive.msg");
    const UINT modemReset = ::RegisterWindowMessageA("mdm.reset.msg");
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(::PostMessageA(window, alive, 10, running.Id()));
    const std::string refused = "Процесс " + std::to_string(running.Id()) + ", ";
    ASSERT_TRUE(Logged(refused)) << sandbox_.Log();

    // Fuzz: random intervals, random (and real) process ids, and modem resets.
    std::mt19937 random(20261207);
    std::vector<std::uint32_t> ids = Processes("C:\\windows\\system32\\services.exe");
    ids.push_back(running.Id());
    for (int i = 0; i < 80; ++i) {
        const bool modem = random() % 8 == 0;
        const WPARAM wParam = static_cast<WPARAM>(random() % 4 == 0 ? 0 : random());
        const LPARAM lParam = random() % 2 == 0 ? static_cast<LPARAM>(ids[random() % ids.size()])
                                                : static_cast<LPARAM>(random());
        ASSERT_TRUE(::PostMessageA(window, modem ? modemReset : alive, wParam, lParam));
    }
    // Two check passes beyond the shortest interval.
    ::Sleep(14000);
    EXPECT_TRUE(running.IsRunning());
    EXPECT_EQ(sandbox_.CountInLog(refused), 1) << "one line per process";
    const std::string log = sandbox_.Log();
    EXPECT_EQ(log.find("Зарегистрировался для контроля процесс " + std::to_string(running.Id())), std::string::npos);
    EXPECT_EQ(log.find("Начат контроль процесса " + std::to_string(running.Id())), std::string::npos);
    EXPECT_EQ(log.find("Перезапуск номер"), std::string::npos);
    EXPECT_EQ(::GetFileAttributesA(sandbox_.MarkerPath().c_str()) != INVALID_FILE_ATTRIBUTES, true);
    EXPECT_EQ(sandbox_.Run("/k"), 0u);
    EXPECT_TRUE(running.WaitForExit(kDeadlineMs));
}

}  // namespace
}  // namespace mrwd::testing
