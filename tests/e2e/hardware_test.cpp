// The real mrwd.exe with the simulated card and modem on Wine COM ports.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include "supervision/win/module_store.h"
#include "tests/harness/win_harness.h"

namespace mrwd::testing {
namespace {

const char kLoaded[] = "Watchdog сервер загружен.";

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

// The failure window of the server process (null while none is open).
HWND FailureWindow(DWORD serverId) {
    return FindWindowOfProcess(serverId, [](HWND window) {
        wchar_t caption[64] = {};
        ::GetWindowTextW(window, caption, 64);
        return std::wstring(caption) == L"Отказ контроллера перезагрузки MRWD!";
    });
}

int FailureLines(HWND window) {
    return static_cast<int>(::SendMessageA(::GetDlgItem(window, 1043), LB_GETCOUNT, 0, 0));
}

// Stops (or lets go on) every thread of a process: a computer that hangs.
void FreezeProcess(DWORD processId, bool freeze) {
    UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Thread32First(snapshot.get(), &entry); more; more = ::Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID != processId) continue;
        UniqueHandle thread(::OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID));
        if (!thread) continue;
        if (freeze) {
            ::SuspendThread(thread.get());
        } else {
            ::ResumeThread(thread.get());
        }
    }
}

class Hardware : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim_.Available()) << "run through tests/harness/with-cardsim";
        // Report card failures (a missing value would read as 1 too, but the key must exist).
        ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "CheckContr", 1));
    }
    ChildProcess& StartServer() {
        ChildProcess& server = sandbox_.Start("");
        EXPECT_TRUE(sandbox_.WaitForLog(kLoaded));
        return server;
    }
    std::string Started() const {
        return "Контроллер перезагрузки запущен на COM" + std::to_string(sim_.CardPort()) + "!";
    }

    CleanSettings clean_;
    ServerSandbox sandbox_{TestName()};
    CardSimulator sim_;
};

TEST_F(Hardware, CardIsFoundPinnedBeatenAndReleased) {
    ChildProcess& server = StartServer();
    ASSERT_TRUE(sandbox_.WaitForLog(Started()));
    DWORD value = 0;
    ASSERT_TRUE(RegistryReadDword(HKEY_CURRENT_USER, "CustomControllerPort", &value));
    EXPECT_EQ(value, 1u);
    ASSERT_TRUE(RegistryReadDword(HKEY_CURRENT_USER, "ControllerPort", &value));
    EXPECT_EQ(value, static_cast<DWORD>(sim_.CardPort()));

    ASSERT_TRUE(sim_.WaitForCommand("card", "T10", 3));
    const std::vector<std::string> commands = sim_.Commands("card");
    ASSERT_GE(commands.size(), 7u);
    EXPECT_EQ(commands.front(), "?");
    for (size_t i = 1; i + 1 < commands.size(); i += 2) {
        EXPECT_EQ(commands[i], "O");
        EXPECT_EQ(commands[i + 1], "T10");
    }

    EXPECT_EQ(sandbox_.Run("/k"), 0u);
    EXPECT_TRUE(server.WaitForExit(kDeadlineMs));
    EXPECT_EQ(sim_.Commands("card").back(), "C");
    EXPECT_EQ(sim_.CountCommands("card", "C"), 1);
}

TEST_F(Hardware, SilentCardIsReportedOncePerEpisodeAndFoundAgain) {
    ChildProcess& server = StartServer();
    ASSERT_TRUE(sandbox_.WaitForLog(Started()));
    ASSERT_TRUE(sim_.WaitForCommand("card", "T10"));
    sim_.Control("card fault silent");

    HWND window = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (window = FailureWindow(server.Id())) != nullptr; }, kDeadlineMs));
    ASSERT_TRUE(WaitUntil([&] { return FailureLines(window) == 1; }, kDeadlineMs));
    EXPECT_EQ(sim_.CountCommands("card", "C"), 1) << "released when given up";
    // Still silent for several more cycles: still one line.
    const int searches = sim_.CountCommands("card", "?");
    ASSERT_TRUE(WaitUntil([&] { return sim_.CountCommands("card", "?") >= searches + 3; }, kDeadlineMs));
    EXPECT_EQ(FailureLines(window), 1);
    // Esc and the close box leave it open.
    ::PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    ::PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    ::Sleep(500);
    EXPECT_TRUE(::IsWindow(window));

    sim_.Control("card fault none");
    ASSERT_TRUE(sandbox_.WaitForLog(Started(), 2));
    EXPECT_EQ(FailureLines(window), 1);

    // Closed with its button; the next failure opens a fresh window.
    ::PostMessageA(window, WM_COMMAND, 1042, 0);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(window); }, kDeadlineMs));
    sim_.Control("card fault silent");
    HWND next = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (next = FailureWindow(server.Id())) != nullptr; }, kDeadlineMs));
    EXPECT_TRUE(WaitUntil([&] { return FailureLines(next) == 1; }, kDeadlineMs));
    sim_.Control("card fault none");
}

TEST_F(Hardware, FrozenComputerIsResetByTheCard) {
    ChildProcess& server = StartServer();
    ASSERT_TRUE(sim_.WaitForCommand("card", "T10", 2));
    FreezeProcess(server.Id(), true);
    EXPECT_TRUE(sim_.WaitForTraffic("card reset: heartbeats stopped for 10 s", 40000));
    FreezeProcess(server.Id(), false);
}

