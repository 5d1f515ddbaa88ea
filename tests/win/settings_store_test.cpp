#include "base/win/settings_store.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/harness/win_harness.h"

namespace mrwd {
namespace {

using testing::CleanSettings;
using testing::RegistryReadBytes;
using testing::RegistryReadDword;

TEST(SettingsStore, FirstStartWithoutKeyHasNoControllerCheck) {
    CleanSettings clean;
    Settings s;
    EXPECT_FALSE(SettingsStore(false).Load(s));
    EXPECT_EQ(s.CheckContr, 0u);
    EXPECT_EQ(s.Icon, 1u);
    EXPECT_EQ(s.RebootTimeout, 10u);

    // Storing any value creates the key; from then on a missing CheckContr reads as 1.
    ASSERT_TRUE(SettingsStore(false).StoreDword("FloatWindow", 1));
    EXPECT_TRUE(SettingsStore(false).Load(s));
    EXPECT_EQ(s.CheckContr, 1u);
    EXPECT_EQ(s.FloatWindow, 1u);
}

TEST(SettingsStore, ServiceModeUsesTheMachineKeyAndInteractiveTheUserKey) {
    CleanSettings clean;
    ASSERT_TRUE(SettingsStore(true).StoreDword("Modem", 4));
    ASSERT_TRUE(SettingsStore(false).StoreDword("Modem", 2));

    DWORD value = 0;
    ASSERT_TRUE(RegistryReadDword(HKEY_LOCAL_MACHINE, "Modem", &value));
    EXPECT_EQ(value, 4u);
    ASSERT_TRUE(RegistryReadDword(HKEY_CURRENT_USER, "Modem", &value));
    EXPECT_EQ(value, 2u);

    Settings service, interactive;
    SettingsStore(true).Load(service);
    SettingsStore(false).Load(interactive);
    EXPECT_EQ(service.Modem, 4u);
    EXPECT_EQ(interactive.Modem, 2u);
}

TEST(SettingsStore, KeyIsCreatedWithTheDataClass) {
    CleanSettings clean;
    ASSERT_TRUE(SettingsStore(false).StoreDword("Icon", 0));
    UniqueRegKey key;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, key.put()), ERROR_SUCCESS);
    char keyClass[32] = {};
    DWORD length = sizeof keyClass;
    ASSERT_EQ(::RegQueryInfoKeyA(key.get(), keyClass, &length, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_STREQ(keyClass, "Data");
}

TEST(SettingsStore, TextsFillTheirWholeBuffer) {
    CleanSettings clean;
    const SettingsStore store(false);
    ASSERT_TRUE(store.StoreText("SMTPServer", "mail.example.com", kTextValueSize));
    ASSERT_TRUE(store.StoreText("UserName", "kiosk", kShortValueSize));

    std::vector<unsigned char> bytes;
    DWORD type = 0;
    ASSERT_TRUE(RegistryReadBytes(HKEY_CURRENT_USER, "SMTPServer", &bytes, &type));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    ASSERT_EQ(bytes.size(), kTextValueSize);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 16), "mail.example.com");
    EXPECT_TRUE(std::all_of(bytes.begin() + 16, bytes.end(), [](unsigned char b) { return b == 0; }));
    ASSERT_TRUE(RegistryReadBytes(HKEY_CURRENT_USER, "UserName", &bytes));
    EXPECT_EQ(bytes.size(), kShortValueSize);

    Settings s;
    store.Load(s);
    EXPECT_EQ(s.Mail.Get().server, "mail.example.com");
    EXPECT_EQ(s.Mail.Get().userName, "kiosk");
}

