// The Windows 95/98 branch of the service, chosen through the branch argument
// since Wine is an NT system, and the logon autostart entry. Wine's KERNEL32
// has RegisterServiceProcess (as a stub), so a system without it is shown by
// handing the branch none.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>
#include <utility>
#include <vector>

#include "app/win/autostart.h"
#include "app/win/service_run.h"
#include "app/win/service_setup.h"
#include "base/win/executable_path.h"
#include "tests/harness/win_harness.h"

namespace mrwd::testing {
namespace {

constexpr char kValueName[] = "Marotel ZedevUdo Server";

bool ReadString(HKEY root, const char* key, const char* name, std::string* value) {
    char data[512] = {};
    DWORD size = sizeof data - 1;
    if (::RegGetValueA(root, key, name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) return false;
    *value = data;
    return true;
}

bool WriteString(HKEY root, const char* key, const char* name, const std::string& value) {
    return ::RegSetKeyValueA(root, key, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1)) ==
           ERROR_SUCCESS;
}

TEST(Win9xService, WithoutRegisterServiceProcessTheServerDoesNotRun) {
    // Had the server run, it would hold the mutex and this call would not return.
    EXPECT_FALSE(RunServiceProcess(nullptr));
    EXPECT_FALSE(ServerMutexExists());
}

std::vector<std::pair<DWORD, DWORD>> registrations;

DWORD WINAPI RecordRegistration(DWORD processId, DWORD type) {
    registrations.emplace_back(processId, type);
    return 1;
}

TEST(Win9xService, ServiceProcessIsRegisteredWhileTheServerRuns) {
    registrations.clear();
    bool result = false;
    std::thread server([&] { result = RunServiceProcess(RecordRegistration); });
    HWND window = WaitForServerWindow();
    EXPECT_NE(window, nullptr);
    ::PostMessageA(window, WM_QUIT, 0, 0);
    server.join();
    EXPECT_TRUE(result);
    const std::vector<std::pair<DWORD, DWORD>> expected{{0, 1}, {0, 0}};
    EXPECT_EQ(registrations, expected);
    EXPECT_FALSE(ServerMutexExists());
}

TEST(Win9xService, InstallWritesTheRunServicesValueAndRemoveDeletesIt) {
    ASSERT_TRUE(InstallService(ServiceBranch::Win9xServiceProcess));
    std::string command;
    ASSERT_TRUE(ReadString(HKEY_LOCAL_MACHINE, kRunServicesKey, kValueName, &command));
    EXPECT_EQ(command, "\"" + ThisExecutablePath() + "\" -srv");

    EXPECT_TRUE(RemoveService(ServiceBranch::Win9xServiceProcess));
    EXPECT_FALSE(ReadString(HKEY_LOCAL_MACHINE, kRunServicesKey, kValueName, &command));
    EXPECT_FALSE(RemoveService(ServiceBranch::Win9xServiceProcess));
    // Nothing stored, nothing to start.
    EXPECT_FALSE(StartInstalledService(ServiceBranch::Win9xServiceProcess));
}

TEST(Autostart, RunValueIsNamedByTheFileAndHoldsTheFullPath) {
    const std::string kiosk = "C:\\Kiosk Apps\\mrwd.exe";
    ASSERT_TRUE(SetAutostart(true, kiosk));
    std::string stored;
    ASSERT_TRUE(ReadString(HKEY_CURRENT_USER, kRunKey, "mrwd.exe", &stored));
    EXPECT_EQ(stored, "\"" + kiosk + "\"");
    EXPECT_TRUE(IsAutostart(kiosk));
    EXPECT_TRUE(IsAutostart("c:\\kiosk apps\\MRWD.EXE"));
    // A copy of the program elsewhere is not the one that starts.
    EXPECT_FALSE(IsAutostart("D:\\Copy\\mrwd.exe"));

    // The unquoted path earlier versions wrote still counts.
    ASSERT_TRUE(WriteString(HKEY_CURRENT_USER, kRunKey, "mrwd.exe", kiosk));
    EXPECT_TRUE(IsAutostart(kiosk));
    EXPECT_FALSE(IsAutostart("D:\\Copy\\mrwd.exe"));

    ASSERT_TRUE(SetAutostart(false, kiosk));
    EXPECT_FALSE(ReadString(HKEY_CURRENT_USER, kRunKey, "mrwd.exe", &stored));
    EXPECT_FALSE(IsAutostart(kiosk));
    EXPECT_FALSE(SetAutostart(false, kiosk));

    // Without a path: this very program.
    ASSERT_TRUE(SetAutostart(true));
    EXPECT_TRUE(IsAutostart());
    EXPECT_TRUE(SetAutostart(false));
    EXPECT_FALSE(IsAutostart());
}

}  // namespace
}  // namespace mrwd::testing
