// CRebooter: the reboot controller card's commands, one exchange each over
// the card's serial port.
#pragma once

#include <cstdint>

#include "hardware/core/controller_logic.h"
#include "hardware/win/com_port.h"

namespace mrwd {

class CRebooter final : public CComPort, public CardLink {
public:
    bool IsOpen() const override { return CComPort::IsOpen(); }
    bool Identify(int port) override;
    bool OpenPort(int port) override { return Open(port); }
    bool Kick() override;
    bool Heartbeat(std::uint32_t seconds) override;
    bool Release() override;
    bool HardReset() override;
    bool ResetModem() override;
};

// CModem: the modem's port, probed with "AT" and closed again.
class CModem final : public CComPort {
public:
    // `whileWaiting` is called while the reply is awaited.
    bool Probe(int port, const std::function<void()>& whileWaiting = nullptr);
    // The last probe found the port present but held by another program.
    bool Busy() const { return busy_; }

private:
    bool busy_ = false;
};

}  // namespace mrwd
