#include "mail_servers.h"

#include <wincrypt.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tests/harness/win_harness.h"

namespace mrwd::testing {
namespace {

namespace fs = std::filesystem;

std::vector<MailSession> ReadSessions(const std::string& path) {
    std::map<std::pair<std::string, int>, MailSession> byNumber;
    std::istringstream lines(ReadWholeFile(path));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::vector<std::string> w{std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
        // The real server writes "N event time", the scripted one "kind N event time".
        if (w.size() == 3) w.insert(w.begin(), "smtp");
        if (w.size() != 4) continue;
        MailSession& session = byNumber[{w[0], std::atoi(w[1].c_str())}];
        session.kind = w[0];
        session.number = std::atoi(w[1].c_str());
        (w[2] == "open" ? session.opened : session.closed) = std::atof(w[3].c_str());
    }
    std::vector<MailSession> sessions;
    for (const auto& entry : byNumber) sessions.push_back(entry.second);
    std::sort(sessions.begin(), sessions.end(),
              [](const MailSession& a, const MailSession& b) { return a.opened < b.opened; });
    return sessions;
}

// Deletes the files whose names start with one of `prefixes`.
void DeleteFiles(const std::string& folder, const std::vector<std::string>& prefixes) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        for (const std::string& prefix : prefixes) {
            if (name.rfind(prefix, 0) == 0) fs::remove(entry.path(), error);
        }
    }
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find_first_of("\r\n")); }

}  // namespace

bool SessionsApart(const std::vector<MailSession>& sessions) {
    for (std::size_t i = 1; i < sessions.size(); ++i) {
        if (sessions[i - 1].closed < 0 || sessions[i].opened < sessions[i - 1].closed) return false;
    }
    return true;
}

ScriptedMailServer::ScriptedMailServer() {
    const std::string folder = Environment("MRWD_MAILSIM_DIR");
    if (folder.empty()) return;
    folder_ = WindowsPathOf(folder) + "\\";
    smtpPort_ = static_cast<std::uint16_t>(std::atoi(Environment("MRWD_MAILSIM_SMTP_PORT").c_str()));
    pop3Port_ = static_cast<std::uint16_t>(std::atoi(Environment("MRWD_MAILSIM_POP3_PORT").c_str()));
    smtpsPort_ = static_cast<std::uint16_t>(std::atoi(Environment("MRWD_MAILSIM_SMTPS_PORT").c_str()));
    DeleteFiles(folder_, {"script", "sessions.log", "smtp-", "pop3-"});
}

void ScriptedMailServer::SetScript(const std::string& lines) const {
    std::ofstream(folder_ + "script", std::ios::binary | std::ios::trunc) << lines << "\n";
}

std::vector<MailSession> ScriptedMailServer::Sessions() const { return ReadSessions(folder_ + "sessions.log"); }

std::string ScriptedMailServer::Received(const MailSession& session) const {
    return ReadWholeFile(folder_ + session.kind + "-" + std::to_string(session.number) + ".bin");
}

bool ScriptedMailServer::WaitForClosedSessions(std::size_t count, DWORD timeoutMs) const {
    return WaitUntil(
        [&] {
            const auto sessions = Sessions();
            return std::count_if(sessions.begin(), sessions.end(), [](const MailSession& s) { return s.closed >= 0; }) >=
                   static_cast<std::ptrdiff_t>(count);
        },
        timeoutMs);
}

RealMailServer::RealMailServer(const std::string& variables) {
    const std::string folder = Environment((variables + "_DIR").c_str());
    if (folder.empty()) return;
    folder_ = WindowsPathOf(folder) + "\\";
    port_ = static_cast<std::uint16_t>(std::atoi(Environment((variables + "_PORT").c_str()).c_str()));
    tlsPort_ = static_cast<std::uint16_t>(std::atoi(Environment((variables + "_TLS_PORT").c_str()).c_str()));
    user_ = Environment((variables + "_USER").c_str());
    password_ = Environment((variables + "_PASSWORD").c_str());
    // The server numbers its mail on; earlier tests' mail stays out of sight.
    firstMail_ = 1;
    while (fs::exists(folder_ + "mail-" + std::to_string(firstMail_) + ".txt")) ++firstMail_;
    DeleteFiles(folder_, {"sessions.log"});
}

std::size_t RealMailServer::MailCount() const {
    std::size_t count = 0;
    while (fs::exists(folder_ + "mail-" + std::to_string(firstMail_ + count) + ".txt")) ++count;
    return count;
}

bool RealMailServer::WaitForMails(std::size_t count, DWORD timeoutMs) const {
    return WaitUntil([&] { return MailCount() >= count; }, timeoutMs);
}

DeliveredMail RealMailServer::Mail(std::size_t index) const {
    const std::string base = folder_ + "mail-" + std::to_string(firstMail_ + index);
    DeliveredMail mail;
    std::istringstream lines(ReadWholeFile(base + ".txt"));
    int attachments = 0;
    for (std::string line; std::getline(lines, line);) {
        const std::size_t blank = line.find(' ');
        const std::string name = line.substr(0, blank);
        mail.fields[name] = blank == std::string::npos ? std::string() : line.substr(blank + 1);
        if (name == "attachments") attachments = std::atoi(mail.fields[name].c_str());
    }
    mail.body = ReadWholeFile(base + ".body");
    for (int k = 1; k <= attachments; ++k) {
        const std::string part = base + ".att-" + std::to_string(k);
        mail.attachments.emplace_back(FirstLine(ReadWholeFile(part + ".name")), ReadWholeFile(part));
    }
    mail.raw = ReadWholeFile(base + ".eml");
    return mail;
}

std::vector<MailSession> RealMailServer::Sessions() const { return ReadSessions(folder_ + "sessions.log"); }

bool TrustTestAuthority() {
    const std::string folder = Environment("MRWD_TLS_DIR");
    if (folder.empty()) return false;
    const std::string der = ReadWholeFile(WindowsPathOf(folder) + "\\ca.der");
    if (der.empty()) return false;
    HCERTSTORE store = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (store == nullptr) return false;
    const BOOL added = ::CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING,
                                                          reinterpret_cast<const BYTE*>(der.data()),
                                                          static_cast<DWORD>(der.size()),
                                                          CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    ::CertCloseStore(store, 0);
    return added != FALSE;
}

std::string TestCertificateSha256(const std::string& name) {
    return FirstLine(ReadWholeFile(WindowsPathOf(Environment("MRWD_TLS_DIR")) + "\\" + name + ".sha256"));
}

}  // namespace mrwd::testing
