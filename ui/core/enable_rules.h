// The conditions under which a dialog's control is enabled, as data: each
// dialog lists its controls with one rule each, and one switch decides.
#pragma once

namespace mrwd {

enum class EnableRule {
    Always,
    WhenAuthenticating,               // an authentication kind is chosen
    WhenLogOn,                        // the event log is written
    WhenSupervisionOff,               // settings that must not change under a running watch
    WhenSupervisionOffOneSelected,    // ... and one program is selected
    WhenAnySelected,
    WhenWithController,               // the reboot controller is used
    WhenSupervisionOffWithController,
    WhenControllerPortEditable,       // ... and the port is chosen by hand
    WhenModemEditable,                // supervision off, controller and modem control used
    WhenAnyAliveSeen,                 // some program has spoken the alive protocol
    WhenMainWindowExists,             // the server's own window, which these buttons talk to
};

// What the rules look at; each dialog fills the part that concerns it.
struct EnableFacts {
    bool authenticating = false;
    bool logOn = false;
    bool supervisionOn = false;
    bool withoutController = false;
    bool withoutModemControl = false;
    bool customControllerPort = false;
    bool anyAliveSeen = false;
    bool mainWindowExists = false;
    int selectedRows = 0;
};

bool IsEnabled(EnableRule rule, const EnableFacts& facts);

}  // namespace mrwd
