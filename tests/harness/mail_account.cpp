#include "mail_account.h"

#include <algorithm>

#include "app/core/settings.h"
#include "app/win/settings_store.h"

namespace mrwd::testing {

bool StoreMailAccount(std::uint16_t port, const std::string& user, const std::string& password) {
    const SettingsStore store(false);
    unsigned char plain[kShortValueSize] = {};
    std::copy_n(password.begin(), std::min(password.size(), sizeof plain - 1), plain);
    return store.StoreText("SMTPServer", "127.0.0.1", kTextValueSize) && store.StoreSmtpPort(port) &&
           store.StoreText("UserEMail", kTestRecipient, kTextValueSize) &&
           store.StoreText("SenderEMail", kTestSender, kTextValueSize) && store.StoreDword("AuthType", 1) &&
           store.StoreText("UserName", user.c_str(), kShortValueSize) && store.StorePassword(plain);
}

}  // namespace mrwd::testing
