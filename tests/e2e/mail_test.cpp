// The server's mail end to end: the real mrwd.exe under Wine sends through a
// real SMTP server with AUTH LOGIN, and the mail is read back by a standard
// parser on the other side.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "supervision/core/module_entry.h"
#include "supervision/win/module_store.h"
#include "tests/harness/mail_account.h"
#include "tests/harness/mail_servers.h"
#include "tests/harness/win_harness.h"

namespace mrwd::testing {
namespace {

const char kLoaded[] = "Watchdog сервер загружен.";
const char kFrom[] = "Сообщение от Marotel ZedevUdo Server:\r\n\r\n\t";
const char kSignature[] = "\r\n\r\n--\r\n\r\nТехническая поддержка:\tmailto:support@marotel.example";
const char kRebootSubject[] = "Перезагрузка системы";

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

std::string Restart(int number, const std::string& path) {
    return "Перезапуск номер " + std::to_string(number) + ", программы " + Utf8FromCp1251(path) + ".";
}

// A program checked through its window, which stops answering soon after its start.
ModuleEntry FreezingProgram() {
    ModuleEntry entry;
    entry.NoAliveSupport = 1;
    entry.CheckInterval = 2000;
    entry.Parameters = "--no-alive --window --freeze-after 300";
    return entry;
}

SYSTEMTIME DaysFromToday(int days) {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    FILETIME file;
    ::SystemTimeToFileTime(&now, &file);
    ULARGE_INTEGER t{{file.dwLowDateTime, file.dwHighDateTime}};
    t.QuadPart += static_cast<LONGLONG>(days) * 24 * 3600 * 10000000LL;
    file = {t.LowPart, t.HighPart};
    SYSTEMTIME shifted;
    ::FileTimeToSystemTime(&file, &shifted);
    return shifted;
}

std::string DayFile(const SYSTEMTIME& day) {
    char name[32];
    std::snprintf(name, sizeof name, "%02d-%02d-%02d.txt", day.wDay, day.wMonth, day.wYear % 100);
    return name;
}

class Mail : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(real_.Available()) << "run under with-mailservers";
        ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "Log", 1));
    }

    void ConfigureMail(const char* password = nullptr) {
        ASSERT_TRUE(StoreMailAccount(real_.Port(), real_.User(), password != nullptr ? password : real_.Password()));
    }
    ChildProcess& StartServer() {
        ChildProcess& server = sandbox_.Start("");
        EXPECT_TRUE(sandbox_.WaitForLog(kLoaded));
        return server;
    }
    bool Logged(const std::string& text, DWORD timeoutMs = 40000) { return sandbox_.WaitForLog(text, 1, timeoutMs); }
    void LeaveRebootMarker() { std::ofstream(sandbox_.MarkerPath()) << ""; }

    CleanSettings clean_;
    ServerSandbox sandbox_{TestName()};
    ModuleStore store_{HKEY_CURRENT_USER};
    RealMailServer real_;
};

