// Processes as the engine sees them: the snapshot, paths, windows, starting,
// killing and running programs, on the real system under Wine.
#include "supervision/win/process_control.h"
#include "supervision/win/process_listing.h"
#include "supervision/win/started_programs.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/harness/win_harness.h"

namespace mrwd {
namespace {
namespace fs = std::filesystem;
using testing::ChildProcess;
using testing::kDeadlineMs;
using testing::WaitUntil;

// A start as the engine makes it, the job let go: the tests end processes by id.
bool StartProgram(const std::string& path, const std::string& parameters, std::uint32_t& id) {
    StartedProcess started;
    if (!StartInJob(path, parameters, started)) return false;
    id = started.id;
    return true;
}

class ProcessControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = testing::FreshTestFolder("process-");
        record_ = folder_ + "\\record.txt";
        ::SetEnvironmentVariableA("MRWD_STANDIN_RECORD", record_.c_str());
    }
    void TearDown() override {
        ::SetEnvironmentVariableA("MRWD_STANDIN_RECORD", nullptr);
        for (std::uint32_t id : started_) TerminateProcessById(id);
    }

    // A copy of the stand-in at `relative` inside the test's folder.
    std::string Program(const std::string& relative) {
        const std::string path = folder_ + "\\" + relative;
        fs::create_directories(fs::path(path).parent_path());
        EXPECT_TRUE(::CopyFileA((testing::TestProgramFolder() + "standin.exe").c_str(), path.c_str(), FALSE));
        return path;
    }
    std::uint32_t Start(const std::string& path, const std::string& parameters) {
        std::uint32_t id = 0;
        EXPECT_TRUE(StartProgram(path, parameters, id));
        started_.push_back(id);
        return id;
    }
    std::string Record() const {
        std::ifstream in(record_, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // What the stand-in `id` recorded after the time of `event` ("" when not yet).
    std::string Recorded(std::uint32_t id, const std::string& event) const {
        std::istringstream lines(Record());
        const std::string start = std::to_string(id) + " " + event + " ";
        for (std::string line; std::getline(lines, line);) {
            if (line.compare(0, start.size(), start) != 0) continue;
            const std::size_t detail = line.find(' ', start.size());
            return detail == std::string::npos ? std::string() : line.substr(detail + 1);
        }
        return std::string();
    }
    bool Running(std::uint32_t id) const {
        UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, id));
        return process && ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
    }

    std::string folder_;
    std::string record_;
    std::vector<std::uint32_t> started_;
};

TEST_F(ProcessControlTest, SnapshotListsAStartedProcessInLowerCase) {
    const std::string path = Program("Mixed Case\\StandIn.EXE");
    const std::uint32_t id = Start(path, "--no-alive");
    ProcessSnapshot snapshot;
    ASSERT_TRUE(WaitUntil([&] {
        RebuildProcessSnapshot(snapshot);
        return snapshot.count(id) == 1;
    }, kDeadlineMs));
    std::string lower = path;
    ::CharLowerBuffA(&lower[0], static_cast<DWORD>(lower.size()));
    EXPECT_EQ(snapshot[id], lower);
    for (const auto& p : snapshot) EXPECT_EQ(p.second.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), std::string::npos);
    // This test program is in the snapshot too.
    EXPECT_EQ(snapshot.count(::GetCurrentProcessId()), 1u);

    std::string reported;
    ASSERT_TRUE(ExecutablePathOfProcess(id, reported));
    EXPECT_EQ(::lstrcmpiA(reported.c_str(), path.c_str()), 0);
    EXPECT_FALSE(ExecutablePathOfProcess(0xFFFFFFF0u, reported));
}

