// CController: the reboot controller's thread. It wakes every 2.5 s or when a
// command is posted, and runs the card and modem decisions of ControllerLogic
// against the real serial ports. Other threads reach it only by PostCommand.
#pragma once

#include <atomic>
#include <memory>

#include "base/core/controller_commands.h"
#include "base/core/settings.h"
#include "base/core/ui_events.h"
#include "base/win/event_log.h"
#include "base/win/handles.h"
#include "base/win/settings_store.h"
#include "base/win/thread.h"
#include "hardware/core/command_mailbox.h"
#include "hardware/core/controller_logic.h"
#include "hardware/win/error_msg.h"
#include "hardware/win/rebooter.h"

namespace mrwd {

class CController final : public CThread, public ControllerCommands {
public:
    // Starts the thread at once. `store` is where a card found by the search
    // is pinned; status changes are reported through `ui`.
    CController(Settings& settings, const std::atomic<bool>& supervisionOn, SettingsStore store, const EventLog& log,
                UiEvents& ui);
    // Stops the thread (which releases the card unless a reboot is under way).
    ~CController() override;

    // Any thread: 1 force a modem reset, 2 check the modem, 3 reset the
    // computer through the card, 4 a last heartbeat before a software reboot.
    void PostCommand(int code) override;
    void AnnounceReboot() override { logic_.AnnounceReboot(); }
    bool WaitForRebootOrder(unsigned milliseconds) override;
    void CancelReboot() override;

    // The status lines the main dialog shows (guarded: any thread may read them).
    const StatusLine& ControllerStatus() const { return logic_.ControllerStatus(); }
    const StatusLine& ModemStatus() const { return logic_.ModemStatus(); }
    ControllerLogic& Logic() { return logic_; }

    void Run() override;

private:
    class System final : public ControllerSystem {
    public:
        explicit System(CController& owner) : owner_(owner) {}
        Tick Now() override;
        void Wait(unsigned milliseconds) override;
        int FindFreePort(int after) override;
        ModemProbe ProbeModem(int port, const std::function<void()>& whileWaiting) override;
        void Log(unsigned kind, const std::string& format, long number) override;
        void StorePinnedPort(int port) override;
        void RefreshMainDialog() override;
        void ReportCardFailure() override;
        void Beep() override;
        void StatusChanged(bool modemLine) override;
        void PostCommand(int code) override { owner_.PostCommand(code); }

    private:
        CController& owner_;
    };

    SettingsStore store_;
    const EventLog& log_;
    UiEvents& ui_;
    ControllerTexts texts_;
    CRebooter rebooter_;
    CommandMailbox mailbox_;
    UniqueHandle commandEvent_;
    // Signalled once a reboot order has been carried out; cleared when one is posted.
    UniqueHandle rebootOrdered_;
    std::unique_ptr<ErrorMsg> failureWindow_;
    System system_;
    ControllerLogic logic_;
};

// The controller's texts from the string table, in the log's code page.
ControllerTexts LoadControllerTexts();

}  // namespace mrwd