TEST_F(Mail, WithoutMailSettingsNothingIsSaidAboutMail) {
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "NotifyReboot", 1));
    const std::string app = sandbox_.AddProgram("freezes.exe");
    ModuleEntry entry = FreezingProgram();
    entry.Notify = 1;
    ASSERT_TRUE(store_.Store(app, entry));
    LeaveRebootMarker();
    StartServer();
    ASSERT_TRUE(Logged("Была произведена аппаратная перезагрузка системы!"));
    ASSERT_TRUE(Logged(Restart(2, app)));
    const std::string log = sandbox_.Log();
    for (const char* line : {"Отправка уведомления", "Уведомление успешно", "Ошибка уведомления"}) {
        EXPECT_EQ(log.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(real_.MailCount(), 0u);
}

TEST_F(Mail, FailuresAreMailedFromTheThirdOn) {
    ConfigureMail();
    const std::string app = sandbox_.AddProgram("freezes.exe");
    ModuleEntry entry = FreezingProgram();
    entry.Notify = 1;
    entry.NotifyAfter = 3;
    ASSERT_TRUE(store_.Store(app, entry));
    StartServer();
    ASSERT_TRUE(Logged(Restart(4, app), 90000));
    ASSERT_TRUE(real_.WaitForMails(2, kDeadlineMs));
    for (int failure : {3, 4}) {
        const DeliveredMail mail = real_.Mail(failure - 3);
        EXPECT_EQ(mail.fields.at("subject"), "Сбой программы");
        EXPECT_EQ(mail.body, kFrom + Restart(failure, app) + kSignature + "\r\n");
    }
    // One line 81 and one line 82 per mail; the restarts themselves are all logged.
    ::Sleep(1000);
    const std::string log = sandbox_.Log();
    const int sent = sandbox_.CountInLog("Уведомление успешно отправлено.");
    EXPECT_EQ(sandbox_.CountInLog("Отправка уведомления на адрес operator@kiosk.example."), sent);
    EXPECT_EQ(static_cast<std::size_t>(sent), real_.MailCount());
    EXPECT_NE(log.find(Restart(1, app)), std::string::npos);
    EXPECT_NE(log.find(Restart(2, app)), std::string::npos);
}

TEST_F(Mail, HangBeforeARebootSendsBothMailsApartBeforeTheEnd) {
    ConfigureMail();
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "NotifyReboot", 1));
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "HardReboot", 1));
    const std::string app = sandbox_.AddProgram("freezes.exe");
    ModuleEntry entry = FreezingProgram();
    entry.RebootAfter = 1;
    ASSERT_TRUE(store_.Store(app, entry));
    ChildProcess& server = StartServer();
    // The server ends after ordering the reset through the controller.
    ASSERT_TRUE(server.WaitForExit(90000));
    ASSERT_EQ(real_.MailCount(), 2u) << "both mails left before the server ended\n" << sandbox_.Log();

    std::vector<std::string> bodies;
    for (std::size_t i = 0; i < 2; ++i) {
        const DeliveredMail mail = real_.Mail(i);
        EXPECT_EQ(mail.fields.at("subject"), kRebootSubject);
        bodies.push_back(mail.body);
    }
    std::sort(bodies.begin(), bodies.end());
    std::vector<std::string> expected = {
        kFrom + std::string("Перезагрузка компьютера! Зависание программы ") + Utf8FromCp1251(app) + "." +
            kSignature + "\r\n",
        kFrom + std::string("Перезагрузка Windows при помощи контроллера...") + kSignature + "\r\n",
    };
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(bodies, expected);
    // Two dialogues, one after the other.
    const std::vector<MailSession> sessions = real_.Sessions();
    ASSERT_EQ(sessions.size(), 2u);
    EXPECT_TRUE(SessionsApart(sessions));
}

TEST_F(Mail, LeftoverRebootMarkerIsMailed) {
    ConfigureMail();
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "NotifyReboot", 1));
    LeaveRebootMarker();
    StartServer();
    ASSERT_TRUE(real_.WaitForMails(1, kDeadlineMs));
    const DeliveredMail mail = real_.Mail(0);
    EXPECT_EQ(mail.fields.at("subject"), kRebootSubject);
    EXPECT_EQ(mail.body, kFrom + std::string("Была произведена аппаратная перезагрузка системы!") + kSignature + "\r\n");
    EXPECT_EQ(mail.fields.at("from"), "MR ZedevUdo Server <watchdog@kiosk.example>");
    EXPECT_EQ(mail.fields.at("to"), "operator@kiosk.example");
    EXPECT_TRUE(Logged("Уведомление успешно отправлено."));
}

