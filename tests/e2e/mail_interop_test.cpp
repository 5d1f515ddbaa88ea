// Interoperability with a mail server that operators really run: the real
// mrwd.exe under Wine sends through a private exim from Debian's archive that
// takes AUTH PLAIN only inside STARTTLS, with the test authority in the
// prefix's root store (tests/harness/with-mailservers --with-exim).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/harness/mail_account.h"
#include "tests/harness/mail_servers.h"
#include "tests/harness/win_harness.h"

namespace mrwd::testing {
namespace {

const char kFrom[] = "Сообщение от Marotel ZedevUdo Server:\r\n\r\n\t";
const char kSignature[] = "\r\n\r\n--\r\n\r\nТехническая поддержка:\tmailto:support@marotel.example";

std::string EximLog() { return ReadWholeFile(WindowsPathOf(Environment("MRWD_EXIM_LOG"))); }

// The line of exim's main log that records the arrival of a message from
// `sender` ("<= sender ..."), or "" when there is none.
std::string ArrivalLine(const std::string& log, const std::string& sender) {
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        if (line.find(" <= " + sender + " ") != std::string::npos) return line;
    }
    return "";
}

// The message id exim gives a mail, the third word of its log lines.
std::string MessageId(const std::string& logLine) {
    std::istringstream words(logLine);
    std::string date, time, id;
    words >> date >> time >> id;
    return id;
}

TEST(MailInterop, EximTakesTheRebootNoticeOverStartTlsWithAuthPlain) {
    CleanSettings clean;
    ServerSandbox sandbox{"EximInterop"};
    RealMailServer exim{"MRWD_EXIM"};
    ASSERT_TRUE(exim.Available()) << "run under with-mailservers --with-exim";
    ASSERT_NE(exim.Port(), 0);
    ASSERT_TRUE(TrustTestAuthority());
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "Log", 1));
    ASSERT_TRUE(StoreMailAccount(exim.Port(), exim.User(), exim.Password(), MailSecurity::StartTls));
    ASSERT_TRUE(RegistryWriteDword(HKEY_CURRENT_USER, "NotifyReboot", 1));
    // A reboot the previous run did not end in order: its notice goes out at the start.
    std::ofstream(sandbox.MarkerPath()) << "";
    sandbox.Start("");

    ASSERT_TRUE(exim.WaitForMails(1, kDeadlineMs)) << "no mail in exim's maildir\n--- exim's log ---\n"
                                                    << EximLog() << "--- mrwd's log ---\n" << sandbox.Log();
    const DeliveredMail mail = exim.Mail(0);
    EXPECT_EQ(mail.fields.at("subject"), "Перезагрузка системы");
    // A maildir keeps its lines with the machine's own line ends (LF): exim
    // turned the CR LF of the wire into LF on delivery.
    std::string expected = kFrom + std::string("Была произведена аппаратная перезагрузка системы!") + kSignature + "\r\n";
    for (std::size_t at; (at = expected.find("\r\n")) != std::string::npos;) expected.erase(at, 1);
    EXPECT_EQ(mail.body, expected);
    EXPECT_EQ(mail.fields.at("from"), "MR ZedevUdo Server <watchdog@kiosk.example>");
    EXPECT_EQ(mail.fields.at("envelope-to"), kTestRecipient);
    EXPECT_TRUE(sandbox.WaitForLog("Уведомление успешно отправлено.")) << sandbox.Log();

    // Exim's own record of that mail: received over TLS (esmtpsa: ESMTP,
    // secured, authenticated) with the account's AUTH PLAIN.
    const std::string log = EximLog();
    const std::string arrival = ArrivalLine(log, kTestSender);
    ASSERT_FALSE(arrival.empty()) << log;
    EXPECT_NE(arrival.find(" P=esmtpsa "), std::string::npos) << arrival;
    EXPECT_NE(arrival.find(" X=TLS1."), std::string::npos) << arrival;
    EXPECT_NE(arrival.find(" A=plain:" + exim.User()), std::string::npos) << arrival;
    EXPECT_NE(mail.raw.find("id " + MessageId(arrival)), std::string::npos)
        << "the logged session is not the one of the delivered mail\n" << arrival << "\n" << mail.raw;
}

}  // namespace
}  // namespace mrwd::testing
