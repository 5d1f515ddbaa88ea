#include "enable_rules.h"

namespace mrwd {

bool IsEnabled(EnableRule rule, const EnableFacts& facts) {
    switch (rule) {
        case EnableRule::Always:
            return true;
        case EnableRule::WhenAuthenticating:
            return facts.authenticating;
        case EnableRule::WhenLogOn:
            return facts.logOn;
    }
    return true;
}

}  // namespace mrwd
