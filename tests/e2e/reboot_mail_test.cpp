// A reboot through the card while its mail is slow on its way: the real
// mrwd.exe with the simulated card and a mail server that takes 3 s for
// every reply.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace mrwd::testing
