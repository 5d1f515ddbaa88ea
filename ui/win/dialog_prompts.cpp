#include "dialog_prompts.h"

#include "base/win/texts.h"

namespace mrwd {

namespace {

// The program's name, which every box of it carries as its title.
constexpr wchar_t kCaption[] = L"Marotel ZedevUdo Server";

}  // namespace

void MessageBoxPrompts::Warn(HWND owner, UINT stringId) {
    ::MessageBoxW(owner, LoadWideText(stringId).c_str(), kCaption, MB_OK | MB_ICONWARNING);
}

void MessageBoxPrompts::Inform(HWND owner, UINT stringId) {
    ::MessageBoxW(owner, LoadWideText(stringId).c_str(), kCaption, MB_OK | MB_ICONINFORMATION);
}

}  // namespace mrwd
