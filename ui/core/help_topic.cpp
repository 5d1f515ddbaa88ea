#include "help_topic.h"

namespace mrwd {

std::string HelpTopicPath(const std::string& folder) {
    if (folder.empty()) return {};
    std::string path = folder;
    const char last = path.back();
    if (last != '\\' && last != '/' && last != ':') path += '\\';
    return path + kHelpFileName + "::/" + kHelpStartPage;
}

}  // namespace mrwd
