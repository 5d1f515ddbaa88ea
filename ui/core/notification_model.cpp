#include "notification_model.h"


#include "resources/resource_ids.h"

namespace mrwd {
namespace {

struct FieldRule {
    MailField field;
    EnableRule rule;
};

// Every control not listed is always enabled.
constexpr FieldRule kEnableRules[] = {
    {MailField::Rfc2554, EnableRule::WhenAuthenticating},
    {MailField::PopBeforeSmtp, EnableRule::WhenAuthenticating},
    {MailField::OAuth, EnableRule::WhenAuthenticating},
    {MailField::UserName, EnableRule::WhenAuthenticating},
    {MailField::Password, EnableRule::WhenAuthenticating},
    {MailField::OAuthTenant, EnableRule::WhenAuthenticating},
    {MailField::OAuthClientId, EnableRule::WhenAuthenticating},
    {MailField::OAuthSecret, EnableRule::WhenAuthenticating},
    {MailField::SendLog, EnableRule::WhenLogOn},
};

// The dialog reads each text into a buffer of the setting's size, zero included.
std::string Cut(const std::string& text, std::size_t bufferSize) { return text.substr(0, bufferSize - 1); }

const std::string kNoText;

// The check box of each kind of authentication.
struct KindBox {
    MailField field;
    MailAuthentication kind;
};
constexpr KindBox kKindBoxes[] = {
    {MailField::Rfc2554, MailAuthentication::Login},
    {MailField::PopBeforeSmtp, MailAuthentication::PopBeforeSmtp},
    {MailField::OAuth, MailAuthentication::OAuth},
};

const KindBox* KindBoxOf(MailField field) {
    for (const KindBox& box : kKindBoxes) {
        if (box.field == field) return &box;
    }
    return nullptr;
}

bool IsOAuthField(MailField field) {
    return field == MailField::OAuthTenant || field == MailField::OAuthClientId || field == MailField::OAuthSecret;
}

}  // namespace

std::optional<std::uint16_t> ParseSmtpPort(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::nullopt;
    const std::size_t last = text.find_last_not_of(' ');
    std::uint32_t value = 0;
    for (std::size_t i = first; i <= last; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
        if (value > 65535) return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

NotificationModel NotificationModel::FromSettings(const Settings& settings) {
    NotificationModel model;
    const MailSettings mail = settings.Mail.Get();
    model.original_ = mail;
    model.server_ = mail.server;
    model.port_ = std::to_string(mail.port);
    model.recipient_ = mail.recipient;
    model.sender_ = mail.sender;
    model.userName_ = mail.userName;
    model.password_ = mail.password;
    model.tenant_ = mail.oauthTenant;
    model.clientId_ = mail.oauthClientId;
    model.secret_ = mail.oauthSecret;
    model.authKind_ = mail.authentication;
    model.markedKind_ = mail.authentication;
    model.security_ = mail.security;
    model.authChecked_ = model.authKind_ != MailAuthentication::None;
    model.notifyReboot_ = settings.NotifyReboot != 0;
    model.sendLog_ = settings.SendLog != 0;
    model.logOn_ = settings.Log != 0;
    return model;
}

std::string* NotificationModel::TextOf(MailField field) {
    switch (field) {
        case MailField::Server: return &server_;
        case MailField::Port: return &port_;
        case MailField::Recipient: return &recipient_;
        case MailField::Sender: return &sender_;
        case MailField::UserName: return &userName_;
        case MailField::Password: return &password_;
        case MailField::OAuthTenant: return &tenant_;
        case MailField::OAuthClientId: return &clientId_;
        case MailField::OAuthSecret: return &secret_;
        default: return nullptr;
    }
}

const std::string& NotificationModel::Text(MailField field) const {
    const std::string* text = const_cast<NotificationModel*>(this)->TextOf(field);
    return text != nullptr ? *text : kNoText;
}

void NotificationModel::SetText(MailField field, const std::string& text) {
    if (std::string* slot = TextOf(field)) *slot = text;
}

bool NotificationModel::Checked(MailField field) const {
    if (const KindBox* box = KindBoxOf(field)) return markedKind_ == box->kind;
    switch (field) {
        case MailField::Authentication: return authChecked_;
        case MailField::NotifyReboot: return notifyReboot_;
        case MailField::SendLog: return sendLog_;
        default: return false;
    }
}

bool NotificationModel::Enabled(MailField field) const {
    EnableFacts facts;
    facts.authenticating = authKind_ != MailAuthentication::None;
    facts.logOn = logOn_;
    for (const FieldRule& rule : kEnableRules) {
        if (rule.field == field) return IsEnabled(rule.rule, facts);
    }
    return true;
}

bool NotificationModel::Visible(MailField field) const {
    const bool oauth = markedKind_ == MailAuthentication::OAuth;
    if (field == MailField::Password) return !oauth;
    if (IsOAuthField(field)) return oauth;
    return true;
}

void NotificationModel::Click(MailField field, bool checkedNow) {
    if (const KindBox* box = KindBoxOf(field)) {
        // A kind's box is never un-checked by its own click: the click that
        // un-checks the chosen kind leaves it chosen. A greyed box takes no click.
        if (authKind_ != MailAuthentication::None) {
            authKind_ = box->kind;
            markedKind_ = box->kind;
        }
        return;
    }
    switch (field) {
        case MailField::Authentication:
            authChecked_ = checkedNow;
            if (!checkedNow) {
                // The kind's marks stay as they were, greyed.
                authKind_ = MailAuthentication::None;
                break;
            }
            if (authKind_ == MailAuthentication::None) authKind_ = MailAuthentication::Login;
            markedKind_ = authKind_;
            break;
        case MailField::NotifyReboot:
            notifyReboot_ = checkedNow;
            break;
        case MailField::SendLog:
            sendLog_ = checkedNow;
            break;
        default:
            break;
    }
}

MailAcceptance NotificationModel::Accept() const {
    MailAcceptance result;
    MailSettings& mail = result.mail;
    mail = original_;
    mail.server = Cut(server_, kTextValueSize);
    mail.recipient = Cut(recipient_, kTextValueSize);
    mail.sender = Cut(sender_, kTextValueSize);
    const std::optional<std::uint16_t> port = ParseSmtpPort(Cut(port_, kTextValueSize));
    if (port) {
        mail.port = *port;
    } else {
        mail.port = 0;
        result.notes.push_back({IDS_INVALID_SMTP_PORT, MailField::Port});
    }
    mail.authentication = authKind_;
    mail.security = security_;
    if (authKind_ != MailAuthentication::None) {
        mail.userName = Cut(userName_, kShortValueSize);
        if (mail.userName.empty()) {
            result.blocking = DialogWarning{IDS_ENTER_USER_NAME, MailField::UserName};
            return result;
        }
        if (authKind_ == MailAuthentication::OAuth) {
            if (std::optional<DialogWarning> missing = TakeOAuth(mail)) {
                result.blocking = missing;
                return result;
            }
        } else {
            mail.password = Cut(password_, kShortValueSize);
            if (mail.password.empty()) {
                result.blocking = DialogWarning{IDS_ENTER_PASSWORD, MailField::Password};
                return result;
            }
        }
    }
    result.notifyReboot = notifyReboot_;
    result.sendLog = sendLog_;
    return result;
}

std::optional<DialogWarning> NotificationModel::TakeOAuth(MailSettings& mail) const {
    mail.oauthTenant = Cut(tenant_, kTextValueSize);
    mail.oauthClientId = Cut(clientId_, kTextValueSize);
    mail.oauthSecret = Cut(secret_, kShortValueSize);
    // A token URL of its own (kept as stored) names the endpoint without the tenant.
    if (mail.oauthTenant.empty() && mail.oauthTokenUrl.empty()) {
        return DialogWarning{IDS_ENTER_OAUTH_TENANT, MailField::OAuthTenant};
    }
    if (mail.oauthClientId.empty()) return DialogWarning{IDS_ENTER_OAUTH_CLIENT_ID, MailField::OAuthClientId};
    if (mail.oauthSecret.empty()) return DialogWarning{IDS_ENTER_OAUTH_SECRET, MailField::OAuthSecret};
    return std::nullopt;
}

void ApplyAcceptance(const MailAcceptance& accepted, Settings& settings) {
    settings.Mail.Set(accepted.mail);
    settings.NotifyReboot = accepted.notifyReboot ? 1 : 0;
    settings.SendLog = accepted.sendLog ? 1 : 0;
    settings.MailConfigured = 1;
}

}  // namespace mrwd
