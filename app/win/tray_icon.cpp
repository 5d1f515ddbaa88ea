#include "tray_icon.h"

#include <shellapi.h>

#include <cstring>
#include <string>

#include "app/win/server_process.h"
#include "base/win/texts.h"
#include "resources/resource_ids.h"

namespace mrwd {

constexpr UINT kTrayIconId = 1;

// The shell tells the record's versions apart by their size, and the first
// version holds a window and an icon handle: 88 bytes on 32-bit Windows, 104
// on x64, where the handles are 8 bytes wide and aligned.
static_assert(NOTIFYICONDATAA_V1_SIZE == (sizeof(void*) == 8 ? 104 : 88),
              "the first-version tray record of this platform");

NOTIFYICONDATAA TrayIconRecord(HWND owner, HINSTANCE instance, bool supervisionOn) {
    // The first-version record: every shell since Windows 95 accepts it, and
    // it carries all this icon needs (owner, id, callback, icon, tip).
    NOTIFYICONDATAA data;
    std::memset(&data, 0, sizeof data);
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = owner;
    data.uID = kTrayIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayMessage;
    data.hIcon = ::LoadIconA(instance, MAKEINTRESOURCEA(supervisionOn ? IDI_SUPERVISION_ON : IDI_SUPERVISION_OFF));
    const std::string tip = kServerName + LoadScreenText(supervisionOn ? IDS_TIP_ON : IDS_TIP_OFF);
    std::strncpy(data.szTip, tip.c_str(), 63);  // the first-version tip holds 64 bytes
    data.szTip[63] = '\0';
    return data;
}

bool UpdateTrayIcon(DWORD operation) {
    ServerProcess& server = Server();
    NOTIFYICONDATAA data = TrayIconRecord(server.mainWindow, server.instance, server.supervisionOn);
    return ::Shell_NotifyIconA(operation, &data) != FALSE;
}

}  // namespace mrwd
