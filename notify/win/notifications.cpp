#include "notifications.h"

#include <atomic>
#include <cstdarg>
#include <optional>
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

// One try of one mail, every step logged; how it ended, for the outbox.
SendVerdict Transfer(const EventLog& log, const MailSettings& mail, CMessage& message, const std::atomic<bool>& abort,
                     OAuthTokens& tokens) {
    WinSockMailSystem system(kMailConnectTimeoutMs, kMailTransferTimeoutMs, &abort);
    system.UseTokens(tokens);
    CFastSmtp client(system);
    log.WriteLogString(IDS_NOTIFY_SENDING, mail.recipient.c_str());
    if (!client.Started() || !client.Connect(mail) || !client.AddRecipient(mail.recipient, std::string())) {
        LogFailure(log, client, message);
        return JudgeSend(false, client.FailedStep(), client.FailedReplyCode());
    }
    const std::string mailer = LoadText(IDS_MAILER_NAME);
    message.SetSenderName(mailer);
    message.SetSenderAddress(mail.sender);
    client.SetXMailer(mailer);
    const bool sent = client.Send(message);
    if (sent) {
        log.WriteLogString(IDS_NOTIFY_SENT);
    } else {
        LogFailure(log, client, message);
    }
    const SendVerdict verdict = JudgeSend(sent, client.FailedStep(), client.FailedReplyCode());
    client.Disconnect();
    return verdict;
}

std::int64_t WallClockSeconds() {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const ULARGE_INTEGER ticks{{now.dwLowDateTime, now.dwHighDateTime}};
    return static_cast<std::int64_t>(ticks.QuadPart / 10000000ULL);
}

OutboxMail ToOutbox(const CMessage& message) {
    OutboxMail mail;
    mail.subject = message.Subject();
    mail.body = message.Body();
    for (std::size_t i = 0; i < message.AttachmentCount(); ++i) mail.attachments.push_back(message.Attachment(i));
    return mail;
}

CMessage FromOutbox(const OutboxMail& mail) {
    CMessage message;
    message.SetSubject(mail.subject);
    message.FormatBody("%s", mail.body.c_str());
    for (const std::string& path : mail.attachments) message.AddAttachment(path);
    return message;
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

void OutboxLog::Kept(const OutboxMail& mail) { log_.WriteLogString(IDS_OUTBOX_KEPT, mail.body.c_str()); }

void OutboxLog::SentFromOutbox(const OutboxMail& mail) { log_.WriteLogString(IDS_OUTBOX_SENT, mail.body.c_str()); }

void OutboxLog::Dropped(const OutboxMail& mail, DropReason reason) {
    static const UINT kLogLines[] = {IDS_OUTBOX_DROPPED_OLD, IDS_OUTBOX_DROPPED_FULL, IDS_OUTBOX_DROPPED_REFUSED};
    log_.WriteLogString(kLogLines[static_cast<int>(reason)], mail.body.c_str());
}

NotificationSender::NotificationSender(const Settings& settings, const EventLog& log, const std::string& outboxFolder)
    : settings_(settings), log_(log), folder_(outboxFolder), outboxLog_(log), outbox_(folder_, outboxLog_), retries_(*this) {}

NotificationSender::~NotificationSender() { EndAll(); }

void NotificationSender::StartRetries() {
    const SendTurns::Ticket ticket = turns_.Take();
    if (turns_.WaitForTurn(ticket)) {
        std::lock_guard<std::mutex> guard(outboxLock_);
        outbox_.Load(WallClockSeconds());
        PublishCounts();
    }
    turns_.Done(ticket);
    retries_.Start();
}

void NotificationSender::PublishCounts() {
    const OutboxCounts counts = outbox_.Counts();
    kept_ = counts.kept;
    sent_ = counts.sent;
    dropped_ = counts.dropped;
}

OutboxCounts NotificationSender::OutboxState() const { return {kept_.load(), sent_.load(), dropped_.load()}; }

void NotificationSender::RunRound() {
    // The settings as they are now, for the whole round: the dialog may
    // change them meanwhile without waiting for it.
    const MailSettings mail = settings_.Mail.Get();
    for (;;) {
        std::optional<OutboxMail> next;
        {
            std::lock_guard<std::mutex> guard(outboxLock_);
            if (const OutboxMail* oldest = outbox_.Oldest(WallClockSeconds())) next = *oldest;
            PublishCounts();
        }
        if (!next) break;
        CMessage message = FromOutbox(*next);
        const SendVerdict verdict = Transfer(log_, mail, message, aborting_, tokens_);
        std::lock_guard<std::mutex> guard(outboxLock_);
        outbox_.Settle(next->number, verdict, WallClockSeconds());
        PublishCounts();
        if (verdict == SendVerdict::TryLater || verdict == SendVerdict::AuthRefused) break;
    }
    retries_.Wake();
}

void NotificationSender::SendInTurn(SendTurns::Ticket ticket, std::unique_ptr<CMessage> message) {
    // Not configured: the message goes without a trace.
    if (settings_.MailConfigured == 0) {
        message.reset();
        turns_.WaitForTurn(ticket);
        turns_.Done(ticket);
        return;
    }
    const bool inTurn = turns_.WaitForTurn(ticket);
    {
        OutboxMail mail = ToOutbox(*message);
        // The server is ending: the mail waits in the outbox for its next start.
        mail.triedBefore = !inTurn;
        std::lock_guard<std::mutex> guard(outboxLock_);
        if (!inTurn) outboxLog_.Kept(mail);
        outbox_.Add(std::move(mail), WallClockSeconds());
        PublishCounts();
    }
    message.reset();
    // The kept ones first, then this one: the order in which they were raised.
    if (inTurn) RunRound();
    turns_.Done(ticket);
}

void NotificationSender::RetryThread::Run() {
    HANDLE events[] = {StopEvent(), wake_.get()};
    for (;;) {
        DWORD waitMs = INFINITE;
        {
            std::lock_guard<std::mutex> guard(sender_.outboxLock_);
            if (!sender_.outbox_.Empty()) {
                const std::int64_t seconds = sender_.outbox_.SecondsToNextTry(WallClockSeconds());
                // Checked at least hourly, so a clock set back cannot stop the retries.
                waitMs = static_cast<DWORD>((seconds < 3600 ? seconds : 3600) * 1000);
            }
        }
        const DWORD woken = waitMs == 0 ? WAIT_TIMEOUT : ::WaitForMultipleObjects(2, events, FALSE, waitMs);
        if (woken == WAIT_OBJECT_0) return;
        if (woken != WAIT_TIMEOUT) continue;  // woken to look at the time again
        bool due = false;
        {
            std::lock_guard<std::mutex> guard(sender_.outboxLock_);
            due = sender_.outbox_.Due(WallClockSeconds());
        }
        if (!due) continue;
        if (sender_.settings_.MailConfigured == 0) {
            // Nothing can go until the mail is set up: look again in an hour.
            if (::WaitForSingleObject(StopEvent(), 3600 * 1000) == WAIT_OBJECT_0) return;
            continue;
        }
        const SendTurns::Ticket ticket = sender_.turns_.Take();
        if (sender_.turns_.WaitForTurn(ticket)) sender_.RunRound();
        sender_.turns_.Done(ticket);
        if (sender_.turns_.Closed()) return;
    }
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
    retries_.Stop(INFINITE);
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
