#include "settings_store.h"

#include <algorithm>
#include <cstring>

#include "base/win/handles.h"
#include "base/win/registry.h"

namespace mrwd {
namespace {

class RegistrySource final : public SettingsSource {
public:
    explicit RegistrySource(HKEY key) : key_(key) {}

    bool ReadDword(const char* name, std::uint32_t& value) override { return ReadRegistryDword(key_, name, value); }

    bool ReadBytes(const char* name, void* buffer, std::size_t size) override {
        DWORD got = static_cast<DWORD>(size);
        return ::RegQueryValueExA(key_, name, nullptr, nullptr, static_cast<BYTE*>(buffer), &got) ==
               ERROR_SUCCESS;
    }

private:
    HKEY key_;
};

}  // namespace

bool SettingsStore::Load(Settings& settings) const {
    UniqueRegKey key;
    if (::RegOpenKeyExA(root_, kSettingsKey, 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS) {
        ApplyNoKeyDefaults(settings);
        return false;
    }
    RegistrySource source(key.get());
    LoadSettings(source, settings);
    return true;
}

bool SettingsStore::OpenOrCreate(UniqueRegKey& key) const {
    return ::RegCreateKeyExA(root_, kSettingsKey, 0, const_cast<char*>(kSettingsKeyClass), REG_OPTION_NON_VOLATILE,
                             KEY_ALL_ACCESS, nullptr, key.put(), nullptr) == ERROR_SUCCESS;
}

bool SettingsStore::Store(const char* name, DWORD type, const void* data, DWORD size) const {
    UniqueRegKey key;
    return OpenOrCreate(key) &&
           ::RegSetValueExA(key.get(), name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

bool SettingsStore::StoreDword(const char* name, std::uint32_t value) const {
    UniqueRegKey key;
    return OpenOrCreate(key) && WriteRegistryDword(key.get(), name, value);
}

bool SettingsStore::StoreText(const char* name, const char* text, std::size_t bufferSize) const {
    char buffer[kTextValueSize] = {};
    if (bufferSize == 0 || bufferSize > sizeof buffer) return false;
    std::strncpy(buffer, text != nullptr ? text : "", bufferSize - 1);
    return Store(name, REG_SZ, buffer, static_cast<DWORD>(bufferSize));
}

bool SettingsStore::StoreSmtpPort(std::uint16_t port) const {
    // Two bytes of the text type. The system takes a text whose last byte is
    // not zero but whose next byte is as missing its terminator and stores
    // three bytes, which no longer load into two: the byte after the two is
    // ours and never zero, so exactly two are stored whatever the port.
    const unsigned char bytes[3] = {static_cast<unsigned char>(port & 0xFF), static_cast<unsigned char>(port >> 8),
                                    0xFF};
    return Store("SMTPPort", REG_SZ, bytes, 2);
}

bool SettingsStore::StorePassword(const unsigned char (&plain)[kShortValueSize]) const {
    return StoreScrambled("Password", plain);
}

bool SettingsStore::StoreScrambled(const char* name, const unsigned char (&plain)[kShortValueSize]) const {
    unsigned char scrambled[kShortValueSize];
    std::memcpy(scrambled, plain, sizeof scrambled);
    ScramblePassword(scrambled, sizeof scrambled, kPasswordKey);
    return Store(name, REG_BINARY, scrambled, sizeof scrambled);
}

void SettingsStore::StoreMail(const MailSettings& mail) const {
    StoreText("SMTPServer", mail.server.c_str(), kTextValueSize);
    StoreSmtpPort(mail.port);
    StoreText("UserEMail", mail.recipient.c_str(), kTextValueSize);
    StoreText("SenderEMail", mail.sender.c_str(), kTextValueSize);
    StoreDword("AuthType", static_cast<std::uint32_t>(mail.authentication));
    StoreDword("SMTPSecurity", static_cast<std::uint32_t>(mail.security));
    if (mail.authentication == MailAuthentication::None) return;
    StoreText("UserName", mail.userName.c_str(), kShortValueSize);
    unsigned char plain[kShortValueSize] = {};
    if (mail.authentication != MailAuthentication::OAuth) {
        std::memcpy(plain, mail.password.data(), std::min(mail.password.size(), sizeof plain - 1));
        StorePassword(plain);
        return;
    }
    // The application's secret only with its own kind: another kind's
    // password is never replaced by it, nor it by a password.
    std::memcpy(plain, mail.oauthSecret.data(), std::min(mail.oauthSecret.size(), sizeof plain - 1));
    StoreScrambled("OAuthClientSecret", plain);
    StoreText("OAuthTenant", mail.oauthTenant.c_str(), kTextValueSize);
    StoreText("OAuthClientId", mail.oauthClientId.c_str(), kTextValueSize);
    StoreText("OAuthTokenURL", mail.oauthTokenUrl.c_str(), kTextValueSize);
}

}  // namespace mrwd