// The one-call listing gives each process's parent and creation time as the
// process itself does; the engine's snapshot built on it names only what is
// new, and says the same as one that names everything.
TEST_F(ProcessControlTest, ListingAndNamesKeptBetweenSnapshots) {
    const std::string path = Program("listed.exe");
    const std::uint32_t child = Start(path, "--no-alive");
    std::vector<RunningProcess> running;
    ProcessListing listing;
    ASSERT_TRUE(listing.List(running));
    FILETIME created, exited, kernel, user;
    ASSERT_TRUE(::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user));
    const std::uint64_t ourCreation = (std::uint64_t{created.dwHighDateTime} << 32) | created.dwLowDateTime;
    bool foundUs = false;
    bool foundChild = false;
    for (const RunningProcess& p : running) {
        if (p.id == ::GetCurrentProcessId()) foundUs = p.createdAt == ourCreation;
        if (p.id == child) foundChild = p.parentId == ::GetCurrentProcessId() && p.createdAt >= ourCreation;
    }
    EXPECT_TRUE(foundUs);
    EXPECT_TRUE(foundChild);

    ProcessNameCache names;
    ProcessSnapshot cached;
    ProcessSnapshot full;
    std::vector<RunningProcess> before;
    ASSERT_TRUE(listing.List(before));
    RebuildProcessSnapshot(cached, listing, names);
    const ProcessSnapshot first = cached;
    RebuildProcessSnapshot(full);
    EXPECT_EQ(cached.at(child), full.at(child));
    EXPECT_EQ(cached.count(::GetCurrentProcessId()), 1u);
    RebuildProcessSnapshot(cached, listing, names);
    std::vector<RunningProcess> after;
    ASSERT_TRUE(ProcessListing().List(after));
    // Named again: only what started meanwhile (other tests' processes, Wine's
    // helpers) and what could not be named the first time.
    std::size_t expected = 0;
    for (const RunningProcess& p : before) expected += first.count(p.id) == 0 ? 1 : 0;
    for (const RunningProcess& p : after) {
        const bool old = std::any_of(before.begin(), before.end(), [&](const RunningProcess& b) {
            return b.id == p.id && b.createdAt == p.createdAt;
        });
        expected += old ? 0 : 1;
    }
    EXPECT_LE(names.NamedLastTime(), expected + 2) << "of " << after.size() << " processes";
    const std::uint32_t later = Start(Program("later.exe"), "--no-alive");
    RebuildProcessSnapshot(cached, listing, names);
    EXPECT_GE(names.NamedLastTime(), 1u);
    EXPECT_EQ(cached.count(later), 1u);
}

TEST_F(ProcessControlTest, ToolHelpFunctionsFindTheSameProcess) {
    const std::string path = Program("tool help.exe");
    const std::uint32_t id = Start(path, "--no-alive");
    ProcessSnapshot snapshot;
    RebuildProcessSnapshot(snapshot, ProcessApi::ToolHelp);
    ASSERT_EQ(snapshot.count(id), 1u);
    // On the NT family tool-help keeps only the file name, as the system reports it.
    EXPECT_EQ(snapshot[id], "tool help.exe");
    std::string reported;
    ASSERT_TRUE(ExecutablePathOfProcess(id, reported, ProcessApi::ToolHelp));
    EXPECT_EQ(reported, "tool help.exe");
    EXPECT_FALSE(ExecutablePathOfProcess(0xFFFFFFF0u, reported, ProcessApi::ToolHelp));
}

TEST_F(ProcessControlTest, ShortNamesBecomeTheLongPath) {
    const std::string path = Program("A Rather Long Folder Name\\Program With Long Name.exe");
    char shortPath[MAX_PATH] = {};
    ASSERT_GT(::GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath), 0u);
    ASSERT_STRNE(shortPath, path.c_str());
    std::string longPath;
    ASSERT_TRUE(CanonicalLongPath(shortPath, longPath));
    EXPECT_EQ(::lstrcmpiA(longPath.c_str(), path.c_str()), 0) << longPath;

    // A process started by its short name is known by its long one.
    std::uint32_t id = 0;
    ASSERT_TRUE(StartProgram(shortPath, "--no-alive", id));
    started_.push_back(id);
    std::string reported, canonical;
    ASSERT_TRUE(ExecutablePathOfProcess(id, reported));
    ASSERT_TRUE(CanonicalLongPath(reported, canonical));
    EXPECT_EQ(::lstrcmpiA(canonical.c_str(), path.c_str()), 0) << reported << " -> " << canonical;

    EXPECT_FALSE(CanonicalLongPath(folder_ + "\\missing.exe", longPath));
}

TEST_F(ProcessControlTest, StartKeepsTheBlankAndUsesTheProgramsFolder) {
    const std::string path = Program("start\\app.exe");
    const std::uint32_t id = Start(path, "");
    ASSERT_TRUE(WaitUntil([&] { return Record().find("started") != std::string::npos; }, kDeadlineMs));
    const std::string record = Record();
    EXPECT_NE(record.find("[\"" + path + "\" ]"), std::string::npos) << record;
    EXPECT_NE(record.find("[" + folder_ + "\\start]"), std::string::npos) << record;
    EXPECT_EQ(record.find(std::to_string(id) + " started"), 0u);

    std::uint32_t none = 0;
    EXPECT_FALSE(StartProgram(folder_ + "\\missing.exe", "", none));
}

