// The server as an NT service under Wine's service manager: installed,
// started, supervising, unloaded and removed through its own switches. Runs
// in a prefix of its own with the simulated card: an installed service would
// start with every program of a shared prefix.
//
// Wine has one session, so the service and the test share the mutex and
// window namespaces: what these tests cannot show is "/k" reaching a service
// in another session, only that it goes through the service manager.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "app/win/server_process.h"
#include "supervision/win/module_store.h"
#include "tests/harness/win_harness.h"

namespace mrwd::testing {
namespace {

const char kInstalled[] = "Сервис Marotel ZedevUdo Server установлен!";
const char kStarted[] = "Сервис Marotel ZedevUdo Server запущен!";
const char kRunningAsService[] = "Watchdog server запущен как сервис.";
const char kLoaded[] = "Watchdog сервер загружен.";
const char kUnloaded[] = "Watchdog сервер выгружен.";

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

UniqueServiceHandle OpenServerService(DWORD access) {
    UniqueServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return UniqueServiceHandle();
    return UniqueServiceHandle(::OpenServiceA(manager.get(), kServerName, access));
}

// The service's state; 0 when it is not installed.
DWORD ServiceState() {
    UniqueServiceHandle service = OpenServerService(SERVICE_QUERY_STATUS);
    SERVICE_STATUS status{};
    return service && ::QueryServiceStatus(service.get(), &status) ? status.dwCurrentState : 0;
}

bool WaitForServiceState(DWORD state) {
    return WaitUntil([&] { return ServiceState() == state; }, kDeadlineMs);
}

// Stops and deletes the service without the server's help: no test may
// leave it behind.
void RemoveServiceDirectly() {
    UniqueServiceHandle service = OpenServerService(SERVICE_ALL_ACCESS);
    if (!service) return;
    SERVICE_STATUS status{};
    ::ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
    EXPECT_TRUE(WaitForServiceState(SERVICE_STOPPED));
    ::DeleteService(service.get());
    service.reset();
    EXPECT_TRUE(WaitUntil([] { return ServiceState() == 0; }, kDeadlineMs));
}

// The states the service passes through, seen by polling as fast as the
// service manager answers, until it has stopped.
class StateWatcher {
public:
    StateWatcher() : thread_([this] { Watch(); }) {}
    ~StateWatcher() { Finish(); }
    std::vector<DWORD> Finish() {
        if (thread_.joinable()) thread_.join();
        return seen_;
    }

private:
    void Watch() {
        const DWORD start = ::GetTickCount();
        while (::GetTickCount() - start < kDeadlineMs) {
            const DWORD state = ServiceState();
            if (seen_.empty() || seen_.back() != state) seen_.push_back(state);
            if (state == SERVICE_STOPPED || state == 0) return;
            ::Sleep(1);
        }
    }
    std::vector<DWORD> seen_;
    std::thread thread_;
};

std::string LastLine(const std::string& log) {
    const size_t end = log.find_last_not_of("\r\n");
    if (end == std::string::npos) return std::string();
    const size_t begin = log.rfind('\n', end);
    return log.substr(begin == std::string::npos ? 0 : begin + 1, end + 1 - (begin == std::string::npos ? 0 : begin + 1));
}

class Service : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim_.Available()) << "run through tests/harness/with-cardsim --prefix prefix-service";
        RemoveServiceDirectly();
        // The service reads the machine's settings; the key must exist.
        ASSERT_TRUE(RegistryWriteDword(HKEY_LOCAL_MACHINE, "CheckContr", 1));
    }
    void TearDown() override { RemoveServiceDirectly(); }

    // Installs and starts the service; true once the server in it runs.
    bool InstallAndStart() {
        EXPECT_EQ(sandbox_.Run("/i /s"), 0u);
        return WaitForServiceState(SERVICE_RUNNING) && sandbox_.WaitForLog(kLoaded);
    }

    CleanSettings clean_;
    // A blank in the folder's name: the service's command line must quote it.
    ServerSandbox sandbox_{"Service Test " + TestName()};
    CardSimulator sim_;
};

