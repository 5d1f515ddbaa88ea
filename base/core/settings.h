// The server's settings as held while it runs, their defaults, the loader
// logic, and the scrambling of the stored mail password. The registry access
// itself lives in the Windows shell (settings_store); this part decides.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/core/mail_settings.h"

namespace mrwd {

constexpr std::size_t kTextValueSize = 260;   // host and address buffers
constexpr std::size_t kShortValueSize = 128;  // user name and password buffers

// One field per registry value, named like the value. The members start with
// the values in force when the settings key does not exist at all.
// The numbers are read and written by several threads without a lock (the
// dialog switches them while the engine and controller read them), hence atomic.
struct Settings {
    std::atomic<std::uint32_t> Icon{1};
    std::atomic<std::uint32_t> Active{1};
    std::atomic<std::uint32_t> System{1};
    std::atomic<std::uint32_t> Log{1};
    std::atomic<std::uint32_t> FloatWindow{0};
    std::atomic<std::uint32_t> Controller{0};
    std::atomic<std::uint32_t> CustomControllerPort{0};
    std::atomic<std::uint32_t> ControllerPort{0};
    std::atomic<std::uint32_t> HardReboot{0};
    std::atomic<std::uint32_t> CheckContr{0};
    std::atomic<std::uint32_t> RebootTimeout{10};
    std::atomic<std::uint32_t> Modem{0};
    std::atomic<std::uint32_t> MdmCheckTimeout{1};
    std::atomic<std::uint32_t> ControlMdm{1};
    std::atomic<std::uint32_t> NotifyReboot{0};
    std::atomic<std::uint32_t> SendLog{0};
    // The fleet outputs: the Windows event log (on unless "EventLog" is 0),
    // the metrics file in "MetricsFolder" and syslog to "SyslogServer" on
    // "SyslogPort" (each off while its text is empty). The texts are read at
    // start only: nothing changes them while the server runs.
    std::atomic<std::uint32_t> EventLog{1};
    std::atomic<std::uint32_t> SyslogPort{514};
    std::string MetricsFolder;
    std::string SyslogServer;

    // "SMTPServer", "SMTPPort", "UserEMail", "SenderEMail", "AuthType",
    // "UserName", "Password", "SMTPSecurity" and "SMTPCertSHA256", as one value.
    SharedMailSettings Mail;

    // Derived: the mail settings are complete enough to send anything.
    std::atomic<int> MailConfigured{0};

    // The registry keeps two switches the other way round: "Controller" 1 and
    // "ControlMdm" 1 both mean "work without".
    bool WithoutController() const { return Controller == 1; }
    bool WithoutModemControl() const { return ControlMdm == 1; }
    // Both switches exactly 0: a forced modem reset may be sent through the card.
    bool ForcedModemResetAllowed() const { return ControlMdm == 0 && Controller == 0; }
};

// Where the loader reads values from. A read fails when the value is missing,
// has a different size class, or does not fit the buffer.
class SettingsSource {
public:
    virtual ~SettingsSource() = default;
    virtual bool ReadDword(const char* name, std::uint32_t& value) = 0;
    // Reads at most `size` bytes into `buffer`; the buffer is zeroed first by the caller.
    virtual bool ReadBytes(const char* name, void* buffer, std::size_t size) = 0;
};

// Puts every setting to the value in force when the settings key cannot be opened.
void ApplyNoKeyDefaults(Settings& settings);

// Reads every setting from an existing key; a value that cannot be read takes
// its "value missing" default. Raises RebootTimeout to 10, unscrambles the
// password and computes MailConfigured.
void LoadSettings(SettingsSource& source, Settings& settings);

// Server, both addresses and (when authenticating) user name and password set.
bool ComputeMailConfigured(const Settings& settings);

// The controller never resets faster than this many seconds.
constexpr std::uint32_t kMinimumRebootTimeout = 10;

// The compiled-in key of the password scrambling. Passwords stored by one
// build can only be read by a build with the same key.
extern const char kPasswordKey[5];

// XORs `buffer` with a key stream derived from `key`; running it twice with
// the same key gives back the input.
void ScramblePassword(unsigned char* buffer, std::size_t length, const char* key);

}  // namespace mrwd