TEST_F(ProcessControlTest, TerminateEndsTheProcess) {
    const std::uint32_t id = Start(Program("victim.exe"), "--no-alive");
    ASSERT_TRUE(Running(id));
    EXPECT_TRUE(TerminateProcessById(id));
    EXPECT_TRUE(WaitUntil([&] { return !Running(id); }, kDeadlineMs));
    EXPECT_FALSE(TerminateProcessById(0xFFFFFFF0u));
}

// What a launcher starts runs in its job, found there and ended with it.
TEST_F(ProcessControlTest, AStartedProgramAndWhatItStartsEndWithItsJob) {
    const std::string child = Program("child.exe");
    StartedProcess started;
    ASSERT_TRUE(StartInJob(Program("launcher.exe"), "--no-alive --child \"" + child + "\"", started));
    const std::uint32_t id = started.id;
    started_.push_back(id);
    ASSERT_TRUE(started.job.valid()) << "no job: error " << started.jobRefused;
    std::string childId;
    ASSERT_TRUE(WaitUntil([&] { return !(childId = Recorded(id, "child")).empty(); }, kDeadlineMs)) << Record();
    const auto childProcess = static_cast<std::uint32_t>(std::stoul(childId));
    started_.push_back(childProcess);

    StartedPrograms programs;
    programs.Add(std::move(started));
    EXPECT_EQ(programs.JobMembers(id), std::vector<std::uint32_t>{childProcess});
    std::uint32_t error = 0;
    ASSERT_TRUE(programs.EndJob(id, kTerminationWaitMs, error)) << error;
    EXPECT_FALSE(Running(id));
    EXPECT_TRUE(WaitUntil([&] { return !Running(childProcess); }, kDeadlineMs)) << "the child outlived its job";
    EXPECT_FALSE(programs.EndJob(id, kTerminationWaitMs, error)) << "an ended job is forgotten";
}

// The error mode a started program begins with: no crash or critical-error
// box. Wine keeps each process's mode to itself; where a plain start shows
// that, there is no inheritance to check.
TEST_F(ProcessControlTest, AStartedProgramBeginsWithoutErrorBoxes) {
    const std::string program = Program("modes.exe");
    StartedProcess started;
    ASSERT_TRUE(StartInJob(program, "--no-alive --error-mode", started));
    started_.push_back(started.id);
    std::string mode;
    ASSERT_TRUE(WaitUntil([&] { return !(mode = Recorded(started.id, "error-mode")).empty(); }, kDeadlineMs));
    if (mode == "0x0000") {
        ::SetErrorMode(SEM_FAILCRITICALERRORS);
        std::string commandLine = "\"" + program + "\" --no-alive --error-mode";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        ASSERT_TRUE(::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                     &info));
        const UniqueHandle thread(info.hThread), process(info.hProcess);
        started_.push_back(info.dwProcessId);
        std::string plain;
        ASSERT_TRUE(WaitUntil([&] { return !(plain = Recorded(info.dwProcessId, "error-mode")).empty(); }, kDeadlineMs));
        if (plain == "0x0000") GTEST_SKIP() << "this system gives a new process no error mode of its parent";
    }
    EXPECT_EQ(mode, "0x8003") << "SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX";
}

TEST_F(ProcessControlTest, TopLevelWindowBelongsToItsProcess) {
    const std::uint32_t id = Start(Program("window.exe"), "--no-alive --window");
    HWND window = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (window = TopLevelWindowOfProcess(id)) != nullptr; }, kDeadlineMs));
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    EXPECT_EQ(owner, id);
    EXPECT_EQ(TopLevelWindowOfProcess(0xFFFFFFF0u), nullptr);
}

TEST_F(ProcessControlTest, RunWithShellHandsOverTheProcessItStarted) {
    const std::string path = Program("fix.exe");
    // The shell passes no arguments: the stand-in takes them from here.
    ::SetEnvironmentVariableA("MRWD_STANDIN_ARGS", "--no-alive --exit-after 700 --exit silent");
    DWORD handlesBefore = 0, handlesAfter = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &handlesBefore);
    const ULONGLONG started = ::GetTickCount64();
    {
        UniqueHandle process;
        EXPECT_EQ(RunWithShell(path, process), RunResult::Started);
        EXPECT_LT(::GetTickCount64() - started, 650u) << "waited for the program";
        ::SetEnvironmentVariableA("MRWD_STANDIN_ARGS", nullptr);
        EXPECT_EQ(::WaitForSingleObject(process.get(), kDeadlineMs), WAIT_OBJECT_0);
    }
    EXPECT_NE(Record().find("started"), std::string::npos);
    ::GetProcessHandleCount(::GetCurrentProcess(), &handlesAfter);
    EXPECT_LE(handlesAfter, handlesBefore) << "the process handle is closed with its owner";

    UniqueHandle none;
    EXPECT_EQ(RunWithShell(folder_ + "\\missing.exe", none), RunResult::NotStarted);
}

