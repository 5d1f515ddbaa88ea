// The conditions under which a dialog's control is enabled, as data: each
// dialog lists its controls with one rule each, and one switch decides.
#pragma once

namespace mrwd {

enum class EnableRule {
    Always,
    WhenAuthenticating,  // an authentication kind is chosen
    WhenLogOn,           // the event log is written (the daily mail sends it)
};

// What the rules look at; each dialog fills the part that concerns it.
struct EnableFacts {
    bool authenticating = false;
    bool logOn = false;
};

bool IsEnabled(EnableRule rule, const EnableFacts& facts);

}  // namespace mrwd
