#include "app/win/fleet_gauges.h"

#include <map>

#include "app/win/server_process.h"
#include "base/core/ticks.h"
#include "hardware/win/controller.h"

namespace mrwd {
namespace {

const char* StateOf(const StatusLine& line, bool switchedOff) {
    if (switchedOff) return "off";
    switch (line.Colour()) {
        case kWorking:
            return "working";
        case kFault:
            return "fault";
        case kNeutral:
            break;
    }
    return "searching";
}

// Per listed program: the processes running it, and the oldest last sign of
// life among its supervised copies (the one closest to being judged hung).
std::vector<ProgramGauge> SamplePrograms(SupervisionState& state, Tick now) {
    std::lock_guard<std::mutex> lock(state.lock);
    std::vector<ProgramGauge> programs;
    std::map<std::string, std::size_t> indexOfKey;
    for (const auto& entry : state.modules) {
        ProgramGauge gauge;
        gauge.path = entry.first;
        indexOfKey.emplace(entry.first, programs.size());
        programs.push_back(std::move(gauge));
    }
    const auto gaugeOf = [&](const std::string& path) -> ProgramGauge* {
        const std::string* key = state.modules.KeyOf(path);
        return key != nullptr ? &programs[indexOfKey.at(*key)] : nullptr;
    };
    for (const auto& process : state.snapshot) {
        if (ProgramGauge* gauge = gaugeOf(process.second)) ++gauge->runningCopies;
    }
    for (const auto& alive : state.alive) {
        ProgramGauge* gauge = gaugeOf(alive.second.ExePath);
        if (gauge == nullptr) continue;
        const std::int32_t since = TickDiff(now, alive.second.LastAlive);
        const double seconds = since > 0 ? since / 1000.0 : 0.0;
        if (!gauge->hasSignOfLife || seconds > gauge->secondsSinceSignOfLife) gauge->secondsSinceSignOfLife = seconds;
        gauge->hasSignOfLife = true;
    }
    return programs;
}

}  // namespace

void ServerFleetGauges::AttachController(CController* controller) {
    std::lock_guard<std::mutex> lock(controllerLock_);
    controller_ = controller;
}

void ServerFleetGauges::SampleHardware(FleetGauges& gauges) {
    std::lock_guard<std::mutex> lock(controllerLock_);
    if (controller_ == nullptr) {
        gauges.cardState = "off";
        gauges.modemState = "off";
        return;
    }
    gauges.cardState = StateOf(controller_->ControllerStatus(), server_.settings.WithoutController());
    gauges.modemState = StateOf(controller_->ModemStatus(), server_.settings.WithoutModemControl());
    if (gauges.modemState == std::string("searching")) gauges.modemState = "off";
    gauges.cardHeartbeats = controller_->Logic().HeartbeatsAnswered();
}

FleetGauges ServerFleetGauges::Gauges() {
    FleetGauges gauges;
    gauges.supervisionOn = server_.supervisionSwitch.On();
    gauges.programs = SamplePrograms(server_.supervision, static_cast<Tick>(::GetTickCount()));
    SampleHardware(gauges);
    gauges.outboxMails = server_.notifications.OutboxState().kept;
    return gauges;
}

}  // namespace mrwd