TEST_F(Hardware, HungModemIsResetThroughTheCard) {
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "Modem", static_cast<DWORD>(sim_.ModemPort())));
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "ControlMdm", 0));
    sim_.Control("modem hang on");
    StartServer();
    ASSERT_TRUE(sandbox_.WaitForLog("Обнаружено зависание модема. Сброс!"));
    ASSERT_TRUE(sandbox_.WaitForLog("Сброс модема произведён успешно."));
    EXPECT_EQ(sim_.CountCommands("card", "M"), 1);
    const std::string log = sandbox_.Log();
    EXPECT_LT(log.find("Проверка модема..."), log.find("Обнаружено зависание модема. Сброс!"));
}

// A modem that never answers makes every check probe, reset and probe again:
// the card must be fed all along, or it resets a healthy computer.
TEST_F(Hardware, DeadModemChecksNeverStarveTheCard) {
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "Modem", static_cast<DWORD>(sim_.ModemPort())));
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "ControlMdm", 0));
    sim_.Control("modem fault silent");
    StartServer();
    ASSERT_TRUE(sandbox_.WaitForLog(Started()));
    // Two whole checks: the reset's reply, its pause and both probes.
    ASSERT_TRUE(sandbox_.WaitForLog("Обнаружено зависание модема. Сброс!", 2, 60000));
    ASSERT_TRUE(sandbox_.WaitForLog("Модем не подключен или не работает!", 2, 60000));
    const int beats = sim_.CountCommands("card", "T10");
    ASSERT_TRUE(sim_.WaitForCommand("card", "T10", beats + 1));
    EXPECT_EQ(sim_.Traffic().find("card reset"), std::string::npos) << sim_.Traffic();
}

// Any program may post the modem reset message as often as it likes; the
// heartbeats keep their own time.
TEST_F(Hardware, BurstOfModemResetMessagesNeverStarvesTheCard) {
    StartServer();
    ASSERT_TRUE(sandbox_.WaitForLog(Started()));
    ASSERT_TRUE(sim_.WaitForCommand("card", "T10"));
    const UINT reset = ::RegisterWindowMessageA("mdm.reset.msg");
    for (int i = 0; i < 25; ++i) {
        ::PostMessageA(FindServerWindow(), reset, 0, 0);
        ::Sleep(800);
    }
    EXPECT_EQ(sim_.Traffic().find("card reset"), std::string::npos) << sim_.Traffic();
}

TEST_F(Hardware, ModemResetMessageForcesAResetThroughTheCard) {
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "Modem", static_cast<DWORD>(sim_.ModemPort())));
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "ControlMdm", 0));
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "MdmCheckTimeout", 1000));  // no periodic check meanwhile
    StartServer();
    ASSERT_TRUE(sandbox_.WaitForLog(Started()));
    const int before = sim_.CountCommands("card", "M");
    ::PostMessageA(FindServerWindow(), ::RegisterWindowMessageA("mdm.reset.msg"), 7, 7);
    ASSERT_TRUE(sandbox_.WaitForLog("Принудительный сброс модема..."));
    ASSERT_TRUE(sim_.WaitForCommand("card", "M", before + 1));
    EXPECT_TRUE(sandbox_.WaitForLog("Сброс модема произведён успешно."));
}

TEST_F(Hardware, ForcedResetWithoutAModemPortFails) {
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "Modem", 0));
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "ControlMdm", 0));
    StartServer();
    ASSERT_TRUE(sandbox_.WaitForLog(Started()));
    ::PostMessageA(FindServerWindow(), ::RegisterWindowMessageA("mdm.reset.msg"), 0, 0);
    ASSERT_TRUE(sandbox_.WaitForLog("Принудительный сброс модема..."));
    EXPECT_TRUE(sandbox_.WaitForLog("Возникла ошибка при сбросе модема!"));
    EXPECT_EQ(sim_.CountCommands("card", "M"), 0);
}

TEST_F(Hardware, ProgramAtItsRebootLimitHasTheCardResetTheComputer) {
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "HardReboot", 1));
    const std::string app = sandbox_.AddProgram("hangs.exe");
    ModuleEntry entry = RegisteredEntry(10000);
    entry.Parameters = "--hang-after 0";
    entry.RebootAfter = 1;
    ASSERT_TRUE(ModuleStore(HKEY_CURRENT_USER).Store(app, entry));

    ChildProcess& server = StartServer();
    ASSERT_TRUE(sandbox_.WaitForLog("Перезагрузка компьютера! Зависание программы " + Utf8FromCp1251(app) + ".", 1, 60000));
    ASSERT_TRUE(sim_.WaitForCommand("card", "R"));
    EXPECT_TRUE(server.WaitForExit(kDeadlineMs)) << "the server closes itself";
    EXPECT_TRUE(sandbox_.WaitForLog("Перезагрузка Windows при помощи контроллера..."));
    EXPECT_EQ(sim_.CountCommands("card", "C"), 0) << "the card must not be released during the reset";
    EXPECT_TRUE(sim_.WaitForTraffic("card reset: reset ordered (R)"));
}

}  // namespace
}  // namespace mrwd::testing
