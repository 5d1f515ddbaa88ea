// Where the program's help opens: the start page of the compiled help file
// that lies beside the executable.
#pragma once

#include <string>

namespace mrwd {

constexpr char kHelpFileName[] = "yrk.chm";
constexpr char kHelpStartPage[] = "cover.htm";

// `folder` (the executable's, with or without its closing separator)
// followed by the help file and its start page, "...\yrk.chm::/cover.htm";
// empty when the folder is unknown, so that nothing else is opened by mistake.
std::string HelpTopicPath(const std::string& folder);

}  // namespace mrwd