TEST_F(Service, InstallCreatesAQuotedAutoStartServiceOnce) {
    EXPECT_EQ(sandbox_.Run("/i"), 0u);
    EXPECT_TRUE(sandbox_.WaitForLog(kInstalled));
    UniqueServiceHandle service = OpenServerService(SERVICE_QUERY_CONFIG);
    ASSERT_TRUE(service.valid());
    std::vector<BYTE> buffer(8192);
    DWORD needed = 0;
    ASSERT_TRUE(::QueryServiceConfigA(service.get(), reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data()),
                                      static_cast<DWORD>(buffer.size()), &needed));
    const auto* config = reinterpret_cast<const QUERY_SERVICE_CONFIGA*>(buffer.data());
    EXPECT_EQ(config->dwServiceType, 0x110u);
    EXPECT_EQ(config->dwStartType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(config->dwErrorControl, static_cast<DWORD>(SERVICE_ERROR_NORMAL));
    EXPECT_STREQ(config->lpBinaryPathName, ("\"" + sandbox_.ExePath() + "\" -srv").c_str());
    EXPECT_STREQ(config->lpDisplayName, kServerName);
    EXPECT_STREQ(config->lpServiceStartName, "LocalSystem");

    ASSERT_TRUE(::QueryServiceConfig2A(service.get(), SERVICE_CONFIG_DESCRIPTION, buffer.data(),
                                       static_cast<DWORD>(buffer.size()), &needed));
    const char* description = reinterpret_cast<const SERVICE_DESCRIPTIONA*>(buffer.data())->lpDescription;
    ASSERT_NE(description, nullptr);
    EXPECT_EQ(Utf8FromCp1251(description).rfind("Следит за работой программ", 0), 0u) << description;
    // Wine takes the restarts after a crash without keeping them (it cannot
    // report them back); where they are kept, they must be ours.
    if (::QueryServiceConfig2A(service.get(), SERVICE_CONFIG_FAILURE_ACTIONS, buffer.data(),
                               static_cast<DWORD>(buffer.size()), &needed)) {
        const auto* actions = reinterpret_cast<const SERVICE_FAILURE_ACTIONSA*>(buffer.data());
        EXPECT_EQ(actions->dwResetPeriod, 86400u);
        ASSERT_GE(actions->cActions, 1u);
        EXPECT_EQ(actions->lpsaActions[0].Type, SC_ACTION_RESTART);
    }
    EXPECT_EQ(sandbox_.CountInLog("перезапуск после сбоя не задан"), 0) << sandbox_.Log();

    // A second installation fails and says so; the first one stays.
    EXPECT_EQ(sandbox_.Run("/install"), 0u);
    EXPECT_TRUE(sandbox_.WaitForLog("Ошибка установки сервиса Marotel ZedevUdo Server!"));
    EXPECT_EQ(ServiceState(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(sandbox_.CountInLog(kInstalled), 1);
}

TEST_F(Service, RunsTheServerFromTheMachineSettingsAndUnloadsThroughTheManager) {
    ASSERT_TRUE(InstallAndStart()) << sandbox_.Log();
    EXPECT_EQ(sandbox_.CountInLog(kStarted), 1);
    EXPECT_EQ(sandbox_.CountInLog(kRunningAsService), 1);
    HWND window = WaitForServerWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(sim_.WaitForCommand("card", "T10"));

    // A program registers with the service's window; its record goes to the machine's list.
    const std::string app = sandbox_.AddProgram("registers.exe");
    ChildProcess& program = sandbox_.StartProgram(app, "--interval 25");
    EXPECT_TRUE(sandbox_.WaitForLog("Зарегистрировался для контроля процесс " + std::to_string(program.Id()) + ", "))
        << sandbox_.Log();
    ModuleList machine;
    EXPECT_TRUE(WaitUntil([&] {
        machine.Clear();
        ModuleStore(HKEY_LOCAL_MACHINE).Load(machine);
        return machine.Find(app) != nullptr;
    }, kDeadlineMs));
    ModuleList user;
    ModuleStore(HKEY_CURRENT_USER).Load(user);
    EXPECT_EQ(user.Find(app), nullptr);

    // One server per machine: the service holds the machine-wide name too, and
    // a desktop copy gives way.
    UniqueHandle machineMutex(::OpenMutexA(SYNCHRONIZE, FALSE, "Global\\Marotel ZedevUdo Server"));
    EXPECT_TRUE(machineMutex.valid());
    machineMutex.reset();
    EXPECT_EQ(sandbox_.Run("/a"), 0u);
    EXPECT_TRUE(sandbox_.WaitForLog("Watchdog сервер уже выполняется!"));

    std::vector<DWORD> states;
    {
        StateWatcher watcher;
        EXPECT_EQ(sandbox_.Run("/k"), 0u);
        states = watcher.Finish();
    }
    // "/k" returns once the service has stopped, passing through STOP_PENDING.
    ASSERT_GE(states.size(), 2u);
    EXPECT_EQ(states.back(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(states[states.size() - 2], static_cast<DWORD>(SERVICE_STOP_PENDING));
    EXPECT_EQ(ServiceState(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_NE(LastLine(sandbox_.Log()).find(kUnloaded), std::string::npos) << sandbox_.Log();
    EXPECT_EQ(sim_.Commands("card").back(), "C");
    EXPECT_EQ(sim_.CountCommands("card", "C"), 1);
    EXPECT_FALSE(ServerMutexExists());
    EXPECT_EQ(FindServerWindow(), nullptr);
}

TEST_F(Service, RemoveUnloadsTheRunningServiceThenDeletesIt) {
    ASSERT_TRUE(InstallAndStart()) << sandbox_.Log();
    EXPECT_EQ(sandbox_.Run("-remove"), 0u);
    EXPECT_EQ(ServiceState(), 0u);
    const std::string log = sandbox_.Log();
    const size_t unloaded = log.find(kUnloaded);
    const size_t removed = log.find("Сервис Marotel ZedevUdo Server удален!");
    ASSERT_NE(unloaded, std::string::npos) << log;
    ASSERT_NE(removed, std::string::npos) << log;
    EXPECT_LT(unloaded, removed);
    EXPECT_FALSE(ServerMutexExists());
}

TEST_F(Service, SupervisesAHungProgramAsTheDesktopDoes) {
    const std::string app = sandbox_.AddProgram("hangs.exe");
    ModuleEntry entry = RegisteredEntry(10000);
    entry.Parameters = "--hang-after 0";
    ASSERT_TRUE(ModuleStore(HKEY_LOCAL_MACHINE).Store(app, entry));
    ASSERT_TRUE(InstallAndStart()) << sandbox_.Log();
    const std::string restart = "Перезапуск номер 1, программы " + Utf8FromCp1251(app) + ".";
    EXPECT_TRUE(sandbox_.WaitForLog(restart, 1, 60000)) << sandbox_.Log();
    // The hung copy was killed: one runs.
    EXPECT_TRUE(WaitUntil([&] { return ServerSandbox::CountProcesses(app) == 1; }, kDeadlineMs));
}

TEST_F(Service, CommandsWithoutAnInstalledServiceFailCleanly) {
    EXPECT_EQ(sandbox_.Run("/s"), 0u);
    EXPECT_TRUE(sandbox_.WaitForLog("Ошибка запуска сервиса Marotel ZedevUdo Server!"));
    // A removal that failed tells whoever ran it by its exit code.
    EXPECT_EQ(sandbox_.Run("/r"), 1u);
    EXPECT_TRUE(sandbox_.WaitForLog("Ошибка удаления сервиса Marotel ZedevUdo Server!"));
    EXPECT_EQ(sandbox_.Run("/k"), 0u);
    EXPECT_EQ(sandbox_.CountInLog("Выгрузка Watchdog Server из памяти..."), 2);
    // Started by hand instead of by the service manager: it says so and ends
    // without running the server.
    EXPECT_EQ(sandbox_.Run("-SRV"), 0u);
    EXPECT_EQ(sandbox_.CountInLog(kRunningAsService), 1);
    EXPECT_EQ(sandbox_.CountInLog(kLoaded), 0) << sandbox_.Log();
}

}  // namespace
}  // namespace mrwd::testing