TEST_F(Mail, YesterdaysLogIsMailedOnceOnTheNewDay) {
    ConfigureMail();
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "SendLog", 1));
    const SYSTEMTIME yesterday = DaysFromToday(-1);
    const SYSTEMTIME today = DaysFromToday(0);
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "LastDay", yesterday.wDay));
    ::CreateDirectoryA(sandbox_.LogFolder().c_str(), nullptr);
    std::string yesterdaysLog;
    for (int i = 0; i < 40; ++i) {
        yesterdaysLog += Cp1251FromUtf8("23:59:" + std::to_string(10 + i) + ".000 Вчерашняя запись номер " +
                                        std::to_string(i) + "\r\n");
    }
    std::ofstream(sandbox_.LogFolder() + "\\" + DayFile(yesterday), std::ios::binary) << yesterdaysLog;

    StartServer();
    ASSERT_TRUE(real_.WaitForMails(1, kDeadlineMs));
    const DeliveredMail mail = real_.Mail(0);
    EXPECT_EQ(mail.fields.at("subject"), "Журнал");
    EXPECT_EQ(mail.body, kFrom + std::string("Файл журнала за последние сутки.") + kSignature);
    ASSERT_EQ(mail.attachments.size(), 1u);
    EXPECT_EQ(mail.attachments[0].first, DayFile(yesterday));
    EXPECT_EQ(mail.attachments[0].second, yesterdaysLog);
    EXPECT_TRUE(Logged("Отправка файла журнала за прошедшие сутки."));
    DWORD lastDay = 0;
    EXPECT_TRUE(WaitUntil([&] { return RegistryReadDword(HKEY_CURRENT_USER, "LastDay", &lastDay) && lastDay == today.wDay; },
                          kDeadlineMs));

    // The next start on the same day sends nothing more.
    EXPECT_EQ(sandbox_.Run("/k"), 0u);
    StartServer();
    ::Sleep(3 * 2000);
    EXPECT_EQ(real_.MailCount(), 1u);
    EXPECT_EQ(sandbox_.CountInLog("Отправка файла журнала за прошедшие сутки."), 1);
}

TEST_F(Mail, FirstStartStoresTodayAndMailsNoLog) {
    ConfigureMail();
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "SendLog", 1));
    StartServer();
    DWORD lastDay = 0;
    ASSERT_TRUE(WaitUntil([&] { return RegistryReadDword(HKEY_CURRENT_USER, "LastDay", &lastDay); }, kDeadlineMs));
    EXPECT_EQ(lastDay, DaysFromToday(0).wDay);
    ::Sleep(3 * 2000);
    EXPECT_EQ(real_.MailCount(), 0u);
}

TEST_F(Mail, RefusedPasswordIsLoggedInTheServersWords) {
    ConfigureMail("not-the-password");
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "NotifyReboot", 1));
    LeaveRebootMarker();
    StartServer();
    ASSERT_TRUE(Logged("Ошибка уведомления!\r\nОписание ошибки: 535 5.7.8 Authentication credentials invalid\r\n"))
        << sandbox_.Log();
    EXPECT_NE(sandbox_.Log().find("Текст сообщения: " + std::string(kFrom) + "Была произведена"), std::string::npos);
    EXPECT_EQ(real_.MailCount(), 0u);
}

// "/k" while a mail crawls along on a server that takes 25 s for every
// reply: the server waits its while, then breaks the mail off with a line in
// the log and ends in order; no mail thread outlives it.
TEST_F(Mail, UnloadBreaksOffAMailStuckOnASlowServer) {
    ScriptedMailServer slow;
    ASSERT_TRUE(slow.Available());
    slow.SetScript("delay_ms 25000");
    ASSERT_TRUE(StoreMailAccount(slow.SmtpPort(), "watchdog", "secret"));
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "NotifyReboot", 1));
    LeaveRebootMarker();  // the hardware-reboot mail goes out at the start
    ChildProcess& server = StartServer();
    ASSERT_TRUE(Logged("Отправка уведомления на адрес operator@kiosk.example."));
    ASSERT_TRUE(WaitUntil([&] { return slow.Sessions().size() == 1; }, kDeadlineMs));
    EXPECT_EQ(sandbox_.Run("/k", 180000), 0u);
    DWORD code = 1;
    ASSERT_TRUE(server.WaitForExit(kDeadlineMs, &code));
    EXPECT_EQ(code, 0u);
    const std::string log = sandbox_.Log();
    const std::size_t failed = log.find("Ошибка уведомления!\r\nОписание ошибки: Socket receive error: 10004");
    const std::size_t unloaded = log.find("Watchdog сервер выгружен.");
    ASSERT_NE(failed, std::string::npos) << log;
    ASSERT_NE(unloaded, std::string::npos) << log;
    EXPECT_LT(failed, unloaded);
}

