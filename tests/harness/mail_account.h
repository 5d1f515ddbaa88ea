// The mail settings the tests give the server: a test server on 127.0.0.1,
// fixed addresses, AUTH LOGIN with the given account.
#pragma once

#include <cstdint>
#include <string>

#include "base/core/settings.h"

namespace mrwd::testing {

constexpr char kTestRecipient[] = "operator@kiosk.example";
constexpr char kTestSender[] = "watchdog@kiosk.example";

// Stores them in the per-user settings key; false when a value could not be
// written. With `security` the server is named "localhost", the name its
// test certificate carries.
bool StoreMailAccount(std::uint16_t port, const std::string& user, const std::string& password,
                      MailSecurity security = MailSecurity::None);

// The same for a running process's settings in memory (the password in
// plain text, MailConfigured recomputed). An empty user name means no
// authentication.
void PointMailSettingsAt(Settings& settings, std::uint16_t port, const std::string& user,
                         const std::string& password, const std::string& recipient = kTestRecipient,
                         MailSecurity security = MailSecurity::None);

}  // namespace mrwd::testing
