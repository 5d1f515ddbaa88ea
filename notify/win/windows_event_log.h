// The Windows event log: the server's source in the Application log, its
// registration (what Event Viewer needs to find the texts in mrwd.exe's
// message table), and the reports of the events an operator acts on.
#pragma once

#include <windows.h>

#include <string>

#include "base/core/log_events.h"
#include "base/win/handles.h"

namespace mrwd {

// The event source, as Event Viewer lists it.
extern const wchar_t kEventSourceName[];
// Where the system keeps the source's registration, below HKEY_LOCAL_MACHINE.
extern const wchar_t kEventSourceKey[];

// Names `executablePath` as the file that holds the source's texts.
bool InstallEventSource(const std::wstring& executablePath);
// Removes the registration; true also when there was none.
bool RemoveEventSource();

class WindowsEventLog {
public:
    // Reports `event` when its kind goes to the Windows event log; the
    // arguments fill the message table's inserts. False when the system
    // refused it (or the source could not be opened).
    bool Report(const LoggedEvent& event);

private:
    UniqueEventSource source_;
};

}  // namespace mrwd
