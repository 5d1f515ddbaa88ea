// The settings key in the registry: loading every value at start and storing
// one value at a time, the moment it changes.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "base/core/settings.h"
#include "base/win/handles.h"

namespace mrwd {

constexpr char kSettingsKey[] = "Software\\Marotel\\VivavAde296";
constexpr char kSettingsKeyClass[] = "Data";

class SettingsStore {
public:
    // The service keeps its settings per machine, an interactive server per user.
    explicit SettingsStore(bool serviceMode) : root_(serviceMode ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER) {}

    HKEY Root() const { return root_; }

    // Fills `settings` from the key, or with the no-key defaults when it cannot
    // be opened. Returns whether the key could be opened.
    bool Load(Settings& settings) const;

    bool StoreDword(const char* name, std::uint32_t value) const;
    // Writes the whole buffer, text and trailing zeros, so the stored value
    // always has the buffer's size.
    bool StoreText(const char* name, const char* text, std::size_t bufferSize) const;
    // The SMTP port: two little-endian bytes, stored with the text type.
    bool StoreSmtpPort(std::uint16_t port) const;
    // Scrambles a copy of the 128-byte plain-text password and stores it.
    bool StorePassword(const unsigned char (&plain)[kShortValueSize]) const;
    // A secret scrambled as the password is, in its whole short buffer.
    bool StoreScrambled(const char* name, const unsigned char (&plain)[kShortValueSize]) const;
    // The mail settings as the dialog's OK writes them: every value in its
    // type and size, the user name and password only when authenticating (so
    // switching authentication off keeps the stored account). "SMTPCertSHA256"
    // is the operator's to write.
    void StoreMail(const MailSettings& mail) const;

private:
    bool OpenOrCreate(UniqueRegKey& key) const;
    bool Store(const char* name, DWORD type, const void* data, DWORD size) const;

    HKEY root_;
};

}  // namespace mrwd
