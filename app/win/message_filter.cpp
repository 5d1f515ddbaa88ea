#include "message_filter.h"

#include "base/win/dynamic_library.h"

namespace mrwd {

constexpr DWORD kAllowMessage = 1;  // MSGFLT_ALLOW

MessageFilterFn SystemMessageFilter() {
    return BindFunction<MessageFilterFn>(::GetModuleHandleA("user32.dll"), "ChangeWindowMessageFilterEx");
}

bool AllowMessagesFromAnyProgram(HWND window, const std::vector<UINT>& messages, MessageFilterFn filter) {
    if (filter == nullptr) return false;
    bool all = true;
    for (UINT message : messages) {
        if (message != 0 && !filter(window, message, kAllowMessage, nullptr)) all = false;
    }
    return all;
}

}  // namespace mrwd
