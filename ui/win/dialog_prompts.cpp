#include "dialog_prompts.h"

#include "base/win/texts.h"

namespace mrwd {

void MessageBoxPrompts::Warn(HWND owner, UINT stringId) {
    ::MessageBoxW(owner, LoadWideText(stringId).c_str(), L"Marotel ZedevUdo Server", MB_OK | MB_ICONWARNING);
}

}  // namespace mrwd
