// A reboot through the card while its mail is slow on its way: the real
// mrwd.exe with the simulated card and a mail server that takes 3 s for
// every reply.
#include <gtest/gtest.h>

#include <filesystem>

#include "supervision/core/module_entry.h"
#include "supervision/win/module_store.h"
#include "tests/harness/mail_account.h"
#include "tests/harness/mail_servers.h"
#include "tests/harness/win_harness.h"

namespace mrwd::testing {
namespace {

const char kCardRebootLine[] = "Перезагрузка Windows при помощи контроллера...";

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

class RebootWithSlowMail : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim_.Available()) << "run through tests/harness/with-mailservers --with-cardsim";
        ASSERT_TRUE(mail_.Available()) << "run through tests/harness/with-mailservers --with-cardsim";
        ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "Log", 1));
        ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "NotifyReboot", 1));
        ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "HardReboot", 1));
        ASSERT_TRUE(StoreMailAccount(mail_.SmtpPort(), "watchdog", "secret"));
        mail_.SetScript("delay_ms 3000");

        // Checked through its window, which stops answering at once: the
        // first failure brings the reboot.
        ModuleEntry entry;
        entry.NoAliveSupport = 1;
        entry.CheckInterval = 2000;
        entry.RebootAfter = 1;
        entry.Parameters = "--no-alive --window --freeze-after 300";
        ASSERT_TRUE(ModuleStore(HKEY_CURRENT_USER).Store(sandbox_.AddProgram("freezes.exe"), entry));
    }

    ChildProcess& StartServer() {
        ChildProcess& server = sandbox_.Start("");
        EXPECT_TRUE(sandbox_.WaitForLog("Watchdog сервер загружен."));
        return server;
    }

    CleanSettings clean_;
    ServerSandbox sandbox_{TestName()};
    CardSimulator sim_;
    ScriptedMailServer mail_;
};

TEST_F(RebootWithSlowMail, UnloadWhileTheRebootMailIsOnItsWayEndsTheServerInOrder) {
    ChildProcess& server = StartServer();
    // Logged right before the reboot mail, which now takes half a minute or more.
    ASSERT_TRUE(sandbox_.WaitForLog(kCardRebootLine, 1, 90000)) << sandbox_.Log();
    EXPECT_EQ(sandbox_.Run("/k", 240000), 0u);
    DWORD code = 1;
    ASSERT_TRUE(server.WaitForExit(kDeadlineMs, &code));
    EXPECT_EQ(code, 0u) << "the server crashed on its way out";
    EXPECT_TRUE(sandbox_.WaitForLog("Watchdog сервер выгружен.")) << sandbox_.Log();
}

// The controller goes on feeding the card while the reboot mails take their
// time, and the card gets its reset order, never a release.
TEST_F(RebootWithSlowMail, TheCardIsResetNotReleasedWhateverTheMailTakes) {
    ChildProcess& server = StartServer();
    ASSERT_TRUE(sandbox_.WaitForLog(kCardRebootLine, 1, 90000)) << sandbox_.Log();
    // Two mails of about thirty seconds each, then the order; then the server ends by itself.
    ASSERT_TRUE(server.WaitForExit(240000)) << sandbox_.Log();
    EXPECT_EQ(sim_.CountCommands("card", "R"), 1) << sim_.Traffic();
    EXPECT_EQ(sim_.CountCommands("card", "C"), 0) << sim_.Traffic();
    EXPECT_TRUE(sandbox_.WaitForLog("Watchdog сервер выгружен."));
}

// Windows ends the session while the engine is busy with a slow mail: the
// reboot marker goes at once, before anything waits for the engine, so a
// process ended by Windows leaves no false "hardware reboot" behind.
TEST_F(RebootWithSlowMail, EndOfSessionDeletesTheRebootMarkerFirst) {
    StartServer();
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(sandbox_.MarkerPath()); }, kDeadlineMs));
    ASSERT_TRUE(sandbox_.WaitForLog(kCardRebootLine, 1, 90000)) << sandbox_.Log();
    const HWND window = FindServerWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(::PostMessageA(window, WM_QUERYENDSESSION, 0, 0));
    ASSERT_TRUE(::PostMessageA(window, WM_ENDSESSION, TRUE, 0));
    EXPECT_TRUE(WaitUntil([&] { return !std::filesystem::exists(sandbox_.MarkerPath()); }, 10000))
        << "the marker waited for the engine's mail";
}

}  // namespace
}  // namespace mrwd::testing
