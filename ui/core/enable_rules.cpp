#include "enable_rules.h"

namespace mrwd {

bool IsEnabled(EnableRule rule, const EnableFacts& f) {
    const bool withController = !f.withoutController;
    switch (rule) {
        case EnableRule::Always:
            return true;
        case EnableRule::WhenAuthenticating:
            return f.authenticating;
        case EnableRule::WhenLogOn:
            return f.logOn;
        case EnableRule::WhenSupervisionOff:
            return !f.supervisionOn;
        case EnableRule::WhenSupervisionOffOneSelected:
            return !f.supervisionOn && f.selectedRows == 1;
        case EnableRule::WhenAnySelected:
            return f.selectedRows > 0;
        case EnableRule::WhenWithController:
            return withController;
        case EnableRule::WhenSupervisionOffWithController:
            return !f.supervisionOn && withController;
        case EnableRule::WhenControllerPortEditable:
            return !f.supervisionOn && withController && f.customControllerPort;
        case EnableRule::WhenModemEditable:
            return !f.supervisionOn && withController && !f.withoutModemControl;
        case EnableRule::WhenAnyAliveSeen:
            return f.anyAliveSeen;
        case EnableRule::WhenMainWindowExists:
            return f.mainWindowExists;
        case EnableRule::WhenNoAliveSupport:
            return f.noAliveSupport;
        case EnableRule::WhenRebootChosen:
            return f.rebootChosen;
        case EnableRule::WhenRunChosen:
            return f.runChosen;
        case EnableRule::WhenCopyChosen:
            return f.copyChosen;
        case EnableRule::WhenMailConfigured:
            return f.mailConfigured;
        case EnableRule::WhenNotifyChosenAndMailConfigured:
            return f.notifyChosen && f.mailConfigured;
    }
    return true;
}

}  // namespace mrwd
