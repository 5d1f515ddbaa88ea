#include "settings.h"

#include <cstring>
#include <vector>

namespace mrwd {

const char kPasswordKey[5] = "Zd7q";

namespace {

struct NumberSetting {
    const char* name;
    std::atomic<std::uint32_t> Settings::*member;
    std::uint32_t valueMissing;
    std::uint32_t noKey;
};

// The numeric values with their two defaults. "CheckContr" is the one value whose two
// defaults differ: a first start on a clean system does not report a missing
// card, while a configured system does.
const NumberSetting kNumbers[] = {
    {"Icon", &Settings::Icon, 1, 1},
    {"Active", &Settings::Active, 1, 1},
    {"System", &Settings::System, 1, 1},
    {"FloatWindow", &Settings::FloatWindow, 0, 0},
    {"Controller", &Settings::Controller, 0, 0},
    {"CustomControllerPort", &Settings::CustomControllerPort, 0, 0},
    {"ControllerPort", &Settings::ControllerPort, 0, 0},
    {"HardReboot", &Settings::HardReboot, 0, 0},
    {"Log", &Settings::Log, 1, 1},
    {"CheckContr", &Settings::CheckContr, 1, 0},
    {"RebootTimeout", &Settings::RebootTimeout, 10, 10},
    {"Modem", &Settings::Modem, 0, 0},
    {"MdmCheckTimeout", &Settings::MdmCheckTimeout, 1, 1},
    {"ControlMdm", &Settings::ControlMdm, 1, 1},
    {"NotifyReboot", &Settings::NotifyReboot, 0, 0},
    {"SendLog", &Settings::SendLog, 0, 0},
    {"EventLog", &Settings::EventLog, 1, 1},
    {"SyslogPort", &Settings::SyslogPort, 514, 514},
};

void ReadNumber(SettingsSource& source, Settings& settings, const NumberSetting& n) {
    std::uint32_t value = 0;
    (settings.*n.member) = source.ReadDword(n.name, value) ? value : n.valueMissing;
}

bool ReadBytes(SettingsSource& source, const char* name, void* buffer, std::size_t size) {
    std::memset(buffer, 0, size);
    if (source.ReadBytes(name, buffer, size)) return true;
    std::memset(buffer, 0, size);  // a failed read may have left part of a value behind
    return false;
}

// A text value of a buffer of `size` bytes; "" when it cannot be read. A
// buffer filled to its last byte has no terminator: its last byte is dropped.
std::string ReadText(SettingsSource& source, const char* name, std::size_t size) {
    std::vector<char> buffer(size, 0);
    if (!ReadBytes(source, name, buffer.data(), size)) return std::string();
    buffer[size - 1] = '\0';
    return std::string(buffer.data());
}

// A secret stored scrambled in a whole short buffer; empty when missing.
std::string ReadScrambled(SettingsSource& source, const char* name) {
    unsigned char stored[kShortValueSize];
    if (!ReadBytes(source, name, stored, sizeof stored)) return std::string();
    ScramblePassword(stored, sizeof stored, kPasswordKey);
    return std::string(reinterpret_cast<const char*>(stored), strnlen(reinterpret_cast<const char*>(stored), sizeof stored));
}

MailSettings LoadMailSettings(SettingsSource& source) {
    MailSettings mail;
    mail.server = ReadText(source, "SMTPServer", kTextValueSize);
    unsigned char port[2];
    mail.port = ReadBytes(source, "SMTPPort", port, sizeof port) ? static_cast<std::uint16_t>(port[0] | (port[1] << 8))
                                                                 : 0;
    mail.recipient = ReadText(source, "UserEMail", kTextValueSize);
    mail.sender = ReadText(source, "SenderEMail", kTextValueSize);
    mail.userName = ReadText(source, "UserName", kShortValueSize);
    mail.password = ReadScrambled(source, "Password");
    mail.oauthSecret = ReadScrambled(source, "OAuthClientSecret");
    mail.oauthTenant = ReadText(source, "OAuthTenant", kTextValueSize);
    mail.oauthClientId = ReadText(source, "OAuthClientId", kTextValueSize);
    mail.oauthTokenUrl = ReadText(source, "OAuthTokenURL", kTextValueSize);
    std::uint32_t number = 0;
    mail.authentication = static_cast<MailAuthentication>(source.ReadDword("AuthType", number) ? number : 0);
    mail.security = static_cast<MailSecurity>(source.ReadDword("SMTPSecurity", number) ? number : 0);
    mail.certSha256 = ReadText(source, "SMTPCertSHA256", kTextValueSize);
    return mail;
}

}  // namespace

void ApplyNoKeyDefaults(Settings& settings) {
    for (const NumberSetting& n : kNumbers) (settings.*n.member) = n.noKey;
    settings.Mail.Set(MailSettings());
    settings.MailConfigured = 0;
    settings.MetricsFolder.clear();
    settings.SyslogServer.clear();
}

// What the registry holds, the same in the 32-bit and the 64-bit build: the
// texts and the password in their whole buffers, the port in two bytes.
static_assert(kTextValueSize == 260 && kShortValueSize == 128 && sizeof(MailSettings::port) == 2,
              "the stored sizes of the mail settings");

void LoadSettings(SettingsSource& source, Settings& settings) {
    for (const NumberSetting& n : kNumbers) {
        ReadNumber(source, settings, n);
        if (n.member == &Settings::RebootTimeout && settings.RebootTimeout < kMinimumRebootTimeout) {
            settings.RebootTimeout = kMinimumRebootTimeout;
        }
    }
    settings.Mail.Set(LoadMailSettings(source));
    settings.MailConfigured = ComputeMailConfigured(settings) ? 1 : 0;
    settings.MetricsFolder = ReadText(source, "MetricsFolder", kTextValueSize);
    settings.SyslogServer = ReadText(source, "SyslogServer", kTextValueSize);
}

bool ComputeMailConfigured(const Settings& settings) { return MailSettingsComplete(settings.Mail.Get()); }

void ScramblePassword(unsigned char* buffer, std::size_t length, const char* key) {
    if (buffer == nullptr || key == nullptr) return;
    const std::size_t keyLength = std::strlen(key);
    if (keyLength == 0) return;  // no key stream at all; scrambling would never advance
    const std::size_t wordCount = (keyLength + 3) / 4;

    std::vector<std::uint32_t> words(wordCount, 0);
    for (std::size_t i = 0; i < keyLength; ++i) {
        words[i / 4] |= static_cast<std::uint32_t>(static_cast<unsigned char>(key[i])) << (8 * (i % 4));
    }

    for (std::size_t block = 0; block < length; block += wordCount * 4) {
        for (std::size_t i = 0; i < wordCount; ++i) {
            const std::uint32_t w = words[i];
            for (std::size_t b = 0; b < 4; ++b) {
                const std::size_t at = block + 4 * i + b;
                if (at < length) buffer[at] ^= static_cast<unsigned char>(w >> (8 * b));
            }
            words[i] = w * 81u + 123u;
        }
    }
}

}  // namespace mrwd
