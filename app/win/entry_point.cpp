#include "entry_point.h"

#include "app/core/command_line.h"
#include "app/win/run_server.h"
#include "app/win/server_process.h"
#include "app/win/service_run.h"
#include "app/win/service_setup.h"
#include "app/win/unload_running.h"
#include "resources/resource_ids.h"
#include "base/win/executable_path.h"
#include "supervision/win/module_store.h"
#include "supervision/win/process_control.h"

namespace mrwd {
namespace {

// A plain start while a server runs only brings that server's main dialog up.
bool HandOverToRunningServer() {
    HWND running = ::FindWindowA(kServerName, nullptr);
    if (running == nullptr) return false;
    ::SetForegroundWindow(running);
    ::PostMessageA(running, kShowMainDialogMessage, 0, 0);
    return true;
}

// Whether the action ended as asked. Only "/k" and "/r" tell: whoever runs
// them (the uninstaller, a script) must learn that a server is still there.
bool Perform(CommandAction action) {
    switch (action) {
        case CommandAction::RunServer:
            RunServer();
            break;
        case CommandAction::UnloadRunning:
            return UnloadRunning();
        case CommandAction::EnterServiceMode:
            RunAsService();
            break;
        case CommandAction::InstallService:
            InstallService();
            break;
        case CommandAction::RemoveService:
            return RemoveService();
        case CommandAction::StartService:
            StartInstalledService();
            break;
    }
    return true;
}

}  // namespace

int RunEntryPoint(HINSTANCE instance, const char* arguments) {
    ServerProcess& server = Server();
    server.instance = instance;
    // The service reads its settings from the machine's registry, so the mode
    // must be known before anything is loaded.
    server.serviceMode = SelectsServiceMode(arguments);
    if (server.Store().Load(server.settings)) {
        ModuleStore(server.Store().Root()).Load(server.supervision.modules);
        // A record of the server's own program (an older build let any
        // program register it) would have the server kill itself for good.
        server.supervision.modules.Remove(ServerExecutableLongPath());
        server.supervision.modules.Remove(ThisExecutablePath());
    }

    server.log.WriteLogString(IDS_PROGRAM_STARTED, arguments);

    if (arguments[0] == '\0') {
        if (!HandOverToRunningServer()) RunServer();
        return 0;
    }
    bool allEnded = true;
    for (CommandAction action : WalkCommandLine(arguments)) allEnded = Perform(action) && allEnded;
    return allEnded ? 0 : 1;
}

}  // namespace mrwd
