#include "command_line.h"

namespace mrwd {
namespace {

bool IsWordByte(unsigned char c) { return c >= 0x21 && c <= 0x7F; }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool IsCommandWord(const char* pos, const char* keyword) {
    if (pos == nullptr || keyword == nullptr) return false;
    if (pos[0] != '/' && pos[0] != '-') return false;
    const char* p = pos + 1;
    for (const char* k = keyword; *k != '\0'; ++k, ++p) {
        // The terminating zero never equals a keyword letter, so the scan stops there.
        if (LowerAscii(*p) != LowerAscii(*k)) return false;
    }
    return true;
}

std::vector<CommandAction> WalkCommandLine(const char* arguments) {
    struct Switch {
        const char* keyword;
        CommandAction action;
        bool endsWalk;
    };
    // "srv" must be tried before "s": otherwise every service start would read as "s".
    static const Switch kSwitches[] = {
        {"srv", CommandAction::EnterServiceMode, true},
        {"a", CommandAction::RunServer, true},
        {"i", CommandAction::InstallService, false},
        {"r", CommandAction::RemoveService, false},
        {"k", CommandAction::UnloadRunning, false},
        {"s", CommandAction::StartService, true},
    };

    std::vector<CommandAction> actions;
    if (arguments == nullptr) return actions;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(arguments);
    while (*p != 0) {
        if (!IsWordByte(*p)) {
            ++p;
            continue;
        }
        const char* word = reinterpret_cast<const char*>(p);
        for (const Switch& s : kSwitches) {
            if (IsCommandWord(word, s.keyword)) {
                actions.push_back(s.action);
                if (s.endsWalk) return actions;
                break;
            }
        }
        while (*p != 0 && IsWordByte(*p)) ++p;
    }
    return actions;
}

bool SelectsServiceMode(const char* arguments) {
    const std::vector<CommandAction> actions = WalkCommandLine(arguments);
    return !actions.empty() && actions.back() == CommandAction::EnterServiceMode;
}

std::string ArgumentsOf(const char* fullCommandLine) {
    if (fullCommandLine == nullptr) return {};
    const char* p = fullCommandLine;
    if (*p == '"') {
        ++p;
        while (*p != '\0' && *p != '"') ++p;
        if (*p == '"') ++p;
    } else {
        while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
    }
    if (*p == ' ' || *p == '\t') ++p;
    return p;
}

}  // namespace mrwd
