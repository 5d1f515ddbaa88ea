#include "program_help.h"

#include "base/win/executable_path.h"
#include "ui/core/help_topic.h"
#include "ui/win/html_help.h"

namespace mrwd {
namespace {

constexpr UINT kDisplayTopic = 0;  // HH_DISPLAY_TOPIC

}  // namespace

std::string ProgramHelpTopic() { return HelpTopicPath(ThisExecutableFolder()); }

HWND ShowProgramHelp(HWND owner) {
    const std::string topic = ProgramHelpTopic();
    if (topic.empty()) return nullptr;
    return ShowHelp(owner, topic.c_str(), kDisplayTopic, 0);
}

}  // namespace mrwd
