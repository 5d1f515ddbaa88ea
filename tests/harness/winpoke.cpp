// winpoke.exe: Windows-side chores for the shell-driven tests, run under Wine:
//   winpoke set-dword NAME VALUE
//        a settings value of the interactive server (per user)
//   winpoke store-module PATH PARAMETERS REBOOT_AFTER
//        a monitored program that speaks the alive protocol (10 s interval)
//   winpoke store-seen-module PATH
//        a program that has spoken the alive protocol, not under control
//   winpoke set-mail PORT USER PASSWORD
//        mail through the SMTP server on 127.0.0.1:PORT with AUTH LOGIN
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/win/settings_store.h"
#include "supervision/core/module_entry.h"
#include "supervision/win/module_store.h"
#include "tests/harness/mail_account.h"

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "set-dword" && argc == 4) {
        return mrwd::SettingsStore(false).StoreDword(argv[2], std::strtoul(argv[3], nullptr, 10)) ? 0 : 1;
    }
    if (command == "store-module" && (argc == 5 || argc == 6)) {
        mrwd::ModuleEntry entry = mrwd::RegisteredEntry(10000);
        entry.Parameters = argv[3];
        entry.RebootAfter = std::strtoul(argv[4], nullptr, 10);
        if (argc == 6) entry.StartDelay = std::strtoul(argv[5], nullptr, 10);
        return mrwd::ModuleStore(HKEY_CURRENT_USER).Store(argv[2], entry) ? 0 : 1;
    }
    if (command == "store-seen-module" && argc == 3) {
        mrwd::ModuleEntry entry = mrwd::RegisteredEntry(10000);
        entry.ControlEnabled = 0;
        return mrwd::ModuleStore(HKEY_CURRENT_USER).Store(argv[2], entry) ? 0 : 1;
    }
    if (command == "set-mail" && argc == 5) {
        const auto port = static_cast<std::uint16_t>(std::strtoul(argv[2], nullptr, 10));
        return mrwd::testing::StoreMailAccount(port, argv[3], argv[4]) ? 0 : 1;
    }
    std::fprintf(stderr,
                 "usage: winpoke set-dword NAME VALUE | store-module PATH PARAMETERS REBOOT_AFTER [START_DELAY_MS] |"
                 " store-seen-module PATH | set-mail PORT USER PASSWORD\n");
    return 2;
}