// Interoperability: the real server (aiosmtpd) that takes AUTH only after
// STARTTLS, with the test authority in the prefix's root store.
TEST_F(Mail, RealServerRequiringStartTlsTakesTheMail) {
    ASSERT_NE(real_.TlsPort(), 0);
    ASSERT_TRUE(TrustTestAuthority());
    ASSERT_TRUE(StoreMailAccount(real_.TlsPort(), real_.User(), real_.Password(), MailSecurity::StartTls));
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "NotifyReboot", 1));
    LeaveRebootMarker();
    StartServer();
    ASSERT_TRUE(real_.WaitForMails(1, kDeadlineMs)) << sandbox_.Log();
    const DeliveredMail mail = real_.Mail(0);
    EXPECT_EQ(mail.fields.at("subject"), kRebootSubject);
    EXPECT_EQ(mail.body, kFrom + std::string("Была произведена аппаратная перезагрузка системы!") + kSignature + "\r\n");
    EXPECT_TRUE(Logged("Уведомление успешно отправлено."));
}

// Restart notices raised while the mail server turns every connection away
// are kept in the outbox; after the server comes up they arrive once each, in
// the order raised, across a restart of mrwd.exe.
TEST_F(Mail, NoticesKeptWhileTheServerIsDownArriveOnceInOrderAfterARestart) {
    ScriptedMailServer down;
    ASSERT_TRUE(down.Available());
    down.SetScript("mode drop");
    ASSERT_TRUE(StoreMailAccount(down.SmtpPort(), "watchdog", "secret"));
    const std::string app = sandbox_.AddProgram("freezes.exe");
    ModuleEntry entry = FreezingProgram();
    entry.Notify = 1;
    ASSERT_TRUE(store_.Store(app, entry));
    StartServer();
    const char kKept[] = "Уведомление сохранено в папке Outbox и будет отправлено позже.\r\nТекст сообщения: ";
    ASSERT_TRUE(Logged(kKept + std::string(kFrom) + Restart(2, app), 90000)) << sandbox_.Log();
    // No more failures: the program is no longer listed when the server comes back.
    ASSERT_TRUE(store_.Delete(app));
    EXPECT_EQ(sandbox_.Run("/k", 180000), 0u);
    // The engine's own lines, not the mail texts logged with them.
    const int raised = sandbox_.CountInLog("Перезапуск номер") - sandbox_.CountInLog(kFrom + std::string("Перезапуск"));
    ASSERT_GE(raised, 2);

    down.SetScript("");
    StartServer();
    ASSERT_TRUE(Logged("Отправлено уведомление из папки Outbox.", 40000)) << sandbox_.Log();
    ASSERT_TRUE(WaitUntil(
        [&] {
            std::string all;
            for (const MailSession& s : down.Sessions()) all += down.Received(s);
            return all.find(Cp1251FromUtf8(Restart(raised, app))) != std::string::npos;
        },
        kDeadlineMs));
    EXPECT_EQ(sandbox_.Run("/k", 180000), 0u);
    // Every notice once, in the order of its number.
    std::string delivered;
    for (const MailSession& s : down.Sessions()) {
        const std::string bytes = down.Received(s);
        if (bytes.find("\r\n.\r\n") != std::string::npos) delivered += Utf8FromCp1251(bytes);
    }
    std::size_t at = 0;
    for (int n = 1; n <= raised; ++n) {
        const std::string notice = Restart(n, app);
        const std::size_t found = delivered.find(notice, at);
        ASSERT_NE(found, std::string::npos) << n << "\n" << delivered;
        EXPECT_EQ(delivered.find(notice, found + 1), std::string::npos) << "sent twice: " << n;
        at = found;
    }
    EXPECT_TRUE(std::filesystem::is_empty(sandbox_.Folder() + "Outbox"));
}

}  // namespace
}  // namespace mrwd::testing
