// Sending the system's notifications: one mail dialogue at a time under the
// process-wide notification lock, every step logged, failures not retried.
#pragma once

#include <windows.h>

#include <memory>

#include "app/win/handles.h"
#include "notify/core/mail_message.h"

namespace mrwd {

// Held by every send from start to end. Whoever changes the mail settings
// while the server runs holds it too, so a send never reads a half-written text.
CriticalSection& NotifyLock();

// A message with the subject and the body of the string table; the body's
// arguments follow (the support address always last).
std::unique_ptr<CMessage> NewNotification(UINT subjectId, UINT bodyId, ...);

// Sends the message and deletes it, on the caller's thread: used right before
// a reboot, so the mail has left when the computer goes down.
void SendNotification(std::unique_ptr<CMessage> message);

// The same on a thread of its own; the caller goes on at once.
void SendNotificationInBackground(std::unique_ptr<CMessage> message);

// At the end of the server: a mail decided just before (the hang that brings
// the reboot) may still be on its way. Waits at most `timeoutMs` for it.
void WaitForBackgroundNotifications(DWORD timeoutMs);

}  // namespace mrwd
