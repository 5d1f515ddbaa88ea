#include "rebooter.h"

#include "hardware/core/card_protocol.h"

namespace mrwd {
namespace {

bool Send(CComPort& port, const CardCommand& command) {
    return port.Command(command.text, command.expected, command.timeLimitSeconds);
}

}  // namespace

bool CRebooter::Identify(int port) {
    if (!Open(port)) return false;
    const bool answered = Send(*this, kIdentify);
    Close();
    return answered;
}

bool CRebooter::Kick() { return Send(*this, kKick); }

bool CRebooter::Heartbeat(std::uint32_t seconds) {
    return Kick() && Command(TimeoutCommand(seconds).c_str(), "OK", kTimeoutCommandLimitSeconds);
}

bool CRebooter::Release() {
    if (!CComPort::IsOpen()) return false;
    const bool answered = Send(*this, kRelease);
    Close();
    return answered;
}

bool CRebooter::HardReset() { return Send(*this, kHardReset); }

bool CRebooter::ResetModem() { return Send(*this, kResetModem); }

bool CModem::Probe(int port, const std::function<void()>& whileWaiting) {
    busy_ = false;
    if (GetPortOpenError(port) == ERROR_FILE_NOT_FOUND) return false;
    bool answered = false;
    if (Open(port)) {
        answered = Command(kModemAttention.text, kModemAttention.expected, kModemAttention.timeLimitSeconds,
                           whileWaiting);
    } else {
        busy_ = true;
    }
    Close();
    return answered;
}

}  // namespace mrwd
