// Sending the system's notifications: one mail dialogue at a time, in the
// order the mails were raised, every step logged; each mail kept in the
// outbox until the server took it, and the outbox retried after growing
// pauses and at every start.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "base/core/settings.h"
#include "base/win/event_log.h"
#include "base/win/handles.h"
#include "base/win/thread.h"
#include "notify/core/mail_message.h"
#include "notify/core/outbox.h"
#include "notify/win/oauth_tokens.h"
#include "notify/core/send_turns.h"
#include "notify/win/outbox_folder.h"

namespace mrwd {

// A message with the subject and the body of the string table; the body's
// arguments follow (the support address always last).
std::unique_ptr<CMessage> NewNotification(UINT subjectId, UINT bodyId, ...);

// The outbox's lines in the event log.
class OutboxLog final : public OutboxEvents {
public:
    explicit OutboxLog(const EventLog& log) : log_(log) {}
    void Kept(const OutboxMail& mail) override;
    void SentFromOutbox(const OutboxMail& mail) override;
    void Dropped(const OutboxMail& mail, DropReason reason) override;

private:
    const EventLog& log_;
};

class NotificationSender {
public:
    // Each round of sends copies the mail settings when it starts. The
    // outbox's files live in `outboxFolder`.
    NotificationSender(const Settings& settings, const EventLog& log, const std::string& outboxFolder);
    // Ends every mail (see EndAll).
    ~NotificationSender();
    NotificationSender(const NotificationSender&) = delete;
    NotificationSender& operator=(const NotificationSender&) = delete;

    // Sends the message and deletes it, on the caller's thread: used right
    // before a reboot, so the mail has left when the computer goes down.
    // Mails raised before it go first.
    void SendNotification(std::unique_ptr<CMessage> message);

    // The same on a thread of its own; the caller goes on at once. The
    // mail's place in the line is taken now.
    void SendNotificationInBackground(std::unique_ptr<CMessage> message);

    // Returns once every mail raised so far has gone or failed (each one
    // bounded by the mail time-outs), or the sender was closed.
    void WaitForNoticesRaisedSoFar();

    // Mails on threads of their own that have not finished yet.
    int BackgroundNotifications() const { return running_; }

    // At the end of the server: a mail decided just before (the hang that
    // brings the reboot) may still be on its way. Waits at most `timeoutMs`
    // for every one; true when none is left.
    bool WaitForBackgroundNotifications(DWORD timeoutMs);

    // The end of the server: a mail in progress is broken off (its
    // connection closed) and stays in the outbox, mails still waiting for
    // their turn go into the outbox untried (each with a log line), and
    // every mail thread has ended when this returns. Mails raised afterwards
    // are sent again (a service may run the server anew).
    void EndAll();

    // At the start of the server: takes over what a former run kept in the
    // outbox (tried at once, before any newer mail) and starts the retries.
    void StartRetries();
    // Counts of the outbox: waiting now, sent and dropped since the start.
    OutboxCounts OutboxState() const;

private:
    // Waits for the outbox's next try, and runs it in its turn.
    class RetryThread final : public CThread {
    public:
        explicit RetryThread(NotificationSender& sender) : sender_(sender) {}
        ~RetryThread() override { Stop(INFINITE); }
        void Run() override;
        // The outbox changed: the time of the next try is looked at again.
        void Wake() { ::SetEvent(wake_.get()); }

    private:
        NotificationSender& sender_;
        UniqueHandle wake_{::CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    };

    // Keeps the mail in the outbox and, in its turn, tries the outbox from
    // its oldest mail on; at the server's end only keeps it.
    void SendInTurn(SendTurns::Ticket ticket, std::unique_ptr<CMessage> message);
    // Tries the outbox's mails, oldest first, until one has to wait.
    void RunRound();
    void PublishCounts();

    const Settings& settings_;
    const EventLog& log_;
    std::atomic<int> running_{0};
    SendTurns turns_;
    // Set by Close: the mail in progress gives up at its next wait.
    std::atomic<bool> aborting_{false};
    // The threads of background mails, kept so they can be waited for.
    std::mutex threadsLock_;
    std::vector<UniqueHandle> threads_;
    WindowsOutboxFolder folder_;
    OutboxLog outboxLog_;
    // Held for a look or a change, never across a transfer.
    std::mutex outboxLock_;
    Outbox outbox_;
    std::atomic<std::size_t> kept_{0};
    std::atomic<std::uint64_t> sent_{0};
    std::atomic<std::uint64_t> dropped_{0};
    // The OAuth application's token, shared by every send of this server.
    OAuthTokens tokens_;
    RetryThread retries_;
};

}  // namespace mrwd
