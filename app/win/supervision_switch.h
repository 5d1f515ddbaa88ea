// The one owner of the supervision switch. The tray's menu, the float
// window, the main dialog, the start and the end of a run, the end of the
// session, the service's stop and the reboot sequence all switch through it;
// it then has the tray icon, the float window and the open dialog show the
// switch. Worker threads move it through SetFromAnyThread, whose report
// reaches Show on the windows' thread.
#pragma once

#include <atomic>

#include "base/core/supervision_flag.h"

namespace mrwd {

struct ServerProcess;

class SupervisionSwitch final : public SupervisionFlag {
public:
    explicit SupervisionSwitch(ServerProcess& server) : server_(server) {}

    bool On() const { return on_; }
    const std::atomic<bool>& Value() const override { return on_; }
    // The user's switch (the tray's menu, the float window, the main
    // dialog's button): nothing when it is so already. With the main dialog
    // open it comes to the front, being the place of every switch.
    void Switch(bool on);
    // The server's own switch on the windows' thread (a run that starts
    // active, the end of the session and its veto), whatever it was.
    void Set(bool on);
    void SetFromAnyThread(bool on) override;
    // The windows show the switch as it stands.
    void Show();

private:
    ServerProcess& server_;
    std::atomic<bool> on_{false};
};

}  // namespace mrwd
