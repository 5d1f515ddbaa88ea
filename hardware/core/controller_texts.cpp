#include "controller_texts.h"

#include <cstdio>

namespace mrwd {

std::string FormatWithNumber(const std::string& format, long number) {
    // The formats come from the program's own string table and hold at most
    // one number; "%0d" is widened so that one argument type serves both.
    std::string widened = format;
    for (std::string::size_type at = widened.find("%0d"); at != std::string::npos; at = widened.find("%0d", at + 4)) {
        widened.replace(at, 3, "%0ld");
    }
    char text[512];
    std::snprintf(text, sizeof text, widened.c_str(), number);
    return text;
}

}  // namespace mrwd