// A document opened in an application that already runs and takes it over
// DDE starts no process: there is nothing to wait for.
TEST_F(ProcessControlTest, RunWithShellHasNothingToWaitForWhenARunningProgramTakesTheDocument) {
    const std::string viewer = Program("viewer.exe");
    const std::string document = folder_ + "\\report.mrwdtest";
    std::ofstream(document) << "report";
    const struct {
        const char* key;
        const char* name;
        std::string value;
    } association[] = {
        {".mrwdtest", nullptr, "mrwdtest.document"},
        {"mrwdtest.document\\shell\\open\\command", nullptr, "\"" + viewer + "\" --no-alive --dde"},
        {"mrwdtest.document\\shell\\open\\ddeexec", nullptr, "[open(\"%1\")]"},
        {"mrwdtest.document\\shell\\open\\ddeexec\\application", nullptr, "standin"},
        {"mrwdtest.document\\shell\\open\\ddeexec\\topic", nullptr, "System"},
    };
    struct Cleanup {
        ~Cleanup() {
            ::RegDeleteTreeA(HKEY_CLASSES_ROOT, ".mrwdtest");
            ::RegDeleteTreeA(HKEY_CLASSES_ROOT, "mrwdtest.document");
        }
    } cleanup;
    for (const auto& entry : association) {
        ASSERT_EQ(::RegSetKeyValueA(HKEY_CLASSES_ROOT, entry.key, entry.name, REG_SZ, entry.value.c_str(),
                                    static_cast<DWORD>(entry.value.size() + 1)),
                  ERROR_SUCCESS);
    }
    Start(viewer, "--no-alive --dde");
    ASSERT_TRUE(WaitUntil([&] { return Record().find("started") != std::string::npos; }, kDeadlineMs));
    ::Sleep(300);  // let it register its DDE service

    UniqueHandle process;
    EXPECT_EQ(RunWithShell(document, process), RunResult::NothingToWaitFor);
    EXPECT_FALSE(process.valid());
    EXPECT_TRUE(WaitUntil([&] { return Record().find("dde-execute") != std::string::npos; }, kDeadlineMs));
    const std::string record = Record();
    size_t starts = 0;
    for (size_t at = record.find("started"); at != std::string::npos; at = record.find("started", at + 1)) ++starts;
    EXPECT_EQ(starts, 1u) << record;
}

// Keeps in *result the thread's first dialog box that is shown. (A named
// function: the system's callbacks are stdcall on 32-bit Windows, which a
// lambda cannot be.)
BOOL CALLBACK KeepShownDialog(HWND window, LPARAM result) {
    char name[16] = {};
    ::GetClassNameA(window, name, sizeof name);
    if (std::string(name) != "#32770" || !::IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(result) = window;
    return FALSE;
}

// The dialog box a thread of this test shows (dialogs of other programs in
// the same Wine prefix do not count).
HWND DialogOfThread(DWORD threadId) {
    HWND found = nullptr;
    WaitUntil([&] {
        ::EnumThreadWindows(threadId, KeepShownDialog, reinterpret_cast<LPARAM>(&found));
        return found != nullptr;
    }, kDeadlineMs);
    return found;
}

// The browser opens on the calling thread and a cancelled choice gives
// nothing. (Picking a folder by remote control depends on how fast Wine fills
// the tree with the whole Linux file system under Z:, which is too slow to
// rely on under load.)
TEST_F(ProcessControlTest, ChooseFolderShowsTheBrowserAndCancelGivesNothing) {
    const DWORD thisThread = ::GetCurrentThreadId();
    std::thread cancel([&] {
        HWND browser = DialogOfThread(thisThread);
        ::PostMessageA(browser, WM_COMMAND, IDCANCEL, 0);
    });
    std::string chosen = "unchanged";
    EXPECT_FALSE(ChooseFolder(nullptr, "Backup", chosen));
    cancel.join();
    EXPECT_EQ(chosen, "unchanged");
}

}  // namespace
}  // namespace mrwd