TEST(SettingsStore, PortIsTwoBytesWithTheTextType) {
    CleanSettings clean;
    const SettingsStore store(false);
    // Bytes 0x00 and 0x98 (no character in Windows-1251) must survive the text type too.
    for (std::uint16_t port : {25, 587, 2525, 256, 152, 0x9898, 0}) {
        ASSERT_TRUE(store.StoreSmtpPort(port));
        std::vector<unsigned char> bytes;
        DWORD type = 0;
        ASSERT_TRUE(RegistryReadBytes(HKEY_CURRENT_USER, "SMTPPort", &bytes, &type));
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
        ASSERT_EQ(bytes.size(), 2u);
        EXPECT_EQ(bytes[0] | (bytes[1] << 8), port);
        Settings s;
        store.Load(s);
        EXPECT_EQ(s.Mail.Get().port, port);
    }
}

// Why the port's bytes are stored with care: the system reads one byte past
// a text whose last byte is not zero, and takes a zero there as a terminator
// the caller forgot. Three bytes stored do not load as a port.
TEST(SettingsStore, ATextValueIsExtendedByTheZeroAfterIt) {
    CleanSettings clean;
    const unsigned char unterminated[3] = {0x11, 0x92, 0x00};
    UniqueRegKey key;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                                nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExA(key.get(), "SMTPPort", 0, REG_SZ, unterminated, 2), ERROR_SUCCESS);
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(RegistryReadBytes(HKEY_CURRENT_USER, "SMTPPort", &bytes));
    EXPECT_EQ(bytes.size(), 3u);
    Settings s;
    SettingsStore(false).Load(s);
    EXPECT_EQ(s.Mail.Get().port, 0) << "three bytes count as missing";

    // The store never leaves the zero there: the port 0x9211 of a failed run loads.
    ASSERT_TRUE(SettingsStore(false).StoreSmtpPort(0x9211));
    SettingsStore(false).Load(s);
    EXPECT_EQ(s.Mail.Get().port, 0x9211);
}

TEST(SettingsStore, PasswordIsStoredScrambledAndLoadsAsPlainText) {
    CleanSettings clean;
    const SettingsStore store(false);
    unsigned char plain[kShortValueSize] = {};
    std::strcpy(reinterpret_cast<char*>(plain), "correct horse");
    ASSERT_TRUE(store.StorePassword(plain));

    std::vector<unsigned char> stored;
    DWORD type = 0;
    ASSERT_TRUE(RegistryReadBytes(HKEY_CURRENT_USER, "Password", &stored, &type));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    ASSERT_EQ(stored.size(), kShortValueSize);
    EXPECT_NE(std::memcmp(stored.data(), plain, kShortValueSize), 0);
    unsigned char expected[kShortValueSize];
    std::memcpy(expected, plain, sizeof expected);
    ScramblePassword(expected, sizeof expected, kPasswordKey);
    EXPECT_EQ(std::memcmp(stored.data(), expected, kShortValueSize), 0);

    Settings s;
    store.Load(s);
    EXPECT_EQ(s.Mail.Get().password, "correct horse");
}

TEST(SettingsStore, MailConfiguredFollowsWhatIsStored) {
    CleanSettings clean;
    const SettingsStore store(false);
    store.StoreText("SMTPServer", "127.0.0.1", kTextValueSize);
    store.StoreText("UserEMail", "ops@example.com", kTextValueSize);
    store.StoreText("SenderEMail", "kiosk@example.com", kTextValueSize);
    store.StoreDword("AuthType", 1);
    store.StoreText("UserName", "kiosk", kShortValueSize);
    Settings s;
    store.Load(s);
    EXPECT_EQ(s.MailConfigured, 0);  // no password yet

    unsigned char password[kShortValueSize] = {'p'};
    store.StorePassword(password);
    store.Load(s);
    EXPECT_EQ(s.MailConfigured, 1);
}

TEST(SettingsStore, SmallRebootTimeoutAndUnreadableValuesTakeDefaults) {
    CleanSettings clean;
    const SettingsStore store(false);
    store.StoreDword("RebootTimeout", 3);
    store.StoreText("Icon", "not a number", kShortValueSize);  // wrong size: counts as missing
    Settings s;
    store.Load(s);
    EXPECT_EQ(s.RebootTimeout, 10u);
    EXPECT_EQ(s.Icon, 1u);
}

}  // namespace
}  // namespace mrwd
