// Sending the system's notifications: one mail dialogue at a time under the
// process-wide notification lock, every step logged, failures not retried.
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

namespace mrwd {

// A message with the subject and the body of the string table; the body's
// arguments follow (the support address always last).
std::unique_ptr<CMessage> NewNotification(UINT subjectId, UINT bodyId, ...);

class NotificationSender {
public:
    // `notifyLock` is held by every send from start to end. Whoever changes
    // the mail settings while the server runs holds it too, so a send never
    // reads a half-written text.
    NotificationSender(const Settings& settings, std::mutex& notifyLock, const EventLog& log);
    // Waits for the mails still on their way.
    ~NotificationSender();
    NotificationSender(const NotificationSender&) = delete;
    NotificationSender& operator=(const NotificationSender&) = delete;

    std::mutex& NotifyLock() { return notifyLock_; }

    // Sends the message and deletes it, on the caller's thread: used right
    // before a reboot, so the mail has left when the computer goes down.
    void SendNotification(std::unique_ptr<CMessage> message);

    // The same on a thread of its own; the caller goes on at once.
    void SendNotificationInBackground(std::unique_ptr<CMessage> message);

    // Mails on threads of their own that have not finished yet.
    int BackgroundNotifications() const { return running_; }

    // At the end of the server: a mail decided just before (the hang that
    // brings the reboot) may still be on its way. Waits at most `timeoutMs`
    // for every one; true when none is left.
    bool WaitForBackgroundNotifications(DWORD timeoutMs);

private:
    const Settings& settings_;
    std::mutex& notifyLock_;
    const EventLog& log_;
    std::atomic<int> running_{0};
    // The threads of background mails, kept so they can be waited for.
    std::mutex threadsLock_;
    std::vector<UniqueHandle> threads_;
};

}  // namespace mrwd
