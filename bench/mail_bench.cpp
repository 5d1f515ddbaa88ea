// Times the mail path under Wine against the servers of with-mailservers:
// waiting sends through the real SMTP server (AUTH LOGIN) without and with a
// log file attached, and how long a silent server holds a waiting send.
// Prints one report; run by bench/run-mail-bench.
//   mail_bench [--machine] [--no-silent] [SENDS]
// --machine also prints one line "result mail-send[-1mb] <ms> ms" per send for
// bench/report; --no-silent leaves out the silent server (a fixed 30 s wait).
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <mutex>

#include "base/core/settings.h"
#include "base/win/event_log.h"
#include "notify/win/notifications.h"
#include "tests/harness/mail_account.h"
#include "tests/harness/mail_servers.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string Env(const char* name) {
    char value[1024];
    const DWORD n = ::GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

// Milliseconds of one waiting send each, over `runs` sends.
std::vector<double> TimeSends(mrwd::NotificationSender& sender, int runs, const std::string& attachment) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        auto message = std::make_unique<mrwd::CMessage>();
        message->SetSubject("bench");
        message->FormatBody("bench mail %d", i);
        if (!attachment.empty()) message->AddAttachment(attachment);
        const auto start = Clock::now();
        sender.SendNotification(std::move(message));
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms;
}

bool Machine = false;

void Report(const char* what, const char* name, const std::vector<double>& ms) {
    std::printf("%-44s median %8.1f ms  min %8.1f  max %8.1f  (%zu sends)\n", what, ms[ms.size() / 2], ms.front(),
                ms.back(), ms.size());
    if (Machine)
        for (double each : ms) std::printf("result %s %.1f ms\n", name, each);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 20;
    bool silent = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--machine") == 0) Machine = true;
        else if (std::strcmp(argv[i], "--no-silent") == 0) silent = false;
        else runs = std::max(1, std::atoi(argv[i]));
    }
    const int realPort = std::atoi(Env("MRWD_REALSMTP_PORT").c_str());
    const int scriptedPort = std::atoi(Env("MRWD_MAILSIM_SMTP_PORT").c_str());
    if (realPort == 0 || scriptedPort == 0) {
        std::fprintf(stderr, "run under tests/harness/with-mailservers\n");
        return 2;
    }
    char folder[MAX_PATH];
    ::GetTempPathA(sizeof folder, folder);
    const std::string log = std::string(folder) + "mail-bench-log.txt";
    {
        std::ofstream out(log, std::ios::binary);
        for (int i = 0; out.tellp() < 1000000; ++i) out << "12:00:00.000 line " << i << " of a day's log\r\n";
    }

    mrwd::Settings settings;
    settings.Log = 0;  // the bench's own log would only grow
    const mrwd::EventLog eventLog(settings.Log);
    mrwd::NotificationSender sender(settings, eventLog, mrwd::OutboxFolderBesideExecutable());
    mrwd::testing::PointMailSettingsAt(settings, static_cast<std::uint16_t>(realPort), Env("MRWD_REALSMTP_USER"),
                                       Env("MRWD_REALSMTP_PASSWORD"));
    Report("real server, AUTH LOGIN, no attachment", "mail-send", TimeSends(sender, runs, ""));
    Report("real server, AUTH LOGIN, 1 MB log attached", "mail-send-1mb", TimeSends(sender, std::max(3, runs / 4), log));
    // The same server behind STARTTLS: the handshake, the certificate check and encrypted AUTH.
    const int tlsPort = std::atoi(Env("MRWD_REALSMTP_TLS_PORT").c_str());
    if (tlsPort != 0 && mrwd::testing::TrustTestAuthority()) {
        mrwd::testing::PointMailSettingsAt(settings, static_cast<std::uint16_t>(tlsPort), Env("MRWD_REALSMTP_USER"),
                                           Env("MRWD_REALSMTP_PASSWORD"), mrwd::testing::kTestRecipient,
                                           mrwd::MailSecurity::StartTls);
        Report("real server, STARTTLS and AUTH LOGIN", "mail-send-starttls", TimeSends(sender, runs, ""));
    }
    if (!silent) {
        ::DeleteFileA(log.c_str());
        return 0;
    }

    const std::string script = Env("MRWD_MAILSIM_DIR") + "/script";
    std::ofstream(std::string("Z:") + script, std::ios::trunc) << "mode silent\n";
    mrwd::testing::PointMailSettingsAt(settings, static_cast<std::uint16_t>(scriptedPort), "", "");
    Report("silent server (accepts, never answers)", "mail-send-silent", TimeSends(sender, 1, ""));
    ::DeleteFileA(log.c_str());
    return 0;
}
