// What the metrics file samples of the running server: supervision, each
// listed program's copies and signs of life, the card, the modem and the
// outbox. Read on the fleet reporter's thread; the controller is reached
// only while it is attached, so its end never races a sample.
#pragma once

#include <mutex>

#include "notify/win/fleet_reporter.h"

namespace mrwd {

class CController;
struct ServerProcess;

class ServerFleetGauges final : public FleetGaugeSource {
public:
    explicit ServerFleetGauges(ServerProcess& server) : server_(server) {}

    // Main thread: after the controller is made, and before it goes.
    void AttachController(CController* controller);

    FleetGauges Gauges() override;

private:
    void SampleHardware(FleetGauges& gauges);

    ServerProcess& server_;
    std::mutex controllerLock_;
    CController* controller_ = nullptr;
};

}  // namespace mrwd
