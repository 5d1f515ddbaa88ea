#include "log_format.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/core/path_rules.h"

namespace mrwd {

std::string LogStamp(const LocalTime& t) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d ", t.hour, t.minute, t.second,
                  t.milliseconds);
    return stamp;
}

std::string DayFileName(const LocalTime& t) {
    char name[32];
    std::snprintf(name, sizeof name, "%02d-%02d-%02d.txt", t.day, t.month, t.year % 100);
    return name;
}

std::string LogFolderOf(const std::string& executablePath) {
    return FolderPrefix(executablePath) + "Logs";
}

namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr std::size_t kStampSize = 13;
constexpr std::size_t kTextRoom = kLogLineSize - kStampSize - (sizeof kLineEnd - 1);

// One conversion of a printf format: flags, width, precision, length, type.
struct Conversion {
    std::string directive;  // the conversion as printf reads it, "%" to its type
    std::string length;
    char type = 0;
};

// Reads the conversion that begins at format[i] (just after its '%').
Conversion ReadConversion(const char* format, std::size_t& i) {
    Conversion c;
    c.directive = "%";
    while (format[i] != '\0' && std::strchr("-+ #0", format[i]) != nullptr) c.directive += format[i++];
    while (format[i] >= '0' && format[i] <= '9') c.directive += format[i++];
    if (format[i] == '.') {
        c.directive += format[i++];
        while (format[i] >= '0' && format[i] <= '9') c.directive += format[i++];
    }
    while (format[i] != '\0' && std::strchr("hlzjt", format[i]) != nullptr) c.length += format[i++];
    c.type = format[i];
    if (c.type != '\0') ++i;
    c.directive += c.length;
    c.directive += c.type;
    return c;
}

std::string Render(const char* directive, ...) {
    char text[kLogLineSize];
    std::va_list args;
    va_start(args, directive);
    const int written = std::vsnprintf(text, sizeof text, directive, args);
    va_end(args);
    return written > 0 ? std::string(text, std::min<std::size_t>(written, sizeof text - 1)) : std::string();
}

// Takes the conversion's argument off the list and renders it alone.
std::string RenderArgument(const Conversion& c, std::va_list& args) {
    const bool isLong = c.length == "l", isLongLong = c.length == "ll";
    switch (c.type) {
        case 'd':
        case 'i':
            if (isLongLong) return Render(c.directive.c_str(), va_arg(args, long long));
            if (isLong) return Render(c.directive.c_str(), va_arg(args, long));
            return Render(c.directive.c_str(), va_arg(args, int));
        case 'u':
        case 'x':
        case 'X':
        case 'o':
            if (isLongLong) return Render(c.directive.c_str(), va_arg(args, unsigned long long));
            if (isLong) return Render(c.directive.c_str(), va_arg(args, unsigned long));
            return Render(c.directive.c_str(), va_arg(args, unsigned));
        case 'c':
            return Render(c.directive.c_str(), va_arg(args, int));
        case 's':
            return Render(c.directive.c_str(), va_arg(args, const char*));
        default:
            return std::string();  // the server's formats use none other
    }
}

}  // namespace

std::string ComposeLogText(const char* format, std::va_list args) {
    char text[kLogLineSize];
    std::va_list copy;
    va_copy(copy, args);
    const int written = std::vsnprintf(text, kTextRoom + 1, format, copy);
    va_end(copy);
    if (written <= 0) return std::string();
    return std::string(text, std::min<std::size_t>(written, kTextRoom));
}

std::string ComposeLogLine(const LocalTime& t, const char* format, std::va_list args) {
    return ComposeLogLine(t, ComposeLogText(format, args));
}

std::string ComposeLogLine(const LocalTime& t, const std::string& text) { return LogStamp(t) + text + kLineEnd; }

std::vector<std::string> FormatArguments(const char* format, std::va_list args) {
    std::vector<std::string> arguments;
    if (format == nullptr) return arguments;
    std::va_list copy;
    va_copy(copy, args);
    for (std::size_t i = 0; format[i] != '\0';) {
        if (format[i++] != '%') continue;
        if (format[i] == '%') {
            ++i;
            continue;
        }
        const Conversion c = ReadConversion(format, i);
        if (c.type == '\0') break;
        arguments.push_back(RenderArgument(c, copy));
    }
    va_end(copy);
    return arguments;
}

}  // namespace mrwd
