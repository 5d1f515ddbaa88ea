// The one owner of the supervision switch. The tray's menu, the float
// window, the main dialog, the start of a run and the end of the session
// switch through it; it then has the tray icon, the float window and the open
// dialog show the switch. The reboot sequence, on the engine's thread, only
// pauses it and reports through UiEvents; its report arrives at Show.
#pragma once

namespace mrwd {

struct ServerProcess;

class SupervisionSwitch {
public:
    explicit SupervisionSwitch(ServerProcess& server) : server_(server) {}

    bool On() const;
    // The user's switch (the tray's menu, the float window, the main
    // dialog's button): nothing when it is so already. With the main dialog
    // open it comes to the front, being the place of every switch.
    void Switch(bool on);
    // The server's own switch (a run that starts active, the end of the
    // session and its veto), whatever it was.
    void Set(bool on);
    // The windows show the switch as it stands (after a worker moved it).
    void Show();

private:
    ServerProcess& server_;
};

}  // namespace mrwd
