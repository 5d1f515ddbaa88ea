#include "card_protocol.h"

#include <cstdio>

namespace mrwd {

std::string TimeoutCommand(std::uint32_t seconds) {
    char text[16];
    std::snprintf(text, sizeof text, "T%.2lu", static_cast<unsigned long>(seconds));
    return text;
}

}  // namespace mrwd
