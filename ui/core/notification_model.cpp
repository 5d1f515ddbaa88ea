#include "notification_model.h"

#include <algorithm>
#include <cstring>

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
    {MailField::UserName, EnableRule::WhenAuthenticating},
    {MailField::Password, EnableRule::WhenAuthenticating},
    {MailField::SendLog, EnableRule::WhenLogOn},
};

// The dialog reads each text into a buffer of the setting's size, zero included.
std::string Cut(const std::string& text, std::size_t bufferSize) { return text.substr(0, bufferSize - 1); }

std::string FromBuffer(const char* buffer, std::size_t size) { return std::string(buffer, strnlen(buffer, size)); }

const std::string kNoText;

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
    model.server_ = FromBuffer(settings.SMTPServer, sizeof settings.SMTPServer);
    model.port_ = std::to_string(settings.SMTPPort);
    model.recipient_ = FromBuffer(settings.UserEMail, sizeof settings.UserEMail);
    model.sender_ = FromBuffer(settings.SenderEMail, sizeof settings.SenderEMail);
    model.userName_ = FromBuffer(settings.UserName, sizeof settings.UserName);
    model.password_ = FromBuffer(reinterpret_cast<const char*>(settings.Password), sizeof settings.Password);
    model.authKind_ = settings.AuthType;
    model.authChecked_ = model.authKind_ != kAuthNone;
    model.rfcChecked_ = model.authKind_ == kAuthRfc2554;
    model.popChecked_ = model.authKind_ == kAuthPopBeforeSmtp;
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
    switch (field) {
        case MailField::Authentication: return authChecked_;
        case MailField::Rfc2554: return rfcChecked_;
        case MailField::PopBeforeSmtp: return popChecked_;
        case MailField::NotifyReboot: return notifyReboot_;
        case MailField::SendLog: return sendLog_;
        default: return false;
    }
}

bool NotificationModel::Enabled(MailField field) const {
    EnableFacts facts;
    facts.authenticating = authKind_ != kAuthNone;
    facts.logOn = logOn_;
    for (const FieldRule& rule : kEnableRules) {
        if (rule.field == field) return IsEnabled(rule.rule, facts);
    }
    return true;
}

void NotificationModel::Click(MailField field, bool checkedNow) {
    switch (field) {
        case MailField::Authentication:
            authChecked_ = checkedNow;
            if (!checkedNow) {
                // The kind's marks stay as they were, greyed.
                authKind_ = kAuthNone;
                break;
            }
            if (authKind_ == kAuthNone) authKind_ = kAuthRfc2554;
            rfcChecked_ = authKind_ == kAuthRfc2554;
            popChecked_ = authKind_ == kAuthPopBeforeSmtp;
            break;
        case MailField::Rfc2554:
            rfcChecked_ = true;
            if (authKind_ == kAuthPopBeforeSmtp) {
                popChecked_ = false;
                authKind_ = kAuthRfc2554;
            }
            break;
        case MailField::PopBeforeSmtp:
            popChecked_ = true;
            if (authKind_ == kAuthRfc2554) {
                rfcChecked_ = false;
                authKind_ = kAuthPopBeforeSmtp;
            }
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
    result.server = Cut(server_, kTextValueSize);
    result.recipient = Cut(recipient_, kTextValueSize);
    result.sender = Cut(sender_, kTextValueSize);
    const std::optional<std::uint16_t> port = ParseSmtpPort(Cut(port_, kTextValueSize));
    if (port) {
        result.port = *port;
    } else {
        result.notes.push_back({IDS_INVALID_SMTP_PORT, MailField::Port});
    }
    result.authType = authKind_;
    if (authKind_ != kAuthNone) {
        result.userName = Cut(userName_, kShortValueSize);
        if (result.userName.empty()) {
            result.blocking = DialogWarning{IDS_ENTER_USER_NAME, MailField::UserName};
            return result;
        }
        result.password = Cut(password_, kShortValueSize);
        if (result.password.empty()) {
            result.blocking = DialogWarning{IDS_ENTER_PASSWORD, MailField::Password};
            return result;
        }
    }
    result.notifyReboot = notifyReboot_;
    result.sendLog = sendLog_;
    return result;
}

void ApplyAcceptance(const MailAcceptance& accepted, Settings& settings) {
    auto copy = [](const std::string& text, char* buffer, std::size_t size) {
        std::memset(buffer, 0, size);
        std::memcpy(buffer, text.data(), std::min(text.size(), size - 1));
    };
    settings.SMTPPort = accepted.port;
    copy(accepted.server, settings.SMTPServer, sizeof settings.SMTPServer);
    copy(accepted.recipient, settings.UserEMail, sizeof settings.UserEMail);
    copy(accepted.sender, settings.SenderEMail, sizeof settings.SenderEMail);
    if (accepted.authType != kAuthNone) {
        copy(accepted.userName, settings.UserName, sizeof settings.UserName);
        copy(accepted.password, reinterpret_cast<char*>(settings.Password), sizeof settings.Password);
    }
    settings.AuthType = accepted.authType;
    settings.NotifyReboot = accepted.notifyReboot ? 1 : 0;
    settings.SendLog = accepted.sendLog ? 1 : 0;
    settings.MailConfigured = 1;
}

}  // namespace mrwd
