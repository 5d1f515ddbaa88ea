// winpoke.exe: Windows-side chores for the shell-driven tests, run under Wine:
//   winpoke set-dword NAME VALUE
//        a settings value of the interactive server (per user)
//   winpoke store-module PATH PARAMETERS REBOOT_AFTER
//        a monitored program that speaks the alive protocol (10 s interval)
//   winpoke store-seen-module PATH
//        a program that has spoken the alive protocol, not under control
//   winpoke set-mail PORT USER PASSWORD
//        mail through the SMTP server on 127.0.0.1:PORT with AUTH LOGIN
//   winpoke store-module-fields PATH NAME=VALUE...
//        a monitored program as the user adds it, with the named record fields
//        changed (Parameters, NoAliveSupport, Copies, CheckInterval, RunPath,
//        RunAfter, BackupFolder, RestoreFolder, CopyAfter, CopySubfolders,
//        CopyOnlyDifferent, Notify, NotifyAfter, RebootAfter, StartDelay)
//   winpoke post-message NAME COUNT PAUSE_MS
//        the registered window message NAME posted COUNT times to the server's
//        window, PAUSE_MS apart (as programs asking for a modem reset do)
//   winpoke hold-server READY_FILE SECONDS
//        a server whose window thread is stuck, as an unload sees it: holds
//        the server's mutex and window for SECONDS and never takes a message;
//        READY_FILE is made once both are there
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/win/server_process.h"
#include "base/win/settings_store.h"
#include "supervision/core/module_entry.h"
#include "supervision/win/module_store.h"
#include "tests/harness/mail_account.h"

namespace {

bool SetField(mrwd::ModuleEntry& entry, const std::string& name, const std::string& value) {
    const auto number = static_cast<std::int32_t>(std::strtol(value.c_str(), nullptr, 10));
    const auto count = static_cast<std::uint32_t>(std::strtoul(value.c_str(), nullptr, 10));
    if (name == "Parameters") entry.Parameters = value;
    else if (name == "RunPath") entry.RunPath = value;
    else if (name == "BackupFolder") entry.BackupFolder = value;
    else if (name == "RestoreFolder") entry.RestoreFolder = value;
    else if (name == "NoAliveSupport") entry.NoAliveSupport = number;
    else if (name == "Copies") entry.Copies = count;
    else if (name == "CheckInterval") entry.CheckInterval = count;
    else if (name == "RunAfter") entry.RunAfter = number;
    else if (name == "CopyAfter") entry.CopyAfter = number;
    else if (name == "CopySubfolders") entry.CopySubfolders = number;
    else if (name == "CopyOnlyDifferent") entry.CopyOnlyDifferent = number;
    else if (name == "Notify") entry.Notify = number;
    else if (name == "NotifyAfter") entry.NotifyAfter = count;
    else if (name == "RebootAfter") entry.RebootAfter = count;
    else if (name == "StartDelay") entry.StartDelay = count;
    else return false;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "set-dword" && argc == 4) {
        return mrwd::SettingsStore(false).StoreDword(argv[2], std::strtoul(argv[3], nullptr, 10)) ? 0 : 1;
    }
    if (command == "store-module" && argc == 5) {
        mrwd::ModuleEntry entry = mrwd::RegisteredEntry(10000);
        entry.Parameters = argv[3];
        entry.RebootAfter = std::strtoul(argv[4], nullptr, 10);
        return mrwd::ModuleStore(HKEY_CURRENT_USER).Store(argv[2], entry) ? 0 : 1;
    }
    if (command == "store-seen-module" && argc == 3) {
        mrwd::ModuleEntry entry = mrwd::RegisteredEntry(10000);
        entry.ControlEnabled = 0;
        return mrwd::ModuleStore(HKEY_CURRENT_USER).Store(argv[2], entry) ? 0 : 1;
    }
    if (command == "hold-server" && argc == 4) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = ::DefWindowProcA;
        windowClass.hInstance = ::GetModuleHandleA(nullptr);
        windowClass.lpszClassName = mrwd::kServerName;
        ::RegisterClassA(&windowClass);
        HWND window = ::CreateWindowA(mrwd::kServerName, "", 0, 0, 0, 0, 0, nullptr, nullptr, windowClass.hInstance,
                                      nullptr);
        HANDLE mutex = ::CreateMutexA(nullptr, FALSE, mrwd::kServerName);
        if (window == nullptr || mutex == nullptr) return 1;
        HANDLE ready = ::CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (ready == INVALID_HANDLE_VALUE) return 1;
        ::CloseHandle(ready);
        ::Sleep(std::strtoul(argv[3], nullptr, 10) * 1000);
        ::CloseHandle(mutex);
        return 0;
    }
    if (command == "set-mail" && argc == 5) {
        const auto port = static_cast<std::uint16_t>(std::strtoul(argv[2], nullptr, 10));
        return mrwd::testing::StoreMailAccount(port, argv[3], argv[4]) ? 0 : 1;
    }
    if (command == "store-module-fields" && argc >= 3) {
        mrwd::ModuleEntry entry = mrwd::UserAddedEntry();
        for (int i = 3; i < argc; ++i) {
            const std::string field = argv[i];
            const size_t equals = field.find('=');
            if (equals == std::string::npos || !SetField(entry, field.substr(0, equals), field.substr(equals + 1))) {
                std::fprintf(stderr, "winpoke: unknown field %s\n", argv[i]);
                return 2;
            }
        }
        return mrwd::ModuleStore(HKEY_CURRENT_USER).Store(argv[2], entry) ? 0 : 1;
    }
    if (command == "post-message" && argc == 5) {
        const UINT message = ::RegisterWindowMessageA(argv[2]);
        const long count = std::strtol(argv[3], nullptr, 10);
        const DWORD pauseMs = std::strtoul(argv[4], nullptr, 10);
        for (long i = 0; i < count; ++i) {
            HWND server = ::FindWindowA("Marotel ZedevUdo Server", nullptr);
            if (server == nullptr || !::PostMessageA(server, message, 0, 0)) return 1;
            ::Sleep(pauseMs);
        }
        return 0;
    }
    std::fprintf(stderr,
                 "usage: winpoke set-dword NAME VALUE | store-module PATH PARAMETERS REBOOT_AFTER |"
                 " store-seen-module PATH | set-mail PORT USER PASSWORD | store-module-fields PATH NAME=VALUE... |"
                 " post-message NAME COUNT PAUSE_MS\n");
    return 2;
}
