#include "not_built_yet.h"

namespace mrwd::not_built_yet {

void RefreshMainDialog() {}

void ShowControllerStatus() {}

void ShowModemStatus() {}

HWND MainDialogWindow() { return nullptr; }

std::int32_t AppendProgramIcon(const std::string&) { return 0; }

}  // namespace mrwd::not_built_yet
