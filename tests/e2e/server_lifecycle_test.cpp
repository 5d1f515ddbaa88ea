// The real mrwd.exe, started, second-started and stopped from outside.
#include <gtest/gtest.h>

#include "app/win/server_process.h"
#include "tests/harness/win_harness.h"

namespace mrwd::testing {
namespace {

const char kLoaded[] = "Watchdog сервер загружен.";
const char kUnloaded[] = "Watchdog сервер выгружен.";
const char kAlreadyRunning[] = "Watchdog сервер уже выполняется!";
const char kUnloading[] = "Выгрузка Watchdog Server из памяти...";

std::string CommandLineLine(const std::string& arguments) {
    return "Программа запущена! Командная строка: \" " + arguments + " \".";
}

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

class ServerLifecycle : public ::testing::Test {
protected:
    CleanSettings clean_;
    ServerSandbox sandbox_{TestName()};

    // Starts the server with an empty command line and waits until it serves.
    ChildProcess& StartServer() {
        ChildProcess& server = sandbox_.Start("");
        EXPECT_TRUE(sandbox_.WaitForLog(kLoaded));
        EXPECT_NE(WaitForServerWindow(), nullptr);
        return server;
    }

    void ExpectEndedInOrder(ChildProcess& server) {
        DWORD code = 1;
        EXPECT_TRUE(server.WaitForExit(kDeadlineMs, &code));
        EXPECT_EQ(code, 0u);
        EXPECT_EQ(sandbox_.CountInLog(kUnloaded), 1);
        EXPECT_FALSE(ServerMutexExists());
        EXPECT_EQ(FindServerWindow(), nullptr);
    }
};

TEST_F(ServerLifecycle, FirstStartLogsItsCommandLineThenLoaded) {
    ChildProcess& server = StartServer();
    const std::string log = sandbox_.Log();
    const size_t started = log.find(CommandLineLine(""));
    ASSERT_NE(started, std::string::npos) << log;
    EXPECT_LT(started, log.find(kLoaded));
    EXPECT_TRUE(ServerMutexExists());
    EXPECT_TRUE(server.IsRunning());
    // Each log line starts with "hh:mm:ss.mmm ".
    EXPECT_EQ(log[2], ':');
    EXPECT_EQ(log[12], ' ');
}

TEST_F(ServerLifecycle, SwitchAStartsASecondRunThatFindsTheFirst) {
    ChildProcess& server = StartServer();
    HWND window = FindServerWindow();
    EXPECT_EQ(sandbox_.Run("/a"), 0u);
    EXPECT_EQ(sandbox_.CountInLog(kAlreadyRunning), 1);
    EXPECT_EQ(sandbox_.CountInLog(kLoaded), 1);
    EXPECT_TRUE(server.IsRunning());
    EXPECT_EQ(FindServerWindow(), window);

    EXPECT_EQ(sandbox_.Run("-A"), 0u);
    EXPECT_EQ(sandbox_.CountInLog(kAlreadyRunning), 2);
}

TEST_F(ServerLifecycle, PlainSecondStartOnlyHandsOverToTheRunningServer) {
    ChildProcess& server = StartServer();
    EXPECT_EQ(sandbox_.Run(""), 0u);
    EXPECT_EQ(sandbox_.CountInLog(CommandLineLine("")), 2);
    EXPECT_EQ(sandbox_.CountInLog(kAlreadyRunning), 0);  // it never tried to run a server
    EXPECT_EQ(sandbox_.CountInLog(kLoaded), 1);
    EXPECT_TRUE(server.IsRunning());
}

TEST_F(ServerLifecycle, UnknownWordsAndBlanksStartNothing) {
    EXPECT_EQ(sandbox_.Run("hello"), 0u);
    EXPECT_EQ(sandbox_.Run("   "), 0u);
    EXPECT_EQ(sandbox_.CountInLog(CommandLineLine("hello")), 1);
    EXPECT_EQ(sandbox_.CountInLog(CommandLineLine("   ")), 1);  // blanks are arguments too
    EXPECT_EQ(sandbox_.CountInLog(kLoaded), 0);
    EXPECT_EQ(FindServerWindow(), nullptr);
    EXPECT_FALSE(ServerMutexExists());
}

TEST_F(ServerLifecycle, SwitchKUnloadsTheRunningServer) {
    ChildProcess& server = StartServer();
    EXPECT_EQ(sandbox_.Run("/k"), 0u);
    ExpectEndedInOrder(server);
    const std::string log = sandbox_.Log();
    EXPECT_LT(log.find(kUnloading), log.find(kUnloaded));
}

// What a server whose window thread is stuck looks like from outside: it
// holds the mutex and has its window, and never takes a message. The window
// belongs to the test's thread, which takes none while "/k" runs.
class StuckServer {
public:
    StuckServer() {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = ::DefWindowProcA;
        windowClass.hInstance = ::GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kServerName;
        ::RegisterClassA(&windowClass);
        window_ = ::CreateWindowA(kServerName, "", 0, 0, 0, 0, 0, nullptr, nullptr, windowClass.hInstance, nullptr);
        mutex_ = ::CreateMutexA(nullptr, FALSE, kServerName);
    }
    ~StuckServer() {
        ::CloseHandle(mutex_);
        ::DestroyWindow(window_);
        ::UnregisterClassA(kServerName, ::GetModuleHandleA(nullptr));
    }
    bool Ready() const { return window_ != nullptr && mutex_ != nullptr && FindServerWindow() == window_; }

private:
    HWND window_ = nullptr;
    HANDLE mutex_ = nullptr;
};

TEST_F(ServerLifecycle, SwitchKGivesUpOnAServerThatDoesNotEndAndSaysSo) {
    StuckServer stuck;
    ASSERT_TRUE(stuck.Ready());
    const ULONGLONG started = ::GetTickCount64();
    EXPECT_EQ(sandbox_.Run("/k", 200000), 1u);
    const ULONGLONG waited = ::GetTickCount64() - started;
    EXPECT_GE(waited, 150000u);
    EXPECT_LT(waited, 180000u);
    EXPECT_EQ(sandbox_.CountInLog("Watchdog Server не выгрузился из памяти за 150 с!"), 1) << sandbox_.Log();
    EXPECT_TRUE(ServerMutexExists());  // nothing of the stuck server was touched but its messages
}

TEST_F(ServerLifecycle, SwitchKWithoutAServerReturnsAtOnce) {
    EXPECT_EQ(sandbox_.Run("-kill"), 0u);
    EXPECT_EQ(sandbox_.CountInLog(kUnloading), 1);
    EXPECT_EQ(sandbox_.CountInLog(kUnloaded), 0);
}

TEST_F(ServerLifecycle, CloseMessageEndsTheServerInOrder) {
    ChildProcess& server = StartServer();
    ::PostMessageA(FindServerWindow(), WM_CLOSE, 0, 0);
    ExpectEndedInOrder(server);
}

TEST_F(ServerLifecycle, TrayUnloadItemEndsTheServerInOrder) {
    ChildProcess& server = StartServer();
    ::PostMessageA(FindServerWindow(), WM_COMMAND, 40004, 0);
    ExpectEndedInOrder(server);
}

TEST_F(ServerLifecycle, EndOfSessionQueryIsAnsweredYes) {
    StartServer();
    DWORD_PTR answer = 0;
    ASSERT_TRUE(::SendMessageTimeoutA(FindServerWindow(), WM_QUERYENDSESSION, 0, 0, SMTO_BLOCK, kDeadlineMs,
                                      &answer));
    EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));
}

TEST_F(ServerLifecycle, LogSwitchedOffWritesNoFolderAndNoFile) {
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "Log", 0));
    EXPECT_EQ(sandbox_.Run("hello"), 0u);
    ChildProcess& server = sandbox_.Start("");
    ASSERT_NE(WaitForServerWindow(), nullptr);
    ::PostMessageA(FindServerWindow(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(server.WaitForExit(kDeadlineMs));
    EXPECT_EQ(::GetFileAttributesA(sandbox_.LogFolder().c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace mrwd::testing
