// The notification settings dialog without its window: the values as the
// dialog shows them, the authentication switches, which controls are
// enabled and shown, and the checks and conversion behind OK.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/core/settings.h"
#include "ui/core/enable_rules.h"

namespace mrwd {

// The dialog's controls as the model knows them.
enum class MailField {
    Server,
    Port,
    Recipient,
    Sender,
    Authentication,  // the switch on the group's edge
    Rfc2554,         // SMTP AUTH
    PopBeforeSmtp,
    OAuth,           // OAuth 2.0 (Microsoft 365)
    UserName,        // with OAuth, the mailbox
    Password,
    OAuthTenant,
    OAuthClientId,
    OAuthSecret,     // the application's client secret
    NotifyReboot,
    SendLog,
    Security,  // the drop-down "Защита соединения"
    Test,      // the button "Проверить"
};

// A message the dialog shows: string number and the control to go back to.
struct DialogWarning {
    unsigned stringId = 0;
    MailField field = MailField::Server;
};

// What OK (or "Проверить") leads to: warnings that do not stop it, the one
// that keeps the dialog open (if any), and otherwise the values to keep.
struct MailAcceptance {
    std::vector<DialogWarning> notes;
    std::optional<DialogWarning> blocking;
    // Valid when nothing blocks; texts cut to what their buffers hold. Without
    // authentication the user name and password are those the settings had;
    // the password stays so with OAuth, the OAuth values without it.
    MailSettings mail;
    bool notifyReboot = false;
    bool sendLog = false;
};

// The SMTP port typed by the user: digits only (blanks around them allowed),
// at most 65535. A larger number is refused like a word: cutting it to 16
// bits would send the mail to some other port.
std::optional<std::uint16_t> ParseSmtpPort(const std::string& text);

class NotificationModel {
public:
    // The dialog's start: the settings as they are (the event log's switch
    // decides whether the daily log can be chosen).
    static NotificationModel FromSettings(const Settings& settings);

    const std::string& Text(MailField field) const;
    void SetText(MailField field, const std::string& text);
    bool Checked(MailField field) const;
    bool Enabled(MailField field) const;
    // The password belongs to the first two kinds, the application's values to
    // OAuth: the marked kind decides, greyed or not, so that switching
    // authentication off does not reshape the group.
    bool Visible(MailField field) const;
    MailAuthentication AuthKind() const { return authKind_; }
    MailSecurity Security() const { return security_; }
    // The drop-down's choice; a stored value it does not list counts as none.
    void SetSecurity(MailSecurity security) { security_ = security; }

    // A click on a check box, `checkedNow` being its state after the click.
    // The authentication kinds behave as radio buttons.
    void Click(MailField field, bool checkedNow);

    // The checks of OK, in the order the user meets them.
    MailAcceptance Accept() const;

private:
    std::string* TextOf(MailField field);
    // Copies the application's values into `mail`; the first one missing, if any.
    std::optional<DialogWarning> TakeOAuth(MailSettings& mail) const;

    MailSettings original_;  // what the dialog does not edit, and the account kept without authentication
    std::string server_, port_, recipient_, sender_, userName_, password_;
    std::string tenant_, clientId_, secret_;
    MailAuthentication authKind_ = MailAuthentication::None;  // the working copy; the settings change only on OK
    // The kind whose box is checked: authKind_ while authenticating, the last
    // kind (greyed) when authentication is off, None before any was chosen.
    MailAuthentication markedKind_ = MailAuthentication::None;
    MailSecurity security_ = MailSecurity::None;
    bool authChecked_ = false;
    bool notifyReboot_ = false;
    bool sendLog_ = false;
    bool logOn_ = true;
};

// Copies accepted values into the settings; the mail counts as set up from now on.
void ApplyAcceptance(const MailAcceptance& accepted, Settings& settings);

}  // namespace mrwd
