#include "base/core/settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace mrwd {
namespace {

// A settings key held in memory: numbers and byte values by name.
class FakeKey final : public SettingsSource {
public:
    std::map<std::string, std::uint32_t> numbers;
    std::map<std::string, std::vector<unsigned char>> bytes;

    bool ReadDword(const char* name, std::uint32_t& value) override {
        auto it = numbers.find(name);
        if (it == numbers.end()) return false;
        value = it->second;
        return true;
    }
    bool ReadBytes(const char* name, void* buffer, std::size_t size) override {
        auto it = bytes.find(name);
        if (it == bytes.end() || it->second.size() > size) return false;
        std::memcpy(buffer, it->second.data(), it->second.size());
        return true;
    }
    void SetText(const char* name, const std::string& text) {
        bytes[name] = std::vector<unsigned char>(text.begin(), text.end());
        bytes[name].push_back(0);
    }
};

TEST(SettingsDefaults, NoKeyAndEmptyKeyDifferOnlyInCheckContr) {
    Settings noKey;
    ApplyNoKeyDefaults(noKey);
    Settings emptyKey;
    FakeKey key;
    LoadSettings(key, emptyKey);

    EXPECT_EQ(noKey.CheckContr, 0u);
    EXPECT_EQ(emptyKey.CheckContr, 1u);

    const auto same = [&](std::atomic<std::uint32_t> Settings::*m) { return noKey.*m == emptyKey.*m; };
    EXPECT_TRUE(same(&Settings::Icon));
    EXPECT_TRUE(same(&Settings::Active));
    EXPECT_TRUE(same(&Settings::System));
    EXPECT_TRUE(same(&Settings::Log));
    EXPECT_TRUE(same(&Settings::RebootTimeout));
    EXPECT_TRUE(same(&Settings::MdmCheckTimeout));
    EXPECT_TRUE(same(&Settings::ControlMdm));
    EXPECT_EQ(emptyKey.Icon, 1u);
    EXPECT_EQ(emptyKey.Active, 1u);
    EXPECT_EQ(emptyKey.System, 1u);
    EXPECT_EQ(emptyKey.Log, 1u);
    EXPECT_EQ(emptyKey.FloatWindow, 0u);
    EXPECT_EQ(emptyKey.RebootTimeout, 10u);
    EXPECT_EQ(emptyKey.MdmCheckTimeout, 1u);
    EXPECT_EQ(emptyKey.ControlMdm, 1u);
    EXPECT_EQ(emptyKey.Mail.Get().port, 0);
    EXPECT_EQ(emptyKey.Mail.Get().security, MailSecurity::None) << "installations from before TLS keep plain text";
    EXPECT_EQ(emptyKey.MailConfigured, 0);
    // The fleet outputs: the Windows event log on, the others off.
    EXPECT_EQ(emptyKey.EventLog, 1u);
    EXPECT_EQ(emptyKey.SyslogPort, 514u);
    EXPECT_EQ(emptyKey.MetricsFolder, "");
    EXPECT_EQ(emptyKey.SyslogServer, "");
}

TEST(SettingsLoad, StoredNumbersReplaceDefaults) {
    FakeKey key;
    key.numbers = {{"Icon", 0}, {"Active", 0}, {"HardReboot", 1}, {"ControllerPort", 7},
                   {"CheckContr", 0}, {"Modem", 3}, {"AuthType", 2}, {"SMTPSecurity", 1},
                   {"EventLog", 0}, {"SyslogPort", 1514}};
    Settings s;
    LoadSettings(key, s);
    EXPECT_EQ(s.Icon, 0u);
    EXPECT_EQ(s.Active, 0u);
    EXPECT_EQ(s.HardReboot, 1u);
    EXPECT_EQ(s.ControllerPort, 7u);
    EXPECT_EQ(s.CheckContr, 0u);
    EXPECT_EQ(s.Modem, 3u);
    EXPECT_EQ(s.Mail.Get().authentication, MailAuthentication::PopBeforeSmtp);
    EXPECT_EQ(s.Mail.Get().security, MailSecurity::StartTls);
    EXPECT_EQ(s.EventLog, 0u);
    EXPECT_EQ(s.SyslogPort, 1514u);
}

TEST(SettingsLoad, RebootTimeoutBelowTenIsRaisedToTen) {
    for (std::uint32_t stored : {0u, 3u, 9u}) {
        FakeKey key;
        key.numbers["RebootTimeout"] = stored;
        Settings s;
        LoadSettings(key, s);
        EXPECT_EQ(s.RebootTimeout, 10u) << "stored " << stored;
    }
    FakeKey key;
    key.numbers["RebootTimeout"] = 45;
    Settings s;
    LoadSettings(key, s);
    EXPECT_EQ(s.RebootTimeout, 45u);
    // Compared as unsigned: a huge value stays as it is.
    key.numbers["RebootTimeout"] = 0xFFFFFFF0u;
    LoadSettings(key, s);
    EXPECT_EQ(s.RebootTimeout, 0xFFFFFFF0u);
}

TEST(SettingsLoad, PortIsTwoLittleEndianBytes) {
    FakeKey key;
    key.bytes["SMTPPort"] = {0x4B, 0x02};
    Settings s;
    LoadSettings(key, s);
    EXPECT_EQ(s.Mail.Get().port, 587);
    key.bytes["SMTPPort"] = {0x19, 0x00, 0x00};  // does not fit two bytes: counts as missing
    LoadSettings(key, s);
    EXPECT_EQ(s.Mail.Get().port, 0);
}

TEST(SettingsLoad, TextTooLongForItsBufferCountsAsMissing) {
    FakeKey key;
    key.SetText("SMTPServer", std::string(300, 'h'));
    key.SetText("UserEMail", "ops@example.com");
    key.SetText("SMTPCertSHA256", "AB:cd");
    Settings s;
    MailSettings leftOver;
    leftOver.server = "left over";
    s.Mail.Set(leftOver);
    LoadSettings(key, s);
    EXPECT_EQ(s.Mail.Get().server, "");
    EXPECT_EQ(s.Mail.Get().recipient, "ops@example.com");
    EXPECT_EQ(s.Mail.Get().certSha256, "AB:cd");
}

TEST(SettingsLoad, ATextFillingTheWholeBufferStaysTerminated) {
    FakeKey key;
    key.bytes["UserName"] = std::vector<unsigned char>(kShortValueSize, 'u');
    Settings s;
    LoadSettings(key, s);
    EXPECT_EQ(s.Mail.Get().userName, std::string(kShortValueSize - 1, 'u'));
}

TEST(PasswordScrambling, FullBufferRoundTripKeepsTextAndTrailingZeros) {
    unsigned char plain[kShortValueSize] = {};
    std::strcpy(reinterpret_cast<char*>(plain), "s3cr3t-\xE9\xF0");
    unsigned char buffer[kShortValueSize];
    std::memcpy(buffer, plain, sizeof buffer);

    ScramblePassword(buffer, sizeof buffer, kPasswordKey);
    EXPECT_NE(std::memcmp(buffer, plain, sizeof buffer), 0);
    // The key stream changes every block, so the zero tail does not repeat one pattern.
    EXPECT_NE(std::memcmp(buffer + 64, buffer + 68, 4), 0);

    ScramblePassword(buffer, sizeof buffer, kPasswordKey);
    EXPECT_EQ(std::memcmp(buffer, plain, sizeof buffer), 0);
}

TEST(PasswordScrambling, KnownKeyStream) {
    // Key "ABCD" is the word 0x44434241; each block XORs it, then w = w*81+123.
    unsigned char buffer[10] = {};
    ScramblePassword(buffer, sizeof buffer, "ABCD");
    std::uint32_t w = 0x44434241u;
    for (int i = 0; i < 10; ++i) {
        if (i > 0 && i % 4 == 0) w = w * 81u + 123u;
        EXPECT_EQ(buffer[i], static_cast<unsigned char>(w >> (8 * (i % 4)))) << "byte " << i;
    }
}

TEST(PasswordScrambling, KeyPaddedToWholeWordsAndShortTailsHandled) {
    // A 5-character key makes two words per block: the second holds 'E' and zeros.
    unsigned char buffer[9] = {};
    ScramblePassword(buffer, sizeof buffer, "ABCDE");
    const unsigned char expected[8] = {'A', 'B', 'C', 'D', 'E', 0, 0, 0};
    EXPECT_EQ(std::memcmp(buffer, expected, 8), 0);
    EXPECT_EQ(buffer[8], static_cast<unsigned char>((0x44434241u * 81u + 123u) & 0xFF));

    unsigned char none[1] = {0x5A};
    ScramblePassword(none, 1, "");  // no key: nothing to do, and no endless loop
    EXPECT_EQ(none[0], 0x5A);
}

TEST(SettingsLoad, StoredPasswordIsUnscrambledAfterReading) {
    unsigned char stored[kShortValueSize] = {};
    std::strcpy(reinterpret_cast<char*>(stored), "pa55");
    ScramblePassword(stored, sizeof stored, kPasswordKey);
    FakeKey key;
    key.bytes["Password"] = std::vector<unsigned char>(std::begin(stored), std::end(stored));
    Settings s;
    LoadSettings(key, s);
    EXPECT_EQ(s.Mail.Get().password, "pa55");
}

// OAuth: the mailbox, the application (its id and scrambled secret) and
// where its token comes from, a tenant or a token URL of its own.
TEST(MailConfigured, OAuthNeedsTheMailboxTheApplicationAndATenantOrTokenUrl) {
    FakeKey key;
    key.SetText("SMTPServer", "smtp.office365.com");
    key.SetText("UserEMail", "ops@example.com");
    key.SetText("SenderEMail", "kiosk@example.com");
    key.numbers["AuthType"] = 3;
    key.SetText("UserName", "kiosk@example.com");
    key.SetText("OAuthClientId", "11111111-2222");
    key.SetText("OAuthTenant", "contoso.onmicrosoft.com");
    unsigned char stored[kShortValueSize] = {};
    std::strcpy(reinterpret_cast<char*>(stored), "s3cr~t");
    ScramblePassword(stored, sizeof stored, kPasswordKey);
    key.bytes["OAuthClientSecret"] = std::vector<unsigned char>(std::begin(stored), std::end(stored));
    Settings s;
    LoadSettings(key, s);
    const MailSettings mail = s.Mail.Get();
    EXPECT_EQ(mail.authentication, MailAuthentication::OAuth);
    EXPECT_EQ(mail.oauthSecret, "s3cr~t");
    EXPECT_EQ(mail.oauthClientId, "11111111-2222");
    EXPECT_EQ(mail.password, "") << "the secret is not the password";
    EXPECT_EQ(s.MailConfigured, 1);

    key.bytes.erase("OAuthTenant");
    LoadSettings(key, s);
    EXPECT_EQ(s.MailConfigured, 0) << "neither a tenant nor a token URL";
    key.SetText("OAuthTokenURL", "https://127.0.0.1:8443/token");
    LoadSettings(key, s);
    EXPECT_EQ(s.MailConfigured, 1);
    key.bytes.erase("OAuthClientSecret");
    LoadSettings(key, s);
    EXPECT_EQ(s.MailConfigured, 0) << "no secret";
}

TEST(MailConfigured, NeedsServerAddressesAndWithAuthenticationTheLogin) {
    FakeKey key;
    key.SetText("SMTPServer", "mail.example.com");
    key.SetText("UserEMail", "ops@example.com");
    key.SetText("SenderEMail", "kiosk@example.com");
    Settings s;
    LoadSettings(key, s);
    EXPECT_EQ(s.MailConfigured, 1);

    key.numbers["AuthType"] = 2;
    key.SetText("UserName", "kiosk");
    LoadSettings(key, s);
    EXPECT_EQ(s.MailConfigured, 0) << "POP before SMTP with an empty password";

    unsigned char stored[kShortValueSize] = {'x'};
    ScramblePassword(stored, sizeof stored, kPasswordKey);
    key.bytes["Password"] = std::vector<unsigned char>(std::begin(stored), std::end(stored));
    LoadSettings(key, s);
    EXPECT_EQ(s.MailConfigured, 1);

    key.bytes.erase("UserName");
    LoadSettings(key, s);
    EXPECT_EQ(s.MailConfigured, 0);

    key.numbers["AuthType"] = 0;
    key.bytes.erase("SenderEMail");
    LoadSettings(key, s);
    EXPECT_EQ(s.MailConfigured, 0);
}

}  // namespace
}  // namespace mrwd
