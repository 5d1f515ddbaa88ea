#include "test_mail.h"

#include "base/win/texts.h"
#include "notify/core/smtp_client.h"
#include "notify/core/support_address.h"
#include "notify/win/notifications.h"
#include "notify/win/winsock_mail_system.h"
#include "resources/resource_ids.h"

namespace mrwd {

TestMailOutcome SendTestMail(const MailSettings& mail) {
    TestMailOutcome outcome;
    WinSockMailSystem system;
    CFastSmtp client(system);
    auto message = NewNotification(IDS_TEST_MAIL_SUBJECT, IDS_TEST_MAIL_BODY, kSupportAddress);
    const std::string mailer = LoadText(IDS_MAILER_NAME);
    message->SetSenderName(mailer);
    message->SetSenderAddress(mail.sender);
    client.SetXMailer(mailer);
    outcome.sent = client.Started() && client.Connect(mail) && client.AddRecipient(mail.recipient, std::string()) &&
                   client.Send(*message);
    // Taken before the QUIT adds its own reply.
    if (!outcome.sent) {
        outcome.reason = WithoutLineEnds(client.LastErrorText() != nullptr ? client.LastErrorText() : "");
        outcome.lastReply = WithoutLineEnds(client.LastReply());
    }
    if (client.IsConnected()) client.Disconnect();
    return outcome;
}

}  // namespace mrwd
