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
    WhenNoAliveSupport,               // the program is checked without the alive protocol
    WhenRebootChosen,                 // "reboot after" is on
    WhenRunChosen,                    // "run a program after" is on
    WhenCopyChosen,                   // "copy files after" is on
    WhenMailConfigured,               // mail can be sent at all
    WhenNotifyChosenAndMailConfigured,
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
    bool noAliveSupport = false;
    bool rebootChosen = false;
    bool runChosen = false;
    bool copyChosen = false;
    bool mailConfigured = false;
    bool notifyChosen = false;
};

bool IsEnabled(EnableRule rule, const EnableFacts& facts);

}  // namespace mrwd
