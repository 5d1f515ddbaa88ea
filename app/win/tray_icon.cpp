#include "tray_icon.h"

#include <shellapi.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "app/win/server_process.h"
#include "base/win/texts.h"
#include "resources/resource_ids.h"

namespace mrwd {

constexpr UINT kTrayIconId = 1;

// The shell tells the record's versions apart by their size, and the first
// version holds a window and an icon handle and a tip of 64 UTF-16 units: 152
// bytes on 32-bit Windows, 168 on x64, where the handles are 8 bytes wide and
// aligned.
static_assert(NOTIFYICONDATAW_V1_SIZE == (sizeof(void*) == 8 ? 168 : 152),
              "the first-version tray record of this platform");

NOTIFYICONDATAW TrayIconRecord(HWND owner, HINSTANCE instance, bool supervisionOn) {
    // The first-version record: every shell since Windows 95 accepts it, and
    // it carries all this icon needs (owner, id, callback, icon, tip). The
    // wide one, so that the tip reads right whatever the code page.
    NOTIFYICONDATAW data;
    std::memset(&data, 0, sizeof data);
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = owner;
    data.uID = kTrayIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayMessage;
    data.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(supervisionOn ? IDI_SUPERVISION_ON : IDI_SUPERVISION_OFF));
    const std::wstring tip = WidenText(kServerName, CP_ACP) + LoadWideText(supervisionOn ? IDS_TIP_ON : IDS_TIP_OFF);
    std::wcsncpy(data.szTip, tip.c_str(), 63);  // the first-version tip holds 64 units
    data.szTip[63] = L'\0';
    return data;
}

bool UpdateTrayIcon(DWORD operation) {
    ServerProcess& server = Server();
    NOTIFYICONDATAW data = TrayIconRecord(server.mainWindow, server.instance, server.supervisionSwitch.On());
    return ::Shell_NotifyIconW(operation, &data) != FALSE;
}

}  // namespace mrwd
