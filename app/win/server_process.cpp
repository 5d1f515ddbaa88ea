#include "server_process.h"

#include "base/win/executable_path.h"
#include "base/win/system_paths.h"
#include "hardware/win/controller.h"
#include "supervision/win/watchdog.h"

namespace mrwd {

ServerProcess::ServerProcess()
    : supervision(CompareSystemPaths), rebootMarker(ThisExecutableFolder() + "reboot.mrk") {}
// The log outlives the reporter (it was made first): a thread still logging
// at the process's end must not reach a reporter that is gone.
ServerProcess::~ServerProcess() { log.SetListener(nullptr); }

bool ServerFloatWindowHost::SupervisionOn() const { return server_.supervisionSwitch.On(); }

bool ServerFloatWindowHost::AnyProgramAliveSeen() const {
    std::lock_guard<std::mutex> lock(server_.supervision.lock);
    return server_.supervision.modules.AnyAliveSeen();
}

void ServerFloatWindowHost::OpenMakerPage(HWND owner) { OpenMakerPageInBrowser(owner); }

void ServerFloatWindowHost::SwitchSupervision(bool on) { server_.supervisionSwitch.Switch(on); }

ServerProcess& Server() {
    static ServerProcess server;
    return server;
}

std::set<std::string> BuildExcludedPrograms() {
    static const char* const kExcluded[] = {"drweb32w.exe"};
    return std::set<std::string>(std::begin(kExcluded), std::end(kExcluded));
}

void BeginStopping(ServerProcess& server) {
    // The windows are going or gone: they hear of it only if still there.
    server.supervisionSwitch.SetFromAnyThread(false);
    // A stop with no time to wait only signals the thread's stop event.
    if (server.watchdog) server.watchdog->Stop(0);
    if (server.controller) server.controller->Stop(0);
}

void StopEngineAndController(ServerProcess& server) {
    server.watchdog.reset();  // ends its thread and deletes the reboot marker
    // The metrics stop sampling the controller before it goes: this also
    // runs at the end of the session, while the reporter still writes.
    server.fleetGauges.AttachController(nullptr);
    server.controller.reset();  // releases the card unless a reboot is under way
}

}  // namespace mrwd
