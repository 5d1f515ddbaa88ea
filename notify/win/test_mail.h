// The notification dialog's "Проверить": one mail with the settings as typed,
// sent at once, not through the line of notifications and not logged.
#pragma once

#include <string>

#include "base/core/mail_settings.h"

namespace mrwd {

struct TestMailOutcome {
    bool sent = false;
    std::string reason;     // the client's last record text, line ends taken off
    std::string lastReply;  // the server's last reply, line ends taken off; empty when none came
};

// Blocks for the whole send (at most the mail bounds): call it off the window thread.
TestMailOutcome SendTestMail(const MailSettings& mail);

}  // namespace mrwd
