#include "notifications.h"

#include <cstdarg>
#include <string>

#include "app/win/server_process.h"
#include "app/win/texts.h"
#include "notify/core/smtp_client.h"
#include "notify/win/event_log.h"
#include "notify/win/winsock_mail_system.h"
#include "resources/resource_ids.h"

namespace mrwd {
namespace {

// The mail settings as one send uses them, copied once under the lock.
struct MailSettings {
    bool configured = false;
    std::string server;
    std::uint16_t port = 0;
    std::uint32_t authType = 0;
    std::string userName;
    std::string password;
    std::string recipient;
    std::string sender;
};

std::string TextOf(const char* buffer, std::size_t size) { return std::string(buffer, strnlen(buffer, size)); }

MailSettings CopyMailSettings(const Settings& settings) {
    MailSettings mail;
    mail.configured = settings.MailConfigured != 0;
    mail.server = TextOf(settings.SMTPServer, sizeof settings.SMTPServer);
    mail.port = settings.SMTPPort;
    mail.authType = settings.AuthType;
    mail.userName = TextOf(settings.UserName, sizeof settings.UserName);
    mail.password = TextOf(reinterpret_cast<const char*>(settings.Password), sizeof settings.Password);
    mail.recipient = TextOf(settings.UserEMail, sizeof settings.UserEMail);
    mail.sender = TextOf(settings.SenderEMail, sizeof settings.SenderEMail);
    return mail;
}

void LogFailure(const CFastSmtp& client, const CMessage& message) {
    const char* reason = client.LastErrorText();
    WriteLogString(IDS_NOTIFY_FAILED, reason != nullptr ? reason : "", message.Body().c_str());
}

void Transfer(const MailSettings& mail, CMessage& message) {
    WinSockMailSystem system;
    CFastSmtp client(system);
    WriteLogString(IDS_NOTIFY_SENDING, mail.recipient.c_str());
    if (!client.Started() || !client.Connect(mail.server, mail.port, mail.authType, mail.userName.c_str(),
                                             mail.password.c_str(), nullptr, 0)) {
        LogFailure(client, message);
        return;
    }
    client.AddRecipient(mail.recipient, std::string());
    if (!client.IsConnected()) {
        LogFailure(client, message);
        return;
    }
    const std::string mailer = LoadText(IDS_MAILER_NAME);
    message.SetSenderName(mailer);
    message.SetSenderAddress(mail.sender);
    client.SetXMailer(mailer);
    if (client.Send(message)) {
        WriteLogString(IDS_NOTIFY_SENT);
    } else {
        LogFailure(client, message);
    }
    client.Disconnect();
}

DWORD WINAPI SendNotificationThread(LPVOID parameter) {
    SendNotification(std::unique_ptr<CMessage>(static_cast<CMessage*>(parameter)));
    --Server().backgroundNotifications;
    return 0;
}

}  // namespace

CriticalSection& NotifyLock() { return Server().notifyLock; }

std::unique_ptr<CMessage> NewNotification(UINT subjectId, UINT bodyId, ...) {
    auto message = std::make_unique<CMessage>();
    message->SetSubject(LoadText(subjectId));
    const std::string body = LoadText(bodyId);
    std::va_list args;
    va_start(args, bodyId);
    message->FormatBodyV(body.c_str(), args);
    va_end(args);
    return message;
}

void SendNotification(std::unique_ptr<CMessage> message) {
    CriticalSectionLock lock(NotifyLock());
    const MailSettings mail = CopyMailSettings(Server().settings);
    // Not configured: the message goes without a trace.
    if (mail.configured) Transfer(mail, *message);
    message.reset();
}

void SendNotificationInBackground(std::unique_ptr<CMessage> message) {
    ++Server().backgroundNotifications;
    HANDLE thread = ::CreateThread(nullptr, 0, SendNotificationThread, message.get(), 0, nullptr);
    if (thread != nullptr) {
        message.release();  // the thread owns it now
        ::CloseHandle(thread);
        return;
    }
    --Server().backgroundNotifications;
    // Without a thread of its own the mail still goes, on this one.
    SendNotification(std::move(message));
}

void WaitForBackgroundNotifications(DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (Server().backgroundNotifications > 0 && ::GetTickCount() - start < timeoutMs) ::Sleep(20);
}

}  // namespace mrwd
