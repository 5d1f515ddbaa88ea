// CController: the reboot controller's thread. It wakes every 2.5 s or when a
// command is posted, and runs the card and modem decisions of ControllerLogic
// against the real serial ports. Other threads reach it only by PostCommand.
#pragma once

#include <atomic>
#include <memory>

#include "app/core/settings.h"
#include "app/win/handles.h"
#include "app/win/thread.h"
#include "hardware/core/command_mailbox.h"
#include "hardware/core/controller_logic.h"
#include "hardware/win/error_msg.h"
#include "hardware/win/rebooter.h"

namespace mrwd {

constexpr DWORD kControllerPeriodMs = 2500;

class CController final : public CThread {
public:
    // Starts the thread at once.
    CController(Settings& settings, const std::atomic<int>& supervisionOn);
    // Stops the thread (which releases the card unless a reboot is under way).
    ~CController() override;

    // Any thread: 1 force a modem reset, 2 check the modem, 3 reset the
    // computer through the card, 4 a last heartbeat before a software reboot.
    void PostCommand(int code);
    // Waits until a posted reboot order has reached the card, for at most `milliseconds`.
    bool WaitForRebootOrder(DWORD milliseconds) const;

    const StatusLine& ControllerStatus() const { return logic_.ControllerStatus(); }
    const StatusLine& ModemStatus() const { return logic_.ModemStatus(); }
    // Put the status texts into the open main dialog.
    void ShowControllerText() const;
    void ShowModemText() const;
    ControllerLogic& Logic() { return logic_; }

    void Run() override;

private:
    class System final : public ControllerSystem {
    public:
        explicit System(CController& owner) : owner_(owner) {}
        Tick Now() override;
        void Wait(unsigned milliseconds) override;
        int FindFreePort(int after) override;
        ModemProbe ProbeModem(int port) override;
        void Log(const std::string& text) override;
        void StorePinnedPort(int port) override;
        void RefreshMainDialog() override;
        void ReportCardFailure() override;
        void Beep() override;
        void StatusChanged(bool modemLine) override;
        void PostCommand(int code) override { owner_.PostCommand(code); }

    private:
        CController& owner_;
    };

    ControllerTexts texts_;
    CRebooter rebooter_;
    CommandMailbox mailbox_;
    UniqueHandle commandEvent_;
    std::unique_ptr<ErrorMsg> failureWindow_;
    System system_;
    ControllerLogic logic_;
};

// The controller's texts from the string table, in the log's code page.
ControllerTexts LoadControllerTexts();

}  // namespace mrwd
