#include "mail_settings.h"

namespace mrwd {

bool MailSettingsComplete(const MailSettings& mail) {
    if (mail.server.empty() || mail.recipient.empty() || mail.sender.empty()) return false;
    if (mail.authentication == MailAuthentication::None) return true;
    if (mail.authentication == MailAuthentication::OAuth) {
        return !mail.userName.empty() && !mail.oauthClientId.empty() && !mail.oauthSecret.empty() &&
               (!mail.oauthTenant.empty() || !mail.oauthTokenUrl.empty());
    }
    return !mail.userName.empty() && !mail.password.empty();
}

}  // namespace mrwd
