// Since Windows Vista an elevated server drops, without a word, the window
// messages of programs that run with a lower integrity level: their heartbeats
// would never arrive and they would be restarted as hung. The main window
// lets the messages that programs send it through the filter.
#pragma once

#include <windows.h>

#include <vector>

namespace mrwd {

// ChangeWindowMessageFilterEx, bound at run time (Windows 7 and later).
using MessageFilterFn = BOOL(WINAPI*)(HWND window, UINT message, DWORD action, void* status);

// The system's function; null where it is missing (the program still runs).
MessageFilterFn SystemMessageFilter();

// Lets each message through to `window`; false when the filter is missing or
// refused one of them.
bool AllowMessagesFromAnyProgram(HWND window, const std::vector<UINT>& messages, MessageFilterFn filter);

}  // namespace mrwd
