#include "notifications.h"

#include <atomic>
#include <cstdarg>
#include <string>

#include "base/win/background_work.h"
#include "base/win/texts.h"
#include "notify/core/smtp_client.h"
#include "notify/win/winsock_mail_system.h"
#include "resources/resource_ids.h"

namespace mrwd {
namespace {

// The log line puts its own CR LF after the description.
void LogFailure(const EventLog& log, const CFastSmtp& client, const CMessage& message) {
    const char* recorded = client.LastErrorText();
    log.WriteLogString(IDS_NOTIFY_FAILED, WithoutLineEnds(recorded != nullptr ? recorded : "").c_str(),
                       message.Body().c_str());
}

void Transfer(const EventLog& log, const MailSettings& mail, CMessage& message, const std::atomic<bool>& abort) {
    WinSockMailSystem system(kMailConnectTimeoutMs, kMailTransferTimeoutMs, &abort);
    CFastSmtp client(system);
    log.WriteLogString(IDS_NOTIFY_SENDING, mail.recipient.c_str());
    if (!client.Started() || !client.Connect(mail)) {
        LogFailure(log, client, message);
        return;
    }
    client.AddRecipient(mail.recipient, std::string());
    if (!client.IsConnected()) {
        LogFailure(log, client, message);
        return;
    }
    const std::string mailer = LoadText(IDS_MAILER_NAME);
    message.SetSenderName(mailer);
    message.SetSenderAddress(mail.sender);
    client.SetXMailer(mailer);
    if (client.Send(message)) {
        log.WriteLogString(IDS_NOTIFY_SENT);
    } else {
        LogFailure(log, client, message);
    }
    client.Disconnect();
}

}  // namespace

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

NotificationSender::NotificationSender(const Settings& settings, const EventLog& log)
    : settings_(settings), log_(log) {}

NotificationSender::~NotificationSender() { EndAll(); }

void NotificationSender::SendInTurn(SendTurns::Ticket ticket, std::unique_ptr<CMessage> message) {
    if (!turns_.WaitForTurn(ticket)) {
        // The server is ending: the mail is given up, not half sent.
        log_.WriteLogString(IDS_NOTIFY_DROPPED, message->Body().c_str());
        turns_.Done(ticket);
        return;
    }
    // The settings as they are now, for the whole send: the dialog may change
    // them meanwhile without waiting for it. Not configured: the message goes
    // without a trace.
    if (settings_.MailConfigured != 0) Transfer(log_, settings_.Mail.Get(), *message, aborting_);
    message.reset();
    turns_.Done(ticket);
}

void NotificationSender::SendNotification(std::unique_ptr<CMessage> message) {
    SendInTurn(turns_.Take(), std::move(message));
}

void NotificationSender::SendNotificationInBackground(std::unique_ptr<CMessage> message) {
    ++running_;
    const SendTurns::Ticket ticket = turns_.Take();
    // The thread owns the message once it runs.
    CMessage* const handedOver = message.release();
    UniqueHandle thread = StartBackgroundWork([this, ticket, handedOver] {
        SendInTurn(ticket, std::unique_ptr<CMessage>(handedOver));
        --running_;
    });
    if (!thread) {
        --running_;
        // Without a thread of its own the mail still goes, on this one.
        SendInTurn(ticket, std::unique_ptr<CMessage>(handedOver));
        return;
    }
    std::lock_guard<std::mutex> lock(threadsLock_);
    // Forget the threads that have ended, so a server that runs for months
    // does not collect their handles.
    for (auto it = threads_.begin(); it != threads_.end();) {
        it = ::WaitForSingleObject(it->get(), 0) == WAIT_OBJECT_0 ? threads_.erase(it) : it + 1;
    }
    threads_.push_back(std::move(thread));
}

void NotificationSender::WaitForNoticesRaisedSoFar() { turns_.WaitForAllRaisedSoFar(); }

void NotificationSender::EndAll() {
    aborting_ = true;
    turns_.Close();
    // Every wait of a mail now ends within a fraction of a second.
    WaitForBackgroundNotifications(INFINITE);
    turns_.Reopen();
    aborting_ = false;
}

bool NotificationSender::WaitForBackgroundNotifications(DWORD timeoutMs) {
    std::vector<UniqueHandle> waiting;
    {
        std::lock_guard<std::mutex> lock(threadsLock_);
        waiting.swap(threads_);
    }
    const DWORD start = ::GetTickCount();
    bool allEnded = true;
    for (UniqueHandle& thread : waiting) {
        const DWORD spent = ::GetTickCount() - start;
        const DWORD left = timeoutMs == INFINITE ? INFINITE : (spent < timeoutMs ? timeoutMs - spent : 0);
        if (::WaitForSingleObject(thread.get(), left) != WAIT_OBJECT_0) allEnded = false;
    }
    if (!allEnded) {
        // Still running: keep them, so a later wait (or the destructor) sees them.
        std::lock_guard<std::mutex> lock(threadsLock_);
        for (UniqueHandle& thread : waiting) {
            if (::WaitForSingleObject(thread.get(), 0) != WAIT_OBJECT_0) threads_.push_back(std::move(thread));
        }
    }
    return allEnded;
}

}  // namespace mrwd
