// Sending the system's notifications: one mail dialogue at a time, in the
// order the mails were raised; every step logged.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "base/core/settings.h"
#include "base/win/event_log.h"
#include "base/win/handles.h"
#include "notify/core/mail_message.h"
#include "notify/core/send_turns.h"

namespace mrwd {

// A message with the subject and the body of the string table; the body's
// arguments follow (the support address always last).
std::unique_ptr<CMessage> NewNotification(UINT subjectId, UINT bodyId, ...);

class NotificationSender {
public:
    // Each send copies the mail settings when it starts.
    NotificationSender(const Settings& settings, const EventLog& log);
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

    // The end of the server: mails still waiting for their turn are dropped
    // with a log line, a mail in progress is broken off (its connection
    // closed), and every mail thread has ended when this returns. Mails
    // raised afterwards are sent again (a service may run the server anew).
    void EndAll();

private:
    // Sends in the mail's turn, or drops it when the sender was closed.
    void SendInTurn(SendTurns::Ticket ticket, std::unique_ptr<CMessage> message);

    const Settings& settings_;
    const EventLog& log_;
    std::atomic<int> running_{0};
    SendTurns turns_;
    // Set by Close: the mail in progress gives up at its next wait.
    std::atomic<bool> aborting_{false};
    // The threads of background mails, kept so they can be waited for.
    std::mutex threadsLock_;
    std::vector<UniqueHandle> threads_;
};

}  // namespace mrwd
